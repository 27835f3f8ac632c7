#include "Aiuti.h"
#include "Ambienti.h"

#include "qt/app/RigaDiComando.h"
#include "qt/platform/PercorsoImpostazioni.h"
#include "qt/platform/VoceDesktop.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

using namespace pulsiero;

namespace {

// The desktop's own validator finds nothing to say (when it is installed).
bool valida(const QString& voce) {
    const QString validatore = QStandardPaths::findExecutable("desktop-file-validate");
    if (validatore.isEmpty())
        return true;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(validatore, {voce});
    p.waitForFinished();
    const QByteArray detto = p.readAll();
    if (!detto.isEmpty())
        qWarning("%s", detto.constData());
    return p.exitCode() == 0 && detto.isEmpty();
}

} // namespace

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
    void nomiDelleVoci_data();
    void nomiDelleVoci();
    void duePulsieri();
    void nascostaSoloDallaVoce_data();
    void nascostaSoloDallaVoce();
    void vecchiaVoceAggiornata();
    void azioniDeiTasti_data();
    void azioniDeiTasti();
    void vociSuLink_data();
    void vociSuLink();
    void lanciatoreSegueLeDescrizioni();
    void fileSolitoDatoPerNome();

private:
    void avvia();
    std::unique_ptr<Frm_Pulsiero> finestraSu(const QString& fileImpostazioni);
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
    QVERIFY(testo.contains("\nExec=" + execDesktop(amb_->ambiente.eseguibile).toUtf8() +
                           " --avvio-automatico\n"));
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
    QVERIFY(finestra_->isVisible()); // not started by the entry
    if (!acceso) {                   // a click turns it on, rewriting the entry
        avvioAuto()->trigger();
        QVERIFY(avvioAuto()->isChecked());
        QVERIFY(aiuti::leggiFile(voce()).contains("Exec=" +
                                                  execDesktop(amb_->ambiente.eseguibile).toUtf8()));
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
    QVERIFY(testo.contains("\nExec=" + execDesktop(amb_->ambiente.eseguibile).toUtf8() + "\n"));
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
    amb_->ambiente.fileVoci = file;
    avvia();
    avvioAuto()->trigger();
    QVERIFY(avvioAuto()->isChecked());
    finestra_->menu().MenuCreaCollegamento->trigger();
    const QByteArray exec = "\nExec=" + execDesktop(amb_->ambiente.eseguibile).toUtf8() + argomenti;
    const QString distintivo = distintivoVoci(file);
    QVERIFY(
        aiuti::leggiFile(amb_->ambiente.cartellaAutostart + "/pulsiero" + distintivo + ".desktop")
            .contains(exec + " --avvio-automatico\n"));
    QVERIFY(aiuti::leggiFile(amb_->ambiente.cartellaDesktop + "/Pulsiero" + distintivo + ".desktop")
                .contains(exec + "\n"));
    QVERIFY(valida(amb_->ambiente.cartellaAutostart + "/pulsiero" + distintivo + ".desktop"));
    QVERIFY(!aiuti::messaggioAperto());

    // Read again at the next start-up, the entry still says auto-start is on.
    finestra_.reset();
    avvia();
    QVERIFY(avvioAuto()->isChecked());
    // Without the option the entries start the program on its usual file.
    QVERIFY(RigaDiComando::leggi({"pulsiero"}).argomentiDelleVoci().isEmpty());
}

// A window on another settings file, in the same folders as amb_'s.
std::unique_ptr<Frm_Pulsiero> TestDesktop::finestraSu(const QString& fileImpostazioni) {
    Ambiente ambiente = amb_->ambiente;
    ambiente.percorsoIni = fileImpostazioni;
    ambiente.argomenti = {"--impostazioni", fileImpostazioni};
    ambiente.fileVoci = fileImpostazioni;
    auto finestra = std::make_unique<Frm_Pulsiero>(ambiente);
    finestra->uscita().impostaTerminazione([](int) {});
    finestra->impostaTrayDisponibile([] { return true; });
    finestra->Form_Load();
    return finestra;
}

