#include "Aiuti.h"
#include "Ambienti.h"

#include "qt/app/RigaDiComando.h"
#include "qt/platform/VoceDesktop.h"

#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

using namespace pulsiero;

// Auto-start at logon and the desktop launcher, against real files in temporary folders.
class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void exec_data();
    void exec();
    void attivaEDisattiva();
    void statoAllAvvio_data();
    void statoAllAvvio();
    void cambiatoDaFuori();
    void cartellaNonScrivibile();
    void ignoratoDuranteIlCaricamento();
    void collegamento();
    void collegamentoSenzaCartellaDesktop();
    void iconaDelleVoci_data();
    void iconaDelleVoci();
    void vociConImpostazioni_data();
    void vociConImpostazioni();

private:
    void avvia();
    QString voce() const { return amb_->ambiente.cartellaAutostart + "/pulsiero.desktop"; }
    QAction* avvioAuto() const { return finestra_->menu().MenuAvvioAuto; }

    std::unique_ptr<AmbienteDiProva> amb_;
    std::unique_ptr<Frm_Pulsiero> finestra_;
};

void TestDesktop::init() {
    amb_ = std::make_unique<AmbienteDiProva>();
}

void TestDesktop::cleanup() {
    while (QMessageBox* b = aiuti::messaggioAperto())
        b->close();
    finestra_.reset();
    amb_.reset();
}

void TestDesktop::avvia() {
    finestra_ = std::make_unique<Frm_Pulsiero>(amb_->ambiente);
    finestra_->uscita().impostaTerminazione([](int) {});
    finestra_->impostaTrayDisponibile([] { return true; });
    finestra_->Form_Load();
}

void TestDesktop::exec_data() {
    QTest::addColumn<QString>("percorso");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/usr/bin/pulsiero"
                           << "/usr/bin/pulsiero";
    QTest::newRow("blank") << "/home/a b/pulsiero"
                           << "\"/home/a b/pulsiero\"";
    QTest::newRow("dollar and quote") << "/x/$HOME\"q"
                                      << "\"/x/\\\\$HOME\\\\\"q\"";
    QTest::newRow("backslash") << "/x/a\\b"
                               << "\"/x/a\\\\\\\\b\"";
    QTest::newRow("percent") << "/x/100%"
                             << "/x/100%%";
    QTest::newRow("backtick") << "/x/a`b"
                              << "\"/x/a\\\\`b\"";
}

void TestDesktop::exec() {
    QFETCH(QString, percorso);
    QFETCH(QString, exec);
    QCOMPARE(execDesktop(percorso), exec);
}

void TestDesktop::attivaEDisattiva() {
    avvia();
    QVERIFY(!avvioAuto()->isChecked());
    avvioAuto()->trigger();
    QVERIFY(avvioAuto()->isChecked());
    const QByteArray testo = aiuti::leggiFile(voce());
    QVERIFY(testo.startsWith("[Desktop Entry]\n"));
    QVERIFY(testo.contains("\nExec=" + amb_->ambiente.eseguibile.toUtf8() + "\n"));
    QVERIFY(!aiuti::messaggioAperto());

    avvioAuto()->trigger();
    QVERIFY(!avvioAuto()->isChecked());
    QVERIFY(!QFile::exists(voce()));
    QVERIFY(!aiuti::messaggioAperto());
}

void TestDesktop::statoAllAvvio_data() {
    QTest::addColumn<QByteArray>("contenuto");
    QTest::addColumn<bool>("acceso");
    QTest::newRow("enabled") << QByteArray("[Desktop Entry]\nExec=/opt/p/pulsiero\n") << true;
    QTest::newRow("empty Exec") << QByteArray("[Desktop Entry]\nExec=\n") << false;
    QTest::newRow("no Exec") << QByteArray("[Desktop Entry]\nName=x\n") << false;
    QTest::newRow("Hidden") << QByteArray("[Desktop Entry]\nExec=p\nHidden=true\n") << false;
    QTest::newRow("GNOME disabled")
        << QByteArray("[Desktop Entry]\nExec=p\nX-GNOME-Autostart-enabled=false\n") << false;
}

