// The command line of the real program: one key press with --tasto against a receiver on
// 127.0.0.1, its exit statuses and messages, and presses shared with a window on one file.
#include "Aiuti.h"
#include "Ambienti.h"
#include "Ricezione.h"
#include "core/Decodifica.h"
#include "qt/finestre/Applicazione.h"

#include <QDBusConnection>
#include <QProcess>
#include <QVariant>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A desktop's notification service on a session bus of the test's own: it records what it is
// asked to show.
class Notifiche : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList ricevute; // summary, a new line, body

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& titolo, const QString& testo,
                const QStringList&, const QVariantMap&, int) {
        ricevute << titolo + QLatin1Char('\n') + testo;
        return uint(ricevute.size());
    }
};

struct Esecuzione {
    int stato = -1;
    QByteArray uscita;
    QByteArray errori;
};

// Runs the program, as the user nobody when the test runs as root and asked to.
Esecuzione esegui(const QStringList& argomenti, bool comeNobody = false,
                  QString programma = QStringLiteral(PULSIERO_EXE),
                  const QProcessEnvironment& ambiente = QProcessEnvironment::systemEnvironment()) {
    QStringList tutti = argomenti;
    if (comeNobody && ::geteuid() == 0) {
        tutti = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", programma} + tutti;
        programma = QStringLiteral("setpriv");
    }
    QProcess p;
    p.setProcessEnvironment(ambiente);
    p.start(programma, tutti);
    if (!p.waitForFinished(10000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QByteArray trama(QTcpServer& server) {
    return aiuti::tramaRicevuta(server, 3000);
}

// A port with nobody listening on it.
quint16 portaChiusa() {
    QTcpServer s;
    if (!s.listen(QHostAddress::LocalHost))
        qFatal("no free port on 127.0.0.1");
    return s.serverPort();
}

const QByteArray kRifiutata = "Errore 10061 - Connessione rifiutata dal ricevitore\n"
                              "Attenzione il comando non è stato inviato a causa di un problema di "
                              "connessione.\n";
// A tenth of a second of silence, 8 kHz mono.
QByteArray wavBreve() {
    QByteArray dati(800, '\x80');
    QByteArray wav = "RIFF";
    const auto parola = [&wav](quint32 n, int byte) {
        for (int i = 0; i < byte; ++i)
            wav.append(char((n >> (8 * i)) & 0xff));
    };
    parola(36 + dati.size(), 4);
    wav += "WAVEfmt ";
    parola(16, 4), parola(1, 2), parola(1, 2), parola(8000, 4), parola(8000, 4), parola(1, 2);
    parola(8, 2);
    wav += "data";
    parola(dati.size(), 4);
    return wav + dati;
}

const QByteArray kNonInviato = "Attenzione il comando non è stato inviato a causa di un problema di "
                               "connessione.\n";
const QString kPortaNonValida = QStringLiteral(
    "Attenzione: la porta del ricevitore «%1» non è valida (serve un numero da 1 a 65535). Il "
    "comando non è stato inviato.\n");

} // namespace

class TestTasto : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void statoDiUscita_data();
    void statoDiUscita();
    void contatoreNonSalvabile();
    void opzioni_data();
    void opzioni();
    void aiutoSenzaCreareNulla();
    void alternaConLaFinestra();
    void senzaLibrerieDellaFinestra();
    void nomeSenzaRisposta();
    void erroreComeNellaFinestra();
    void sezioneRipetuta();
    void notificaSenzaTerminale();

private:
    void scriviIni(const QVariant& porta, const QByteArray& passo = "41", const QByteArray& altro = {},
                   const QByteArray& indirizzo = "127.0.0.1");
    QString ini() const { return dir_->filePath("telecomando.ini"); }
    int passoSalvato() const {
        for (const QByteArray& riga : aiuti::leggiFile(ini()).split('\n'))
            if (riga.startsWith("Passo="))
                return riga.mid(6).toInt();
        return -1;
    }

    QTemporaryDir runtime_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QTcpServer> server_;
};

void TestTasto::initTestCase() {
    // Without one Qt warns on stderr, which the tests read.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
}

void TestTasto::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    server_ = std::make_unique<QTcpServer>();
    QVERIFY(server_->listen(QHostAddress::LocalHost));
}