// Each settings file names its own entries, the same at every start; the usual file keeps the
// names entries have always had.
void TestDesktop::nomiDelleVoci_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("autostart"); // a pattern for the entries' file names
    QTest::addColumn<QString>("lanciatore");
    QTest::newRow("usual file") << ""
                                << "pulsiero\\.desktop"
                                << "Pulsiero\\.desktop";
    QTest::newRow("garage") << "/home/anna/garage.ini"
                            << "pulsiero-garage-[0-9a-f]{8}\\.desktop"
                            << "Pulsiero-garage-[0-9a-f]{8}\\.desktop";
    QTest::newRow("blank and dollar") << "/home/anna/il mio $cancello.ini"
                                      << "pulsiero-il_mio__cancello-[0-9a-f]{8}\\.desktop"
                                      << "Pulsiero-il_mio__cancello-[0-9a-f]{8}\\.desktop";
}

void TestDesktop::nomiDelleVoci() {
    QFETCH(QString, file);
    QFETCH(QString, autostart);
    QFETCH(QString, lanciatore);
    const auto nome = [](const QString& percorso) { return QFileInfo(percorso).fileName(); };
    const AvvioAutomatico voce("/a", "/usr/bin/pulsiero", {}, file);
    const CollegamentoDesktop collegamento("/d", "/usr/bin/pulsiero", {}, file);
    QVERIFY2(QRegularExpression("^" + autostart + "$").match(nome(voce.percorsoVoce())).hasMatch(),
             qPrintable(voce.percorsoVoce()));
    QVERIFY2(
        QRegularExpression("^" + lanciatore + "$").match(nome(collegamento.percorso())).hasMatch(),
        qPrintable(collegamento.percorso()));
    QCOMPARE(AvvioAutomatico("/a", "/usr/bin/pulsiero", {}, file).percorsoVoce(),
             voce.percorsoVoce());
    if (!file.isEmpty()) // one name in another folder is another file
        QVERIFY(distintivoVoci("/altrove/" + QFileInfo(file).fileName()) != distintivoVoci(file));
}

// Two windows on two files: each has its own entry and launcher, and each tick follows its own
// entry; a window on the usual file is not started hidden by theirs.
void TestDesktop::duePulsieri() {
    auto a = finestraSu(amb_->dir.filePath("garage.ini"));
    auto b = finestraSu(amb_->dir.filePath("cancello.ini"));
    a->menu().MenuAvvioAuto->trigger();
    a->menu().MenuCreaCollegamento->trigger();
    QVERIFY(a->menu().MenuAvvioAuto->isChecked());
    b->menu().MenuCreaCollegamento->trigger();
    b->menu().MenuAvvioAuto->trigger();
    QVERIFY(b->menu().MenuAvvioAuto->isChecked());
    QDir scrivania(amb_->ambiente.cartellaDesktop);
    QCOMPARE(scrivania.entryList(QDir::Files).size(), 2);
    QCOMPARE(QDir(amb_->ambiente.cartellaAutostart).entryList(QDir::Files).size(), 2);

    b->menu().MenuEliminaCollegamento->trigger();
    b->menu().MenuAvvioAuto->trigger();
    QVERIFY(!b->menu().MenuAvvioAuto->isChecked());
    const QStringList rimasti = scrivania.entryList(QDir::Files);
    QCOMPARE(rimasti.size(), 1);
    QVERIFY(aiuti::leggiFile(scrivania.filePath(rimasti.first())).contains("garage.ini"));
    QCOMPARE(QDir(amb_->ambiente.cartellaAutostart).entryList(QDir::Files).size(), 1);

    // A new window on garage.ini finds its entry on; one on the usual file finds none.
    a.reset();
    QVERIFY(finestraSu(amb_->dir.filePath("garage.ini"))->menu().MenuAvvioAuto->isChecked());
    avvia();
    QVERIFY(!avvioAuto()->isChecked());
    QVERIFY(finestra_->isVisible());
}

// Only the auto-start entry's own command line starts the window hidden.
void TestDesktop::nascostaSoloDallaVoce_data() {
    QTest::addColumn<bool>("voce");
    QTest::addColumn<bool>("dallaVoce"); // started with --avvio-automatico
    QTest::newRow("launcher, entry on") << true << false;
    QTest::newRow("launcher, entry off") << false << false;
    QTest::newRow("entry's start") << true << true;
}

