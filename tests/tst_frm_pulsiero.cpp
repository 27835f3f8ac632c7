#include "Aiuti.h"
#include "Ambienti.h"
#include "Ricezione.h"

#include "core/IniFile.h"
#include "qt/finestre/Applicazione.h"
#include "qt/finestre/Contorno.h"
#include "qt/finestre/Frm_Configurazione.h"
#include "qt/finestre/Frm_Pulsiero.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSvgRenderer>
#include <QTextDocument>
#include <QToolTip>

#include <QMenuBar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace pulsiero;

namespace {

// What a tooltip shows: rich text as rendered, plain text as it stands.
QString testoMostrato(const QString& tooltip) {
    if (!Qt::mightBeRichText(tooltip))
        return tooltip;
    QTextDocument documento;
    documento.setHtml(tooltip);
    return documento.toPlainText();
}

} // namespace

// The main window: layout, key feedback, menus, start-up and exit, on real widgets.
class TestFrmPulsiero : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void geometria_data();
    void geometria();
    void finestraDiDimensioneFissa();
    void statoDopoLAvvio();
    void contornoSegueIlPuntatore();
    void clicSinistroInviaIlTasto_data();
    void clicSinistroInviaIlTasto();
    void tastoDestroSoloRiscontro();
    void rilascioFuoriDalTasto();
    void tastieraDa1a4();
    void menu_data();
    void menu();
    void chiusuraTerminaIlProgramma();
    void ctrlXTermina();
    void avvioAutomaticoConTray();
    void avvioAutomaticoSenzaTray();
    void trayMostraLaFinestraETermina();
    void inizializzaComunicazione();
    void tooltipDellIcona();
    void nomeNelTitoloENellIcona_data();
    void nomeNelTitoloENellIcona();
    void tastiPulsantiAccessibili();
    void tastiRaggiuntiConTab();
    void tooltipAcapo_data();
    void tooltipAcapo();
    void testiMostratiComeScritti_data();
    void testiMostratiComeScritti();
    void nomeLungo_data();
    void nomeLungo();
    void cifreStaccateDalBordo_data();
    void cifreStaccateDalBordo();
    void applicazioneInItalianoConIcona();
    void messaggiComeScritti();

private:
    void avvia(const QByteArray& ini = {});
    QWidget* figlio(const QString& nome) const { return finestra_->findChild<QWidget*>(nome); }
    Contorno* contorno(int i) const {
        return finestra_->findChild<Contorno*>(QStringLiteral("Shp_Bianco_%1").arg(i));
    }
    QPoint centroTasto(int i) const {
        return figlio(QStringLiteral("Img_Pulsante_%1").arg(i))->geometry().center();
    }
    QWidget* area() const { return finestra_->centralWidget(); }
    // Mouse events go through the window, as the platform delivers them, so that Qt picks the
    // widget under the pointer and keeps the pressed key's grab.
    QPoint nellaFinestra(QPoint p) const { return area()->mapTo(finestra_.get(), p); }
    void muovi(QPoint p) { QTest::mouseMove(finestra_->windowHandle(), nellaFinestra(p)); }
    void premi(Qt::MouseButton b, QPoint p) {
        QTest::mousePress(finestra_->windowHandle(), b, {}, nellaFinestra(p));
    }
    void rilascia(Qt::MouseButton b, QPoint p) {
        QTest::mouseRelease(finestra_->windowHandle(), b, {}, nellaFinestra(p));
    }
    QString passo() const {
        return QString::fromStdString(
            LeggiIni("Pulsiero", "Passo", "<none>", amb_->ambiente.percorsoIni.toStdString()));
    }
    QByteArray riceviTrama();

    std::unique_ptr<AmbienteDiProva> amb_;
    std::unique_ptr<QTcpServer> server_;
    std::unique_ptr<Frm_Pulsiero> finestra_;
    QList<int> uscite_;
};

void TestFrmPulsiero::init() {
    amb_ = std::make_unique<AmbienteDiProva>();
    server_ = std::make_unique<QTcpServer>();
    QVERIFY(server_->listen(QHostAddress::LocalHost));
    uscite_.clear();
}

void TestFrmPulsiero::cleanup() {
    finestra_.reset();
    while (QMessageBox* box = aiuti::messaggioAperto())
        box->close();
    server_.reset();
    amb_.reset();
}

