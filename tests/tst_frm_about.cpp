#include "Aiuti.h"
#include "Ambienti.h"

#include "qt/finestre/Frm_About.h"
#include "qt/finestre/Frm_Configurazione.h"
#include "qt/platform/Metadati.h"

#include <QDesktopServices>
#include <QPalette>

#include <QPushButton>
#include <QUrl>
#include <cmath>

using namespace pulsiero;

// Records the URLs the program hands to the desktop.
class Gestore : public QObject {
    Q_OBJECT
public:
    QList<QUrl> aperti;
public slots:
    void apri(const QUrl& url) { aperti << url; }
};

// The About window: texts, link, and its ways back to the main window.
class TestFrmAbout : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void testi();
    void versione_data();
    void versione();
    void chiusura_data();
    void chiusura();
    void collegamentoEMail();
    void sottolineatura();
    void puntatoreInvariatoSulCollegamento();
    void coloriDalTema_data();
    void coloriDalTema();

private:
    QLabel* label(const char* nome) const { return about()->findChild<QLabel*>(nome); }
    Frm_About* about() const { return finestra_->about(); }

    std::unique_ptr<AmbienteDiProva> amb_;
    std::unique_ptr<Frm_Pulsiero> finestra_;
};

void TestFrmAbout::init() {
    amb_ = std::make_unique<AmbienteDiProva>();
    finestra_ = std::make_unique<Frm_Pulsiero>(amb_->ambiente);
    finestra_->uscita().impostaTerminazione([](int) {});
    finestra_->impostaTrayDisponibile([] { return true; });
    finestra_->Form_Load();
}

void TestFrmAbout::cleanup() {
    QApplication::setPalette(QPalette());
    finestra_.reset();
    amb_.reset();
}

void TestFrmAbout::testi() {
    QVERIFY(!about()->isVisible());
    finestra_->menu().MenuInformazioni->trigger();
    QVERIFY(about()->isVisible());
    QVERIFY(!finestra_->isEnabled());
    QCOMPARE(about()->windowTitle(), QStringLiteral("Informazioni su..."));
    QCOMPARE(about()->size(), QSize(413, 219));
    QCOMPARE(label("lblProductName")->text(), QStringLiteral("Pulsiero Rolling Code"));
    QCOMPARE(label("lblVersion")->text(), QStringLiteral("Versione 1.00"));
    QVERIFY(
        label("Lab_copy")->text().startsWith(QStringLiteral("© 2026 Pulsiero Rolling Code - ")));
    QVERIFY(!label("Lab_Warning")->text().isEmpty());
    // The address a packager configured (PULSIERO_EMAIL), whatever it is.
    QCOMPARE(label("Lab_EMail")->text(), QString::fromUtf8(metadati::kEmail));
    QCOMPARE(label("Lab_EMail")->pos(), QPoint(8, 200));
    QCOMPARE(label("Lab_EMail")->height(), 14);
    const QLabel* email = label("Lab_EMail");
    QVERIFY(email->width() >= email->fontMetrics().horizontalAdvance(email->text()));
    QCOMPARE(label("lblProductName")->font().family(), QStringLiteral("Arial"));
}

void TestFrmAbout::versione_data() {
    QTest::addColumn<int>("maggiore");
    QTest::addColumn<int>("minore");
    QTest::addColumn<int>("revisione");
    QTest::addColumn<QString>("testo");
    QTest::newRow("1.0.0") << 1 << 0 << 0 << "Versione 1.00";
    QTest::newRow("2.3.10") << 2 << 3 << 10 << "Versione 2.310";
    QTest::newRow("10.12.3") << 10 << 12 << 3 << "Versione 10.123";
}

void TestFrmAbout::versione() {
    QFETCH(int, maggiore);
    QFETCH(int, minore);
    QFETCH(int, revisione);
    QFETCH(QString, testo);
    QCOMPARE(Frm_About::testoVersione(maggiore, minore, revisione), testo);
}

void TestFrmAbout::chiusura_data() {
    QTest::addColumn<QString>("come");
    QTest::newRow("OK") << "ok";
    QTest::newRow("Enter") << "enter";
    QTest::newRow("Esc") << "esc";
    QTest::newRow("close button") << "close";
}