void TestDesktop::nascostaSoloDallaVoce() {
    QFETCH(bool, voce);
    QFETCH(bool, dallaVoce);
    if (voce) {
        avvia();
        avvioAuto()->trigger();
        finestra_.reset();
    }
    const RigaDiComando riga = RigaDiComando::leggi(
        dallaVoce ? QStringList{"pulsiero", "--avvio-automatico"} : QStringList{"pulsiero"});
    QCOMPARE(riga.azione, RigaDiComando::Azione::Finestra);
    amb_->ambiente.avvioAutomatico = riga.avvioAutomatico;
    avvia();
    QCOMPARE(avvioAuto()->isChecked(), voce);
    QCOMPARE(finestra_->isVisible(), !dallaVoce);
}

// An entry that an earlier version wrote lacks the option: it gets it, so the next logon still
// starts hidden; an entry of someone else's is left as it is.
void TestDesktop::vecchiaVoceAggiornata() {
    QDir().mkpath(amb_->ambiente.cartellaAutostart);
    const QByteArray vecchia = "[Desktop Entry]\nType=Application\nExec=" +
                               execDesktop(amb_->ambiente.eseguibile).toUtf8() + "\n";
    aiuti::scriviFile(voce(), vecchia);
    avvia();
    QVERIFY(avvioAuto()->isChecked());
    QVERIFY(aiuti::leggiFile(voce()).contains(" --avvio-automatico\n"));

    finestra_.reset();
    const QByteArray altrui = "[Desktop Entry]\nExec=/opt/altro/pulsiero --opzione\n";
    aiuti::scriviFile(voce(), altrui);
    avvia();
    QCOMPARE(aiuti::leggiFile(voce()), altrui);

    // Written under the usual name for garage.ini, it moves to garage.ini's own name.
    finestra_.reset();
    const QString garage = amb_->dir.filePath("garage.ini");
    aiuti::scriviFile(
        voce(), "[Desktop Entry]\nExec=" +
                    execDesktop(amb_->ambiente.eseguibile, {"--impostazioni", garage}).toUtf8() +
                    "\n");
    auto finestra = finestraSu(garage);
    QVERIFY(finestra->menu().MenuAvvioAuto->isChecked());
    QVERIFY(!QFile::exists(voce()));
    avvia();
    QVERIFY(!avvioAuto()->isChecked());
}

// The launcher offers the four keys, each a press on the window's own file, named with its
// description; the desktop's own validator accepts it.
void TestDesktop::azioniDeiTasti_data() {
    QTest::addColumn<QString>("file");        // empty for the usual file
    QTest::addColumn<QString>("descrizione"); // of key 1
    QTest::addColumn<QByteArray>("nome");
    QTest::addColumn<QByteArray>("argomenti");
    QTest::newRow("usual file, built-in name")
        << ""
        << "Tasto 1" << QByteArray("Tasto 1") << QByteArray(" --tasto 1");
    QTest::newRow("described") << ""
                               << "Apri cancello" << QByteArray("Tasto 1: Apri cancello")
                               << QByteArray(" --tasto 1");
    QTest::newRow("blanks, tab, backslash")
        << ""
        << "  Luci   giardino\t\\ retro" << QByteArray("Tasto 1: Luci giardino \\\\ retro")
        << QByteArray(" --tasto 1");
    QTest::newRow("file with blank and dollar")
        << "i miei $telecomandi/box 2.ini"
        << "Box" << QByteArray("Tasto 1: Box")
        << QByteArray(" --impostazioni \"%1/i miei \\\\$telecomandi/box 2.ini\" --tasto 1");
}

void TestDesktop::azioniDeiTasti() {
    QFETCH(QString, file);
    QFETCH(QString, descrizione);
    QFETCH(QByteArray, nome);
    QFETCH(QByteArray, argomenti);
    aiuti::scriviFile(amb_->ambiente.percorsoIni, "[Pulsiero]\nt1=" + descrizione.toUtf8() + "\n");
    if (file.isEmpty()) {
        avvia();
    } else {
        file = amb_->dir.filePath(file);
        QDir().mkpath(QFileInfo(file).path());
        QFile::copy(amb_->ambiente.percorsoIni, file);
        finestra_ = finestraSu(file);
    }
    finestra_->menu().MenuCreaCollegamento->trigger();
    const QDir scrivania(amb_->ambiente.cartellaDesktop);
    const QString lanciatore = scrivania.filePath(scrivania.entryList(QDir::Files).first());
    const QByteArray testo = aiuti::leggiFile(lanciatore);
    QVERIFY2(testo.contains("\nActions=tasto1;tasto2;tasto3;tasto4;\n"), testo.constData());
    const QByteArray exec =
        "Exec=" + execDesktop(amb_->ambiente.eseguibile).toUtf8() +
        (argomenti.contains("%1") ? QString::fromUtf8(argomenti).arg(amb_->dir.path()).toUtf8()
                                  : argomenti);
    QVERIFY2(testo.contains("\n[Desktop Action tasto1]\nName=" + nome + "\n" + exec + "\n"),
             testo.constData());
    QVERIFY(testo.contains("\n[Desktop Action tasto4]\nName=Tasto 4\n"));
    QVERIFY(valida(lanciatore));
}