void TestFrmPulsiero::avvia(const QByteArray& ini) {
    aiuti::scriviFile(amb_->ambiente.percorsoIni, "[Server]\nIndirizzo=127.0.0.1\nPorta=" +
                                                      QByteArray::number(server_->serverPort()) +
                                                      "\n" + ini);
    finestra_ = std::make_unique<Frm_Pulsiero>(amb_->ambiente);
    finestra_->uscita().impostaTerminazione([this](int codice) { uscite_.append(codice); });
    finestra_->impostaTrayDisponibile([] { return true; });
    finestra_->trasmettitore().impostaOrologio([] { return Momento{630, 5}; });
    finestra_->Form_Load();
}

QByteArray TestFrmPulsiero::riceviTrama() {
    return aiuti::tramaRicevuta(*server_, 2000);
}

void TestFrmPulsiero::geometria_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QRect>("posizione");
    QTest::newRow("Img_Sfondo") << "Img_Sfondo" << QRect(0, 0, 202, 310);
    QTest::newRow("Img_Invio") << "Img_Invio" << QRect(88, 16, 32, 32);
    QTest::newRow("Lab_Pulsiero") << "Lab_Pulsiero" << QRect(32, 216, 137, 17);
    const QList<QRect> tasti{
        {50, 73, 36, 37}, {112, 73, 36, 37}, {50, 136, 36, 37}, {112, 136, 36, 37}};
    const QList<QRect> contorni{
        {55, 80, 25, 25}, {117, 80, 25, 25}, {55, 143, 25, 25}, {117, 143, 25, 25}};
    for (int i = 0; i < 4; ++i) {
        const QString tasto = QStringLiteral("Img_Pulsante_%1").arg(i);
        const QString shp = QStringLiteral("Shp_Bianco_%1").arg(i);
        QTest::newRow(qPrintable(tasto)) << tasto << tasti[i];
        QTest::newRow(qPrintable(shp)) << shp << contorni[i];
    }
}

void TestFrmPulsiero::geometria() {
    QFETCH(QString, nome);
    QFETCH(QRect, posizione);
    avvia();
    QWidget* w = figlio(nome);
    QVERIFY(w);
    QCOMPARE(w->parentWidget(), area());
    QCOMPARE(w->geometry(), posizione);
}