void TestTasto::cleanup() {
    server_.reset();
    dir_.reset();
}

void TestTasto::scriviIni(const QVariant& porta, const QByteArray& passo, const QByteArray& altro,
                          const QByteArray& indirizzo) {
    aiuti::scriviFile(ini(), "[Server]\nIndirizzo=" + indirizzo +
                                 "\nPorta=" + porta.toString().toUtf8() +
                                 "\n[Pulsiero]\nID_Dis=12345\nID_Pul=7\nPasso=" + passo + "\n" +
                                 altro);
}

void TestTasto::statoDiUscita_data() {
    QTest::addColumn<QString>("porta"); // "ascolto", "chiusa" or a literal port
    QTest::addColumn<int>("tasto");
    QTest::addColumn<int>("stato");
    QTest::addColumn<QByteArray>("errori");
    QTest::addColumn<int>("passo"); // stored afterwards, from 41
    QTest::newRow("key 1 delivered") << "ascolto" << 1 << 0 << QByteArray() << 42;
    QTest::newRow("key 4 delivered") << "ascolto" << 4 << 0 << QByteArray() << 42;
    QTest::newRow("refused port") << "chiusa" << 2 << 1 << kRifiutata << 42;
    for (const char* porta : {"0", "abc", "70000", ""})
        QTest::newRow(qPrintable(QStringLiteral("port «%1»").arg(porta)))
            << porta << 3 << 2 << kPortaNonValida.arg(porta).toUtf8() << 41;
}

void TestTasto::statoDiUscita() {
    QFETCH(QString, porta);
    QFETCH(int, tasto);
    QFETCH(int, stato);
    QFETCH(QByteArray, errori);
    QFETCH(int, passo);
    scriviIni(porta == "ascolto"  ? QVariant(server_->serverPort())
              : porta == "chiusa" ? QVariant(portaChiusa())
                                  : QVariant(porta));

    const Esecuzione e = esegui({"--impostazioni", ini(), "--tasto", QString::number(tasto)});
    QCOMPARE(QString::fromUtf8(e.errori), QString::fromUtf8(errori));
    QCOMPARE(e.stato, stato);
    QCOMPARE(e.uscita, QByteArray());
    QCOMPARE(passoSalvato(), passo);
    if (stato == 0) {
        const auto decodificata = pulsiero::frame::decode(trama(*server_).toStdString(), 12345);
        QVERIFY(std::holds_alternative<pulsiero::frame::Decoded>(decodificata));
        const auto& d = std::get<pulsiero::frame::Decoded>(decodificata);
        QCOMPARE(d.key, tasto - 1);
        QCOMPARE(d.transmitter, 7);
        QCOMPARE(d.step, 42);
    }
}

void TestTasto::contatoreNonSalvabile() {
    // A settings file in a folder its user may read but not write. Root writes anywhere, so
    // then the program runs as nobody, from a copy that nobody may reach.
    QCOMPARE(::chmod(QFile::encodeName(dir_->path()).constData(), 0755), 0);
    const QString copia = dir_->filePath("pulsiero");
    QVERIFY(QFile::copy(QStringLiteral(PULSIERO_EXE), copia));
    scriviIni(server_->serverPort(), "65534");
    QCOMPARE(::chmod(QFile::encodeName(ini()).constData(), 0644), 0);
    QCOMPARE(::chmod(QFile::encodeName(dir_->path()).constData(), 0555), 0);

    const Esecuzione e = esegui({"--impostazioni", ini(), "--tasto", "2"}, true, copia);
    ::chmod(QFile::encodeName(dir_->path()).constData(), 0700);
    QCOMPARE(QString::fromUtf8(e.errori),
             QStringLiteral("Attenzione: non è stato possibile salvare il contatore dei passi nel "
                            "file di configurazione (%1: accesso negato). Il comando non è stato "
                            "inviato.\n")
                 .arg(dir_->path()));
    QCOMPARE(e.stato, 2);
    QCOMPARE(passoSalvato(), 65534);
    QVERIFY(!server_->waitForNewConnection(300));
}