void TestDesktop::statoAllAvvio() {
    QFETCH(QByteArray, contenuto);
    QFETCH(bool, acceso);
    QDir().mkpath(amb_->ambiente.cartellaAutostart);
    aiuti::scriviFile(voce(), contenuto);
    avvia();
    QCOMPARE(avvioAuto()->isChecked(), acceso);
    QCOMPARE(finestra_->isVisible(), !acceso);
    if (!acceso) { // a click turns it on, rewriting the entry
        avvioAuto()->trigger();
        QVERIFY(avvioAuto()->isChecked());
        QVERIFY(aiuti::leggiFile(voce()).contains("Exec=" + amb_->ambiente.eseguibile.toUtf8()));
    }
}

void TestDesktop::cambiatoDaFuori() {
    avvia();
    QDir().mkpath(amb_->ambiente.cartellaAutostart);
    aiuti::scriviFile(voce(), "[Desktop Entry]\nExec=/altro/pulsiero\n");
    avvioAuto()->trigger(); // unticked, but the entry is there: nothing at all happens
    QVERIFY(!avvioAuto()->isChecked());
    QCOMPARE(aiuti::leggiFile(voce()), QByteArray("[Desktop Entry]\nExec=/altro/pulsiero\n"));

    avvioAuto()->setChecked(true);
    QFile::remove(voce());
    avvioAuto()->trigger(); // ticked, but the entry is gone: nothing happens either
    QVERIFY(avvioAuto()->isChecked());
    QVERIFY(!QFile::exists(voce()));
    QVERIFY(!aiuti::messaggioAperto());
}

void TestDesktop::cartellaNonScrivibile() {
    QDir().mkpath(QFileInfo(amb_->ambiente.cartellaAutostart).path());
    aiuti::scriviFile(amb_->ambiente.cartellaAutostart, "a file where the folder should be");
    avvia();
    avvioAuto()->trigger();
    QVERIFY(aiuti::chiudiMessaggio(
        QStringLiteral("Pulsiero"),
        QStringLiteral("Attenzione: Il programma non può essere inserito nella tray bar."),
        QMessageBox::Warning));
    QVERIFY(!avvioAuto()->isChecked());
}

void TestDesktop::ignoratoDuranteIlCaricamento() {
    finestra_ = std::make_unique<Frm_Pulsiero>(amb_->ambiente);
    finestra_->impostaTrayDisponibile([] { return true; });
    bool provato = false;
    // The configuration's load runs inside the start-up; a click arriving then is ignored.
    connect(&finestra_->configurazione(), &Configurazione::caricata, this, [&] {
        QVERIFY(finestra_->Caricamento());
        avvioAuto()->trigger();
        provato = true;
    });
    finestra_->Form_Load();
    QVERIFY(provato);
    QVERIFY(!QFile::exists(voce()));
    QVERIFY(!avvioAuto()->isChecked());
}