void TestFrmPulsiero::finestraDiDimensioneFissa() {
    avvia();
    QCOMPARE(area()->size(), QSize(203, 304));
    QCOMPARE(finestra_->minimumSize(), finestra_->maximumSize());
    QVERIFY(!(finestra_->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(finestra_->windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(finestra_->windowTitle(), QStringLiteral("Pulsiero"));
    // Stacking: outlines above the indicator, above the label, above the keys, above the picture.
    const auto figli = area()->children();
    QVERIFY(figli.indexOf(figlio("Img_Sfondo")) < figli.indexOf(figlio("Img_Pulsante_0")));
    QVERIFY(figli.indexOf(figlio("Img_Pulsante_3")) < figli.indexOf(figlio("Lab_Pulsiero")));
    QVERIFY(figli.indexOf(figlio("Lab_Pulsiero")) < figli.indexOf(figlio("Img_Invio")));
    QVERIFY(figli.indexOf(figlio("Img_Invio")) < figli.indexOf(figlio("Shp_Bianco_0")));
}

void TestFrmPulsiero::statoDopoLAvvio() {
    avvia("[Pulsiero]\nnome= Cancello \nt2=Apri garage\n");
    QVERIFY(finestra_->isVisible());
    QVERIFY(!finestra_->isMinimized());
    QVERIFY(!finestra_->Caricamento());
    QVERIFY(!finestra_->menu().MenuAvvioAuto->isChecked());
    QVERIFY(!figlio("Img_Invio")->isVisible());
    for (int i = 0; i < 4; ++i)
        QVERIFY(!contorno(i)->isVisible());
    QCOMPARE(qobject_cast<QLabel*>(figlio("Lab_Pulsiero"))->text(), QStringLiteral("Cancello"));
    QCOMPARE(testoMostrato(figlio("Img_Pulsante_0")->toolTip()), QStringLiteral("Tasto 1"));
    QCOMPARE(testoMostrato(figlio("Img_Pulsante_1")->toolTip()), QStringLiteral("Apri garage"));
    QCOMPARE(figlio("Img_Pulsante_1")->accessibleName(), QStringLiteral("Apri garage"));
    QVERIFY(finestra_->tray().icona()->isVisible());
    QVERIFY(!QFile::exists(amb_->ambiente.cartellaAutostart));
}

void TestFrmPulsiero::contornoSegueIlPuntatore() {
    avvia();
    muovi(centroTasto(0));
    QTRY_VERIFY(contorno(0)->isVisible());
    QVERIFY(!contorno(1)->isVisible());
    muovi(QPoint(100, 200)); // the picture between keys and label
    QTRY_VERIFY(!contorno(0)->isVisible());
    muovi(centroTasto(1));
    QTRY_VERIFY(contorno(1)->isVisible());
    QVERIFY(!contorno(0)->isVisible());
    QCOMPARE(contorno(1)->colore(), Frm_Pulsiero::kTeal);
}

void TestFrmPulsiero::clicSinistroInviaIlTasto_data() {
    QTest::addColumn<int>("tasto");
    QTest::addColumn<QByteArray>("trama");
    // Receiver 1, transmitter 1, 10:30, random 5, step 1.
    QTest::newRow("tasto 1") << 0 << QByteArray("FFFFE7E1F589AFFFFE8");
    QTest::newRow("tasto 2") << 1 << QByteArray("FFFFE7E1E589AFFFFE9");
    QTest::newRow("tasto 3") << 2 << QByteArray("FFFFE7E1D589AFFFFEA");
    QTest::newRow("tasto 4") << 3 << QByteArray("FFFFE7E1C589AFFFFEB");
}

void TestFrmPulsiero::clicSinistroInviaIlTasto() {
    QFETCH(int, tasto);
    QFETCH(QByteArray, trama);
    avvia();
    muovi(centroTasto(tasto));
    premi(Qt::LeftButton, centroTasto(tasto));
    QVERIFY(figlio("Img_Invio")->isVisible());
    QCOMPARE(contorno(tasto)->colore(), Frm_Pulsiero::kAcquaChiaro);
    rilascia(Qt::LeftButton, centroTasto(tasto));
    QVERIFY(!figlio("Img_Invio")->isVisible());
    QCOMPARE(contorno(tasto)->colore(), Frm_Pulsiero::kTeal);
    QCOMPARE(riceviTrama(), trama);
    QTRY_COMPARE(passo(), QStringLiteral("1"));
}

void TestFrmPulsiero::tastoDestroSoloRiscontro() {
    avvia();
    premi(Qt::RightButton, centroTasto(1));
    QVERIFY(figlio("Img_Invio")->isVisible());
    QCOMPARE(contorno(1)->colore(), Frm_Pulsiero::kAcquaChiaro);
    rilascia(Qt::RightButton, centroTasto(1));
    QVERIFY(!figlio("Img_Invio")->isVisible());
    QCOMPARE(contorno(1)->colore(), Frm_Pulsiero::kTeal);
    QTest::qWait(200);
    QVERIFY(!server_->hasPendingConnections());
    QCOMPARE(passo(), QStringLiteral("<none>"));
}

void TestFrmPulsiero::rilascioFuoriDalTasto() {
    avvia();
    muovi(centroTasto(0));
    premi(Qt::LeftButton, centroTasto(0));
    // The key keeps the mouse while the button is held: its outline stays.
    muovi(QPoint(150, 290));
    QVERIFY(contorno(0)->isVisible());
    rilascia(Qt::LeftButton, QPoint(150, 290));
    QCOMPARE(contorno(0)->colore(), Frm_Pulsiero::kTeal);
    QVERIFY(!figlio("Img_Invio")->isVisible());
    QTest::qWait(200);
    QVERIFY(!server_->hasPendingConnections());
    QCOMPARE(passo(), QStringLiteral("<none>"));
}

void TestFrmPulsiero::tastieraDa1a4() {
    avvia();
    QTest::keyPress(finestra_.get(), Qt::Key_3);
    QVERIFY(figlio("Img_Invio")->isVisible());
    QVERIFY(contorno(2)->isVisible());
    QCOMPARE(contorno(2)->colore(), Frm_Pulsiero::kAcquaChiaro);
    QTest::keyRelease(finestra_.get(), Qt::Key_3);
    QVERIFY(!figlio("Img_Invio")->isVisible());
    QCOMPARE(riceviTrama(), QByteArray("FFFFE7E1D589AFFFFEA"));
}

void TestFrmPulsiero::menu_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("voci"); // objectName|text|shortcut, "-" for separators
    QTest::newRow("File") << "&File" << QStringList{"MenuFine|Fine programma|Ctrl+X"};
    QTest::newRow("Opzioni") << "&Opzioni"
                             << QStringList{"MenuAvvioAuto|Avvio Automatico|",
                                            "MenuNull0|-|",
                                            "MenuCreaCollegamento|Crea collegamento sul desktop|",
                                            "MenuEliminaCollegamento|Elimina collegamento dal "
                                            "desktop|",
                                            "MenuNull1|-|",
                                            "MenuInitCom|Inizializza comunicazione|",
                                            "MenuConfigura|Configura il pulsiero|"};
    QTest::newRow("?") << "&?" << QStringList{"MenuInformazioni|Informazioni su...|F1"};
}

void TestFrmPulsiero::menu() {
    QFETCH(QString, menu);
    QFETCH(QStringList, voci);
    avvia();
    QMenu* trovato = nullptr;
    for (QAction* a : finestra_->menuBar()->actions())
        if (a->text() == menu)
            trovato = a->menu();
    QVERIFY(trovato);
    QStringList effettive;
    for (QAction* a : trovato->actions())
        effettive << a->objectName() + "|" + (a->isSeparator() ? "-" : a->text()) + "|" +
                         a->shortcut().toString();
    QCOMPARE(effettive, voci);
    for (QAction* a : trovato->actions())
        QVERIFY(a->isEnabled() && a->isVisible());
}

void TestFrmPulsiero::chiusuraTerminaIlProgramma() {
    avvia();
    finestra_->close();
    QCOMPARE(uscite_, QList<int>{0});
    QVERIFY(!finestra_->tray().icona()->isVisible());
}

void TestFrmPulsiero::ctrlXTermina() {
    avvia();
    QApplication::setActiveWindow(finestra_.get());
    QVERIFY(QTest::qWaitForWindowActive(finestra_.get()));
    QTest::keyClick(finestra_.get(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(uscite_, QList<int>{0});
}

void TestFrmPulsiero::avvioAutomaticoConTray() {
    QDir().mkpath(amb_->ambiente.cartellaAutostart);
    aiuti::scriviFile(amb_->ambiente.cartellaAutostart + "/pulsiero.desktop",
                      "[Desktop Entry]\nType=Application\nExec=/usr/bin/pulsiero\n");
    amb_->ambiente.avvioAutomatico = true; // started by that entry
    avvia();
    QVERIFY(!finestra_->isVisible());
    QVERIFY(finestra_->menu().MenuAvvioAuto->isChecked());
    QVERIFY(finestra_->tray().icona()->isVisible());
}

void TestFrmPulsiero::avvioAutomaticoSenzaTray() {
    QDir().mkpath(amb_->ambiente.cartellaAutostart);
    aiuti::scriviFile(amb_->ambiente.cartellaAutostart + "/pulsiero.desktop",
                      "[Desktop Entry]\nType=Application\nExec=/usr/bin/pulsiero\n");
    aiuti::scriviFile(amb_->ambiente.percorsoIni, "");
    amb_->ambiente.avvioAutomatico = true;
    finestra_ = std::make_unique<Frm_Pulsiero>(amb_->ambiente);
    finestra_->impostaTrayDisponibile([] { return false; });
    finestra_->Form_Load();
    // With no notification area a hidden window could never come back: it starts minimised.
    QVERIFY(finestra_->isVisible());
    QVERIFY(finestra_->isMinimized());
}

void TestFrmPulsiero::trayMostraLaFinestraETermina() {
    avvia();
    finestra_->NascondiFinestra(true);
    QVERIFY(!finestra_->isVisible());
    emit finestra_->tray().icona()->activated(QSystemTrayIcon::Context);
    QVERIFY(!finestra_->isVisible());
    emit finestra_->tray().icona()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(finestra_->isVisible());
    QVERIFY(!finestra_->isMinimized());

    finestra_->NascondiFinestra(true);
    QMenu& menuTray = finestra_->tray().MenuTray();
    QCOMPARE(menuTray.actions().size(), 3);
    QVERIFY(menuTray.actions().at(1)->isSeparator());
    menuTray.actions().at(0)->trigger(); // "Apri il pulsiero"
    QVERIFY(finestra_->isVisible());
    QCOMPARE(menuTray.actions().at(2)->text(), QStringLiteral("Fine programma"));
    menuTray.actions().at(2)->trigger();
    QCOMPARE(uscite_, QList<int>{0});
}

void TestFrmPulsiero::inizializzaComunicazione() {
    avvia();
    aiuti::scriviFile(amb_->ambiente.percorsoIni, "[Server]\nPorta=4321\n[Pulsiero]\nnome=Nuovo\n");
    finestra_->menu().MenuInitCom->trigger();
    QVERIFY(aiuti::chiudiMessaggio(QStringLiteral("Comunicazione TCI/IP"),
                                   QStringLiteral("La comunicazione TCP/IP è stata inizializzata."),
                                   QMessageBox::Information));
    QCOMPARE(finestra_->configurazione().impostazioni().PortaIP, std::string("4321"));
    QCOMPARE(qobject_cast<QLabel*>(figlio("Lab_Pulsiero"))->text(), QStringLiteral("Nuovo"));
}

void TestFrmPulsiero::tooltipDellIcona() {
    QCOMPARE(IconaTray::tooltip(),
             QStringLiteral("Pulsiero Rolling Code 1.00 - © 2026 Pulsiero Rolling Code"));
    QVERIFY(IconaTray::tooltip().size() <= 64);
    QCOMPARE(testoVersione(2, 3, 10), QStringLiteral("2.310"));
}

// Two windows on two files tell apart: the title and the tray icon carry the transmitter's name.
void TestFrmPulsiero::nomeNelTitoloENellIcona_data() {
    QTest::addColumn<QByteArray>("nome");
    QTest::addColumn<QString>("titolo");
    QTest::newRow("no name") << QByteArray() << "Pulsiero";
    QTest::newRow("blank name") << QByteArray("   ") << "Pulsiero";
    QTest::newRow("name") << QByteArray(" Cancello ") << "Cancello - Pulsiero";
    QTest::newRow("markup") << QByteArray("<b>Box</b>") << "<b>Box</b> - Pulsiero";
}

void TestFrmPulsiero::nomeNelTitoloENellIcona() {
    QFETCH(QByteArray, nome);
    QFETCH(QString, titolo);
    avvia("[Pulsiero]\nnome=" + nome + "\n");
    QCOMPARE(finestra_->windowTitle(), titolo);
    const QString prodotto =
        QStringLiteral("Pulsiero Rolling Code 1.00 - © 2026 Pulsiero Rolling Code");
    const QString trimmed = QString::fromUtf8(nome).trimmed();
    QCOMPARE(finestra_->tray().icona()->toolTip(),
             trimmed.isEmpty() ? prodotto : trimmed + QLatin1Char('\n') + prodotto);
}

// To a screen reader each key is a push button with a Press action that sends like a click,
// and a plain-text description.
void TestFrmPulsiero::tastiPulsantiAccessibili() {
    avvia("[Pulsiero]\nt2=Apri <b>garage</b>\n");
    QAccessibleInterface* tasto =
        QAccessible::queryAccessibleInterface(figlio(QStringLiteral("Img_Pulsante_1")));
    QVERIFY(tasto);
    QCOMPARE(tasto->role(), QAccessible::Button);
    QCOMPARE(tasto->text(QAccessible::Name), QStringLiteral("Apri <b>garage</b>"));
    QCOMPARE(tasto->text(QAccessible::Description), QStringLiteral("Apri <b>garage</b>"));
    QVERIFY(tasto->state().focusable);
    QAccessibleActionInterface* azioni = tasto->actionInterface();
    QVERIFY(azioni);
    QVERIFY(azioni->actionNames().contains(QAccessibleActionInterface::pressAction()));
    azioni->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(passo(), QStringLiteral("1"));
    QCOMPARE(riceviTrama().mid(7, 2), QByteArray("1E"));
    QVERIFY(!figlio("Img_Invio")->isVisible());
}

// Tab reaches the keys in order with a visible focus ring, and Space sends the focused key.
void TestFrmPulsiero::tastiRaggiuntiConTab() {
    avvia();
    QApplication::setActiveWindow(finestra_.get());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space); // no key has the focus yet
    QCOMPARE(passo(), QStringLiteral("<none>"));
    QWidget* tasto = figlio(QStringLiteral("Img_Pulsante_0"));
    const QImage senza = finestra_->grab(tasto->geometry().translated(area()->pos())).toImage();
    QTest::keyClick(finestra_.get(), Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), tasto);
    const QImage con = finestra_->grab(tasto->geometry().translated(area()->pos())).toImage();
    QVERIFY(senza != con);
    QTest::keyClick(finestra_.get(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), figlio(QStringLiteral("Img_Pulsante_1")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(riceviTrama().mid(7, 2), QByteArray("1E"));
}

// A long description wraps at blanks into a tooltip of sensible width; a short one stays on one
// line.
void TestFrmPulsiero::tooltipAcapo_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<int>("righe");
    QString lungo;
    for (int i = 0; lungo.size() < 240; ++i)
        lungo += QStringLiteral("parola%1 ").arg(i);
    QTest::newRow("short") << "Apri il cancello del garage" << 1;
    QTest::newRow("long") << lungo.trimmed() << 0; // 0: several, none wider than the limit
    QTest::newRow("one long word") << QString(200, 'x') << 0;
}

void TestFrmPulsiero::tooltipAcapo() {
    QFETCH(QString, testo);
    QFETCH(int, righe);
    avvia("[Pulsiero]\nt1=" + testo.toUtf8() + "\n");
    QWidget* tasto = figlio(QStringLiteral("Img_Pulsante_0"));
    QToolTip::showText(tasto->mapToGlobal(QPoint(5, 5)), tasto->toolTip(), tasto);
    QWidget* etichetta = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            etichetta = w;
    QVERIFY(etichetta);
    const QFontMetrics metrica(etichetta->font());
    const int larghezza = etichetta->width();
    const int altezza = etichetta->height();
    QToolTip::hideText();
    QVERIFY2(larghezza <= metrica.averageCharWidth() * 60, qPrintable(QString::number(larghezza)));
    if (righe == 1)
        QVERIFY2(altezza < 2 * metrica.lineSpacing(), qPrintable(QString::number(altezza)));
    else
        QVERIFY(altezza >= 2 * metrica.lineSpacing());
    QString mostrato = testoMostrato(tasto->toolTip());
    mostrato.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (!testo.contains(' '))
        mostrato.remove(QLatin1Char(' '));
    QCOMPARE(mostrato, testo);
}

// Texts from the settings file are shown as typed, in the label, the tooltips and the dialog,
// and written back unchanged.
void TestFrmPulsiero::testiMostratiComeScritti_data() {
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("testo");
    QTest::newRow("bold name") << "nome"
                               << "<b>Garage</b>";
    QTest::newRow("entity in name") << "nome"
                                    << "A&amp;B";
    QTest::newRow("image in key 3") << "t3"
                                    << "<img src=\"/tmp/pulsiero-prova.png\">";
    QTest::newRow("ampersand in key 1") << "t1"
                                        << "A&B";
    QTest::newRow("entity in key 2") << "t2"
                                     << "A&amp;B";
    QTest::newRow("blanks in key 4") << "t4"
                                     << "Luce  cortile";
}

void TestFrmPulsiero::testiMostratiComeScritti() {
    QFETCH(QString, chiave);
    QFETCH(QString, testo);
    avvia("[Pulsiero]\n" + chiave.toUtf8() + "=" + testo.toUtf8() + "\n");
    if (chiave == "nome") {
        auto* label = qobject_cast<QLabel*>(figlio("Lab_Pulsiero"));
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->text(), testo);
    } else {
        const QString tooltip =
            figlio(QStringLiteral("Img_Pulsante_%1").arg(chiave.mid(1).toInt() - 1))->toolTip();
        QCOMPARE(testoMostrato(tooltip), testo);
        QVERIFY(!tooltip.contains("<img") && !tooltip.contains("<b>"));
    }
    const QString casella = chiave == "nome" ? QStringLiteral("Txt_NomePul_0")
                                             : QStringLiteral("Txt_NomePul_") + chiave.mid(1);
    finestra_->menu().MenuConfigura->trigger();
    QCOMPARE(finestra_->dialogo()->findChild<QLineEdit*>(casella)->text(), testo);
    finestra_->dialogo()->close();
    QCOMPARE(QString::fromStdString(LeggiIni("Pulsiero", chiave.toStdString(), "<none>",
                                             amb_->ambiente.percorsoIni.toStdString())),
             testo);
}

// A name that fits is centred in the label; a longer one shows its beginning, cut at the right.
void TestFrmPulsiero::nomeLungo_data() {
    QTest::addColumn<int>("oltre"); // characters beyond the longest name that fits
    QTest::addColumn<Qt::Alignment>("allineamento");
    QTest::newRow("short") << -5 << Qt::Alignment(Qt::AlignCenter);
    QTest::newRow("exactly the width") << 0 << Qt::Alignment(Qt::AlignCenter);
    QTest::newRow("one character more") << 1 << Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TestFrmPulsiero::nomeLungo() {
    QFETCH(int, oltre);
    QFETCH(Qt::Alignment, allineamento);
    avvia();
    auto* label = qobject_cast<QLabel*>(figlio("Lab_Pulsiero"));
    QString entra;
    while (label->fontMetrics().horizontalAdvance(entra + 'x') <= 137)
        entra += 'x';
    const QString nome =
        entra.left(entra.size() + std::min(oltre, 0)) + QString(std::max(oltre, 0), 'x');
    aiuti::scriviFile(amb_->ambiente.percorsoIni, "[Pulsiero]\nnome=" + nome.toUtf8() + "\n");
    finestra_->menu().MenuInitCom->trigger();
    QVERIFY(aiuti::chiudiMessaggio(QStringLiteral("Comunicazione TCI/IP"),
                                   QStringLiteral("La comunicazione TCP/IP è stata inizializzata."),
                                   QMessageBox::Information));
    QCOMPARE(label->text(), nome);
    QCOMPARE(label->alignment(), allineamento);
    QCOMPARE(label->geometry(), QRect(32, 216, 137, 17));
}

// The digits under the lower keys stand clear of the key pad's bottom edge: at least two rows of
// the pad's own black lie between them.
void TestFrmPulsiero::cifreStaccateDalBordo_data() {
    QTest::addColumn<int>("x");
    QTest::newRow("3") << 68;
    QTest::newRow("4") << 130;
}

void TestFrmPulsiero::cifreStaccateDalBordo() {
    QFETCH(int, x);
    QImage immagine(202, 310, QImage::Format_RGB32);
    QPainter pittore(&immagine);
    QSvgRenderer(QStringLiteral(":/pulsiero/telecomando.svg")).render(&pittore);
    pittore.end();
    const auto riga = [&](int y, auto condizione) {
        for (int dx = -3; dx <= 3; ++dx)
            if (condizione(qGray(immagine.pixel(x + dx, y))))
                return true;
        return false;
    };
    int fondoCifra = 0; // the digit's lowest row, below the key
    for (int y = 168; y < 195; ++y)
        if (riga(y, [](int g) { return g > 60; }))
            fondoCifra = y;
    int nero = 0;
    for (int y = fondoCifra + 1; !riga(y, [](int g) { return g > 20; }); ++y)
        ++nero;
    QVERIFY2(
        nero >= 2,
        qPrintable(
            QStringLiteral("digit ends at row %1, %2 black rows below").arg(fondoCifra).arg(nero)));
}

// Qt's own texts in Italian, and the hand icon on message boxes too.
void TestFrmPulsiero::applicazioneInItalianoConIcona() {
    preparaApplicazione(*qApp);
    QMessageBox domanda(QMessageBox::Question, "t", "x", QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(domanda.button(QMessageBox::Yes)->text(), QStringLiteral("&Sì"));
    QLineEdit casella;
    std::unique_ptr<QMenu> menu(casella.createStandardContextMenu());
    QStringList voci;
    for (QAction* a : menu->actions())
        voci << a->text().section('\t', 0, 0);
    QVERIFY2(voci.contains("Ann&ulla") && voci.contains("&Incolla"), qPrintable(voci.join('|')));
    QVERIFY(!QApplication::windowIcon().isNull());
    QCOMPARE(domanda.windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
}

// Message boxes quote paths and settings as typed, markup included.
void TestFrmPulsiero::messaggiComeScritti() {
    Messaggi messaggi;
    messaggi.avviso(QStringLiteral("Pulsiero"), QStringLiteral("<b>/tmp/a&amp;b</b>"));
    QVERIFY(aiuti::messaggioAperto());
    QCOMPARE(aiuti::messaggioAperto()->textFormat(), Qt::PlainText);
    aiuti::messaggioAperto()->close();
}

QTEST_MAIN(TestFrmPulsiero)
#include "tst_frm_pulsiero.moc"