void TestFrmAbout::chiusura() {
    QFETCH(QString, come);
    finestra_->menu().MenuInformazioni->trigger();
    if (come == "ok")
        about()->findChild<QPushButton*>("cmdOK")->click();
    else if (come == "enter")
        QTest::keyClick(about(), Qt::Key_Return);
    else if (come == "esc")
        QTest::keyClick(about(), Qt::Key_Escape);
    else
        about()->close();
    QVERIFY(!about()->isVisible());
    QVERIFY(finestra_->isEnabled());
    // Opened again, it shows the same texts.
    finestra_->menu().MenuInformazioni->trigger();
    QCOMPARE(label("lblVersion")->text(), QStringLiteral("Versione 1.00"));
}

void TestFrmAbout::collegamentoEMail() {
    Gestore gestore;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &gestore, "apri");
    finestra_->menu().MenuInformazioni->trigger();
    QTest::mouseClick(label("Lab_EMail"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    QCOMPARE(gestore.aperti,
             QList<QUrl>{QUrl(QStringLiteral("mailto:") + QString::fromUtf8(metadati::kEmail))});
}

void TestFrmAbout::sottolineatura() {
    finestra_->menu().MenuInformazioni->trigger();
    QTest::mouseMove(label("Lab_EMail"), QPoint(5, 5));
    QTRY_VERIFY(label("Lab_EMail")->font().underline());
    QTest::mouseMove(about()->findChild<QWidget*>("Img_EMail"), QPoint(200, 5));
    QTRY_VERIFY(!label("Lab_EMail")->font().underline());
}

// Only the underline marks the link: the pointer keeps the window's shape.
void TestFrmAbout::puntatoreInvariatoSulCollegamento() {
    QVERIFY(!label("Lab_EMail")->testAttribute(Qt::WA_SetCursor));
    QCOMPARE(label("Lab_EMail")->cursor().shape(), Qt::ArrowCursor);
}

namespace {

// A dark theme as qt6ct or Adwaita:dark give it: light text and links on near-black.
QPalette temaScuro() {
    QPalette p(QColor(53, 53, 53), QColor(36, 36, 36));
    p.setColor(QPalette::WindowText, QColor(238, 238, 236));
    p.setColor(QPalette::Text, QColor(238, 238, 236));
    p.setColor(QPalette::Link, QColor(120, 174, 237));
    p.setColor(QPalette::Light, QColor(94, 94, 94));
    p.setColor(QPalette::Dark, QColor(24, 24, 24));
    return p;
}

double luminanza(const QColor& c) {
    const auto lineare = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lineare(c.redF()) + 0.7152 * lineare(c.greenF()) + 0.0722 * lineare(c.blueF());
}

double contrasto(const QColor& a, const QColor& b) {
    const double la = luminanza(a), lb = luminanza(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor pixel(QWidget* w) {
    return w->grab().toImage().pixelColor(w->width() / 2, 0);
}

} // namespace

// Every text is readable on the theme's window colour (the designed dark blue on a light one),
// and the separators take the theme's shadow and light, in the About window and in the dialog.
void TestFrmAbout::coloriDalTema_data() {
    QTest::addColumn<bool>("scuro");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void TestFrmAbout::coloriDalTema() {
    QFETCH(bool, scuro);
    const QPalette tema = scuro ? temaScuro() : QPalette(QColor(240, 240, 240));
    finestra_.reset();
    QApplication::setPalette(tema);
    init();
    finestra_->menu().MenuInformazioni->trigger();
    const QColor fondo = about()->palette().color(QPalette::Window);
    for (const char* nome : {"Lab_copy", "Lab_Warning", "Lab_EMail"}) {
        const QColor testo = label(nome)->palette().color(QPalette::WindowText);
        QVERIFY2(contrasto(testo, fondo) >= 4.5,
                 qPrintable(QStringLiteral("%1: %2 on %3").arg(nome, testo.name(), fondo.name())));
        if (!scuro)
            QCOMPARE(testo, QColor(0, 0, 128));
    }
    QCOMPARE(pixel(about()->findChild<QWidget*>("Line1_0")), tema.color(QPalette::Dark));
    QCOMPARE(pixel(about()->findChild<QWidget*>("Line1_1")), tema.color(QPalette::Light));
    about()->close();
    finestra_->menu().MenuConfigura->trigger();
    Frm_Configurazione* dialogo = finestra_->dialogo();
    QCOMPARE(pixel(dialogo->findChild<QWidget*>("Lin_Pul_0")), tema.color(QPalette::Dark));
    QCOMPARE(pixel(dialogo->findChild<QWidget*>("Lin_Pul_1")), tema.color(QPalette::Light));
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frm_about.moc"