// Every option of the program, in each form users type, good and bad. A row that presses key
// N (premuto) delivers its frame; every other row sends nothing and creates no file.
void TestTasto::opzioni_data() {
    QTest::addColumn<QStringList>("argomenti");
    QTest::addColumn<int>("stato");
    QTest::addColumn<QString>("inizioUscita");
    QTest::addColumn<QString>("errori");
    QTest::addColumn<int>("premuto");
    const QString uso = QStringLiteral("pulsiero: %1\nUsare --help per l'elenco delle opzioni.\n");
    const QString aiuto = QStringLiteral("Uso: pulsiero [OPZIONI]\n");
    const QString tastoErrato = QStringLiteral("--tasto vuole un numero da 1 a 4, non «%1»");
    QTest::newRow("--help") << QStringList{"--help"} << 0 << aiuto << "" << 0;
    QTest::newRow("-h") << QStringList{"-h"} << 0 << aiuto << "" << 0;
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "pulsiero 1.0.0\n"
                               << "" << 0;
    QTest::newRow("-v") << QStringList{"-v"} << 0 << "pulsiero 1.0.0\n" << "" << 0;
    QTest::newRow("--tasto 1") << QStringList{"--tasto", "1"} << 0 << "" << "" << 1;
    QTest::newRow("-t 2") << QStringList{"-t", "2"} << 0 << "" << "" << 2;
    QTest::newRow("-t3 combined") << QStringList{"-t3"} << 0 << "" << "" << 3;
    QTest::newRow("--tasto=4") << QStringList{"--tasto=4"} << 0 << "" << "" << 4;
    QTest::newRow("-tasto 4") << QStringList{"-tasto", "4"} << 0 << "" << "" << 4;
    QTest::newRow("unknown option")
        << QStringList{"--tastiera"} << 2 << "" << uso.arg("opzione sconosciuta: --tastiera") << 0;
    QTest::newRow("key 0") << QStringList{"--tasto", "0"} << 2 << "" << uso.arg(tastoErrato.arg("0"))
                           << 0;
    QTest::newRow("key 5") << QStringList{"-t", "5"} << 2 << "" << uso.arg(tastoErrato.arg("5"))
                           << 0;
    QTest::newRow("key empty") << QStringList{"--tasto", ""} << 2 << "" << uso.arg(tastoErrato.arg(""))
                               << 0;
    QTest::newRow("key --tasto=") << QStringList{"--tasto="} << 2 << ""
                                  << uso.arg(tastoErrato.arg("")) << 0;
    QTest::newRow("key too long") << QStringList{"--tasto", "12"} << 2 << ""
                                  << uso.arg(tastoErrato.arg("12")) << 0;
    QTest::newRow("key -t12") << QStringList{"-t12"} << 2 << "" << uso.arg(tastoErrato.arg("12"))
                              << 0;
    QTest::newRow("key trailing junk") << QStringList{"--tasto", "1x"} << 2 << ""
                                       << uso.arg(tastoErrato.arg("1x")) << 0;
    QTest::newRow("key blank") << QStringList{"--tasto", " 1"} << 2 << ""
                               << uso.arg(tastoErrato.arg(" 1")) << 0;
    QTest::newRow("key repeated") << QStringList{"--tasto", "1", "-t", "2"} << 2 << ""
                                  << uso.arg("opzione ripetuta: --tasto") << 0;
    QTest::newRow("key without number")
        << QStringList{"--tasto"} << 2 << "" << uso.arg("manca il valore di --tasto") << 0;
    QTest::newRow("-i combined") << QStringList{"-i@", "-t", "1"} << 0 << ""
                                 << "" << 1;
    QTest::newRow("settings empty") << QStringList{"--impostazioni", "", "-t", "1"} << 2 << ""
                                    << uso.arg("--impostazioni vuole il nome di un file") << 0;
    QTest::newRow("settings repeated") << QStringList{"--tasto", "1", "-i", "altro.ini"} << 2 << ""
                                       << uso.arg("opzione ripetuta: --impostazioni") << 0;
    // Qt's own options reach the window's application object, which reads the rest again.
    QTest::newRow("Qt option and a stray argument")
        << QStringList{"-platform", "offscreen", "tre"} << 2 << ""
        << uso.arg("argomento inatteso: tre") << 0;
    QTest::newRow("-style Fusion and a stray argument")
        << QStringList{"-style", "Fusion", "-platform", "offscreen", "tre"} << 2 << ""
        << uso.arg("argomento inatteso: tre") << 0;
    QTest::newRow("stray argument")
        << QStringList{"--tasto", "1", "2"} << 2 << "" << uso.arg("argomento inatteso: 2") << 0;
}