// An entry that is a symbolic link is replaced by a file of its own; what the link pointed to,
// here a file of someone else's elsewhere, is neither written nor made executable.
void TestDesktop::vociSuLink_data() {
    QTest::addColumn<bool>("lanciatore"); // else the auto-start entry
    QTest::addColumn<bool>("bersaglioEsiste");
    QTest::newRow("auto-start entry") << false << true;
    QTest::newRow("launcher") << true << true;
    QTest::newRow("dangling auto-start entry") << false << false;
    QTest::newRow("dangling launcher") << true << false;
}

void TestDesktop::vociSuLink() {
    QFETCH(bool, lanciatore);
    QFETCH(bool, bersaglioEsiste);
    const QString bersaglio = amb_->dir.filePath("altrui/dati");
    QDir().mkpath(QFileInfo(bersaglio).path());
    if (bersaglioEsiste) {
        aiuti::scriviFile(bersaglio, "not a desktop entry\n");
        QFile::setPermissions(bersaglio, QFile::ReadOwner | QFile::WriteOwner);
    }
    const QString link = lanciatore ? amb_->ambiente.cartellaDesktop + "/Pulsiero.desktop" : voce();
    QDir().mkpath(QFileInfo(link).path());
    QVERIFY(QFile::link(bersaglio, link));
    avvia();
    if (lanciatore)
        finestra_->menu().MenuCreaCollegamento->trigger();
    else
        avvioAuto()->trigger();
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(aiuti::leggiFile(link).startsWith("[Desktop Entry]\n"));
    QCOMPARE(QFileInfo::exists(bersaglio), bersaglioEsiste);
    if (bersaglioEsiste) {
        QCOMPARE(aiuti::leggiFile(bersaglio), QByteArray("not a desktop entry\n"));
        QVERIFY(!(QFile::permissions(bersaglio) & QFile::ExeOwner));
    }
}

// Descriptions changed after the launcher was made rename its actions; a launcher of that name
// that starts something else is left alone.
void TestDesktop::lanciatoreSegueLeDescrizioni() {
    avvia();
    finestra_->menu().MenuCreaCollegamento->trigger();
    const QString lanciatore = amb_->ambiente.cartellaDesktop + "/Pulsiero.desktop";
    aiuti::scriviFile(amb_->ambiente.percorsoIni, "[Pulsiero]\nt2=Garage\n");
    finestra_->configurazione().CaricaConfigurazione(false);
    QVERIFY(aiuti::leggiFile(lanciatore).contains("\nName=Tasto 2: Garage\n"));

    const QByteArray altrui = "[Desktop Entry]\nType=Application\nName=x\nExec=/opt/altro\n";
    aiuti::scriviFile(lanciatore, altrui);
    aiuti::scriviFile(amb_->ambiente.percorsoIni, "[Pulsiero]\nt2=Cantina\n");
    finestra_->configurazione().CaricaConfigurazione(false);
    QCOMPARE(aiuti::leggiFile(lanciatore), altrui);
}

// The usual settings file named on the command line keeps the usual entries; another file gets
// its own.
void TestDesktop::fileSolitoDatoPerNome() {
    const QString solito = scegliImpostazioni().percorso;
    QVERIFY(Ambiente::predefinito(solito, {"--impostazioni", solito}).fileVoci.isEmpty());
    QVERIFY(Ambiente::predefinito(solito, {}).fileVoci.isEmpty());
    const QString altro = amb_->dir.filePath("garage.ini");
    QCOMPARE(Ambiente::predefinito(altro, {"--impostazioni", altro}).fileVoci, altro);
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