void TestDesktop::collegamento() {
    avvia();
    const QString file = amb_->ambiente.cartellaDesktop + "/Pulsiero.desktop";
    QDir().mkpath(amb_->ambiente.cartellaDesktop);
    finestra_->menu().MenuCreaCollegamento->trigger();
    const QByteArray testo = aiuti::leggiFile(file);
    QVERIFY(testo.contains("\nName=Pulsiero\n"));
    QVERIFY(testo.contains("\nExec=" + amb_->ambiente.eseguibile.toUtf8() + "\n"));
    QVERIFY(testo.contains("\nIcon="));
    QVERIFY(QFileInfo(file).isExecutable());
    QVERIFY(!aiuti::messaggioAperto());

    finestra_->menu().MenuEliminaCollegamento->trigger();
    QVERIFY(!QFile::exists(file));
    finestra_->menu().MenuEliminaCollegamento->trigger(); // nothing to remove: still quiet
    QVERIFY(!aiuti::messaggioAperto());
    const QStringList resto =
        QDir(amb_->dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    QCOMPARE(resto, (QStringList{"Scrivania"}));
}

// A new account often has no desktop folder: the launcher makes it.
void TestDesktop::collegamentoSenzaCartellaDesktop() {
    amb_->ambiente.cartellaDesktop = amb_->dir.filePath(QStringLiteral("home/Scrivania"));
    avvia();
    finestra_->menu().MenuCreaCollegamento->trigger();
    QVERIFY(aiuti::leggiFile(amb_->ambiente.cartellaDesktop + "/Pulsiero.desktop")
                .contains("\nName=Pulsiero\n"));
    QVERIFY(!aiuti::messaggioAperto());
}

// Both entries name the program's icon: the SVG beside an executable run from its build, else
// the installed theme icon, whatever the executable is called.
void TestDesktop::iconaDelleVoci_data() {
    QTest::addColumn<QString>("eseguibile");
    QTest::addColumn<bool>("svgAccanto");
    QTest::addColumn<QString>("icona"); // relative to the temporary folder when it starts with /
    QTest::newRow("build") << "build/pulsiero" << true << "/build/pulsiero.svg";
    QTest::newRow("installed") << "usr/bin/pulsiero" << false << "pulsiero";
    QTest::newRow("renamed") << "opt/telecomando" << false << "pulsiero";
}

void TestDesktop::iconaDelleVoci() {
    QFETCH(QString, eseguibile);
    QFETCH(bool, svgAccanto);
    QFETCH(QString, icona);
    amb_->ambiente.eseguibile = amb_->dir.filePath(eseguibile);
    const QString cartella = QFileInfo(amb_->ambiente.eseguibile).path();
    QDir().mkpath(cartella);
    if (svgAccanto)
        aiuti::scriviFile(cartella + "/pulsiero.svg", "<svg/>");
    const QString attesa =
        icona.startsWith('/') ? QDir(amb_->dir.path()).canonicalPath() + icona : icona;
    avvia();
    avvioAuto()->trigger();
    finestra_->menu().MenuCreaCollegamento->trigger();
    const QString nomeVoce = QFileInfo(eseguibile).fileName() + ".desktop";
    for (const QString& file : {amb_->ambiente.cartellaAutostart + "/" + nomeVoce,
                                amb_->ambiente.cartellaDesktop + "/Pulsiero.desktop"})
        QVERIFY2(aiuti::leggiFile(file).contains("\nIcon=" + attesa.toUtf8() + "\n"),
                 aiuti::leggiFile(file).constData());
}

// A window on a settings file given with --impostazioni makes entries that start it on that same
// file, by its absolute path, quoted where the path needs it; the auto-start entry reads as on.
void TestDesktop::vociConImpostazioni_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("argomenti"); // what follows the executable in Exec
    QTest::newRow("plain") << "/home/anna/telecomandi/garage.ini"
                           << QByteArray(" --impostazioni /home/anna/telecomandi/garage.ini");
    QTest::newRow("blank and dollar")
        << "/home/anna/i miei $telecomandi/cancello 7.ini"
        << QByteArray(" --impostazioni \"/home/anna/i miei \\\\$telecomandi/cancello 7.ini\"");
    QTest::newRow("percent") << "/srv/100%/p.ini" << QByteArray(" --impostazioni /srv/100%%/p.ini");
}

void TestDesktop::vociConImpostazioni() {
    QFETCH(QString, file);
    QFETCH(QByteArray, argomenti);
    const RigaDiComando riga = RigaDiComando::leggi({"pulsiero", "--impostazioni", file});
    QCOMPARE(riga.impostazioni, file);
    amb_->ambiente.argomenti = riga.argomentiDelleVoci();
    avvia();
    avvioAuto()->trigger();
    QVERIFY(avvioAuto()->isChecked());
    finestra_->menu().MenuCreaCollegamento->trigger();
    const QByteArray exec = "\nExec=" + amb_->ambiente.eseguibile.toUtf8() + argomenti + "\n";
    for (const QString& voce : {voce(), amb_->ambiente.cartellaDesktop + "/Pulsiero.desktop"})
        QVERIFY2(aiuti::leggiFile(voce).contains(exec), aiuti::leggiFile(voce).constData());
    QVERIFY(!aiuti::messaggioAperto());

    // Read again at the next start-up, the entry still says auto-start is on.
    finestra_.reset();
    avvia();
    QVERIFY(avvioAuto()->isChecked());
    // Without the option the entries start the program on its usual file.
    QVERIFY(RigaDiComando::leggi({"pulsiero"}).argomentiDelleVoci().isEmpty());
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