void TestTasto::opzioni() {
    QFETCH(QStringList, argomenti);
    QFETCH(int, stato);
    QFETCH(QString, inizioUscita);
    QFETCH(QString, errori);
    QFETCH(int, premuto);
    if (premuto)
        scriviIni(server_->serverPort());
    // A row that starts with the settings option names its own file ("@": the test's).
    const bool proprio =
        argomenti.first().startsWith("--impostazioni") || argomenti.first().startsWith("-i");
    const Esecuzione e = esegui(proprio ? argomenti.replaceInStrings("@", ini())
                                        : QStringList{"--impostazioni", ini()} + argomenti);
    QCOMPARE(QString::fromUtf8(e.errori), errori);
    QCOMPARE(e.stato, stato);
    QVERIFY2(e.uscita.startsWith(inizioUscita.toUtf8()), e.uscita.constData());
    if (argomenti.first() == "--help")
        QVERIFY(e.uscita.contains("File delle impostazioni: " + QFile::encodeName(ini()) + "\n"));
    if (premuto) {
        const auto d = pulsiero::frame::decode(trama(*server_).toStdString(), 12345);
        QVERIFY(std::holds_alternative<pulsiero::frame::Decoded>(d));
        QCOMPARE(std::get<pulsiero::frame::Decoded>(d).key, premuto - 1);
        return;
    }
    QVERIFY(!QFile::exists(ini())); // nothing pressed, nothing written
    QVERIFY(!server_->hasPendingConnections());
}

// --help names the file a run would use, without making its folder or seeding it.
void TestTasto::aiutoSenzaCreareNulla() {
    QDir().mkpath(dir_->filePath("bin"));
    QVERIFY(QFile::copy(QStringLiteral(PULSIERO_EXE), dir_->filePath("bin/pulsiero")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir_->path());
    env.insert("XDG_CONFIG_HOME", dir_->filePath("config"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(dir_->filePath("bin/pulsiero"), {"--help"});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(p.readAllStandardOutput().contains(
        "\nFile delle impostazioni: " + QFile::encodeName(dir_->path()) +
        "/config/pulsiero/pulsiero.ini\n"));
    QVERIFY(!QFileInfo::exists(dir_->filePath("config")));
}

void TestTasto::alternaConLaFinestra() {
    // A window and the command line share one settings file: each press takes the next step.
    scriviIni(server_->serverPort(), "300");
    AmbienteDiProva amb;
    amb.ambiente.percorsoIni = ini();
    pulsiero::Frm_Pulsiero finestra(amb.ambiente);
    finestra.impostaTrayDisponibile([] { return true; });
    finestra.Form_Load();

    QList<int> passi;
    for (int giro = 0; giro < 2; ++giro) {
        finestra.trasmettitore().Img_Pulsante_Click(0);
        const QByteArray dallaFinestra = trama(*server_);
        QTRY_VERIFY(!finestra.trasmettitore().inCorso());
        QCOMPARE(esegui({"--impostazioni", ini(), "--tasto", "3"}).stato, 0);
        const QByteArray dallaRiga = trama(*server_);
        for (const QByteArray& t : {dallaFinestra, dallaRiga}) {
            const auto d = pulsiero::frame::decode(t.toStdString(), 12345);
            QVERIFY2(std::holds_alternative<pulsiero::frame::Decoded>(d), t.toHex().constData());
            passi << std::get<pulsiero::frame::Decoded>(d).step;
        }
    }
    QCOMPARE(passi, (QList<int>{301, 302, 303, 304}));
    QCOMPARE(passoSalvato(), 304);
    QVERIFY(aiuti::messaggioAperto() == nullptr);
}

// With a key sound set, a press from the command line still loads no window, picture or
// multimedia library, and none of them prints anything.
void TestTasto::senzaLibrerieDellaFinestra() {
    aiuti::scriviFile(dir_->filePath("bip.wav"), wavBreve());
    scriviIni(server_->serverPort(), "41", "Suono=" + QFile::encodeName(dir_->filePath("bip.wav")));
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert("LD_DEBUG", "libs");
    ambiente.insert("LD_DEBUG_OUTPUT", dir_->filePath("caricate"));
    const Esecuzione e =
        esegui({"--impostazioni", ini(), "--tasto", "1"}, false, PULSIERO_EXE, ambiente);
    QCOMPARE(QString::fromUtf8(e.errori), QString());
    QCOMPARE(e.stato, 0);
    QVERIFY(trama(*server_).size() == 19);
    QByteArray caricate;
    for (const QString& f : QDir(dir_->path()).entryList({"caricate.*"}))
        caricate += aiuti::leggiFile(dir_->filePath(f));
    QVERIFY(caricate.contains("libQt6Network"));
    for (const char* libreria : {"libQt6Widgets", "libQt6Gui", "libQt6Multimedia", "libQt6Svg"})
        QVERIFY2(!caricate.contains(libreria), libreria);
}

// A name server that never answers: the press gives up within its usual bound and the program
// ends then, without waiting for the resolver (here 2 x 20 s).
void TestTasto::nomeSenzaRisposta() {
    aiuti::scriviFile(dir_->filePath("resolv.conf"),
                      "nameserver 127.0.0.1\noptions timeout:20 attempts:1\n");
    scriviIni(server_->serverPort(), "41", {}, "ricevitore.example");
    QProcess p;
    p.start(DNS_MUTO, {dir_->filePath("resolv.conf"), PULSIERO_EXE, "--impostazioni", ini(),
                       "--tasto", "1"});
    QVERIFY2(p.waitForFinished(15000), "still waiting for the name server");
    const QByteArray errori = p.readAllStandardError();
    if (p.exitCode() == 125)
        QSKIP(errori.constData());
    QCOMPARE(QString::fromUtf8(errori), QString::fromUtf8(kNonInviato));
    QCOMPARE(p.exitCode(), 1);
    QCOMPARE(passoSalvato(), 42);
}

// The window speaks Italian through Qt's translation, the command line does not: a socket error
// reads the same in both. The kernel refuses a TCP connection to the broadcast address at once,
// without sending anything.
void TestTasto::erroreComeNellaFinestra() {
    scriviIni(server_->serverPort(), "41", {}, "255.255.255.255");
    const Esecuzione e = esegui({"--impostazioni", ini(), "--tasto", "1"});
    const QByteArray atteso = "Errore 10051 - Rete non raggiungibile\n" + kNonInviato;
    QCOMPARE(QString::fromUtf8(e.errori), QString::fromUtf8(atteso));

    pulsiero::preparaApplicazione(*qobject_cast<QApplication*>(qApp));
    AmbienteDiProva amb;
    amb.ambiente.percorsoIni = ini();
    pulsiero::Frm_Pulsiero finestra(amb.ambiente);
    finestra.impostaTrayDisponibile([] { return true; });
    finestra.Form_Load();
    finestra.trasmettitore().Img_Pulsante_Click(0);
    QVERIFY(aiuti::chiudiMessaggio("Errore di comunicazione",
                                   "Errore 10051 - Rete non raggiungibile", QMessageBox::Warning));
    QVERIFY(aiuti::chiudiMessaggio("Invio dati TCP/IP", QString::fromUtf8(kNonInviato).trimmed(),
                                   QMessageBox::Warning));
}

// The receiver's pairing lines pasted with their own [Pulsiero] header: the key in the second
// section is not read (as on Windows), and both the command line and the window say so, once.
void TestTasto::sezioneRipetuta() {
    scriviIni(server_->serverPort(), "41", "[Pulsiero]\nChiave=" + QByteArray(64, 'a') + "\n");
    const QString avviso = QStringLiteral(
        "Attenzione: il file di configurazione %1 contiene più volte la sezione [Pulsiero]: vale "
        "solo la prima, le altre sono ignorate.").arg(ini());
    const Esecuzione e = esegui({"--impostazioni", ini(), "--tasto", "1"});
    QCOMPARE(QString::fromUtf8(e.errori), avviso + "\n");
    QCOMPARE(e.stato, 0);
    QCOMPARE(trama(*server_).size(), 19); // a plain frame

    AmbienteDiProva amb;
    amb.ambiente.percorsoIni = ini();
    pulsiero::Frm_Pulsiero finestra(amb.ambiente);
    finestra.impostaTrayDisponibile([] { return true; });
    finestra.Form_Load();
    QVERIFY(aiuti::chiudiMessaggio("File di configurazione", avviso, QMessageBox::Warning));
    finestra.configurazione().CaricaConfigurazione(false);
    QVERIFY(aiuti::messaggioAperto() == nullptr);
}

// Started with no terminal (setsid), a failed press is told by a desktop notification; a
// delivered one stays silent.
void TestTasto::notificaSenzaTerminale() {
    QProcess demone;
    demone.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!demone.waitForStarted(5000) || !demone.waitForReadyRead(5000))
        QSKIP("dbus-daemon did not start");
    const QString indirizzo = QString::fromUtf8(demone.readLine()).trimmed();
    {
        QDBusConnection bus = QDBusConnection::connectToBus(indirizzo, "notifiche");
        Notifiche notifiche;
        QVERIFY(bus.registerObject("/org/freedesktop/Notifications", &notifiche,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService("org.freedesktop.Notifications"));
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("DBUS_SESSION_BUS_ADDRESS", indirizzo);
        for (const quint16 porta : {server_->serverPort(), portaChiusa()}) {
            scriviIni(porta);
            QProcess p;
            p.setProcessEnvironment(ambiente);
            p.start("setsid", {"--wait", PULSIERO_EXE, "--impostazioni", ini(), "--tasto", "2"});
            QVERIFY(QTest::qWaitFor([&p] { return p.state() == QProcess::NotRunning; }, 10000));
            QCOMPARE(p.exitCode(), porta == server_->serverPort() ? 0 : 1);
        }
        QCOMPARE(notifiche.ricevute,
                 QStringList{"Pulsiero: tasto 2 non inviato\n" + QString::fromUtf8(kRifiutata).trimmed()});
        bus.unregisterService("org.freedesktop.Notifications");
    }
    QDBusConnection::disconnectFromBus("notifiche");
    demone.kill();
    demone.waitForFinished();
}

QTEST_MAIN(TestTasto)
#include "tst_tasto.moc"
