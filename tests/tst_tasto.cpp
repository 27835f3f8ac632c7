// The command line of the real program: one key press with --tasto against a receiver on
// 127.0.0.1, its exit statuses and messages, and presses shared with a window on one file.
#include "Aiuti.h"
#include "Ambienti.h"
#include "Ricezione.h"
#include "core/Decodifica.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Esecuzione {
    int stato = -1;
    QByteArray uscita;
    QByteArray errori;
};

// Runs the program, as the user nobody when the test runs as root and asked to.
Esecuzione esegui(const QStringList& argomenti, bool comeNobody = false,
                  QString programma = QStringLiteral(PULSIERO_EXE)) {
    QStringList tutti = argomenti;
    if (comeNobody && ::geteuid() == 0) {
        tutti = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", programma} + tutti;
        programma = QStringLiteral("setpriv");
    }
    QProcess p;
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
const QByteArray kPortaNonValida = "Attenzione il comando non è stato inviato a causa di un "
                                   "problema di connessione.\n";

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

private:
    void scriviIni(quint16 porta, const QByteArray& passo = "41");
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

void TestTasto::scriviIni(quint16 porta, const QByteArray& passo) {
    aiuti::scriviFile(ini(), "[Server]\nIndirizzo=127.0.0.1\nPorta=" + QByteArray::number(porta) +
                                 "\n[Pulsiero]\nID_Dis=12345\nID_Pul=7\nPasso=" + passo + "\n");
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
    QTest::newRow("port 0") << "0" << 3 << 2 << kPortaNonValida << 42;
}

void TestTasto::statoDiUscita() {
    QFETCH(QString, porta);
    QFETCH(int, tasto);
    QFETCH(int, stato);
    QFETCH(QByteArray, errori);
    QFETCH(int, passo);
    scriviIni(porta == "ascolto"  ? server_->serverPort()
              : porta == "chiusa" ? portaChiusa()
                                  : porta.toUShort());

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

void TestTasto::opzioni_data() {
    QTest::addColumn<QStringList>("argomenti");
    QTest::addColumn<int>("stato");
    QTest::addColumn<QString>("inizioUscita");
    QTest::addColumn<QString>("errori");
    const QString uso = QStringLiteral("pulsiero: %1\nUsare --help per l'elenco delle opzioni.\n");
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "Uso: pulsiero [OPZIONI]\n"
                            << "";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << "Uso: pulsiero [OPZIONI]\n"
                        << "";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "pulsiero 1.0.0\n"
                               << "";
    QTest::newRow("unknown option")
        << QStringList{"--tastiera"} << 2 << "" << uso.arg("opzione sconosciuta: --tastiera");
    QTest::newRow("key 0") << QStringList{"--tasto", "0"} << 2 << ""
                           << uso.arg("--tasto vuole un numero da 1 a 4, non «0»");
    QTest::newRow("key 5") << QStringList{"-t", "5"} << 2 << ""
                           << uso.arg("--tasto vuole un numero da 1 a 4, non «5»");
    QTest::newRow("key without number")
        << QStringList{"--tasto"} << 2 << "" << uso.arg("manca il valore di --tasto");
    // Qt's own options reach the window's application object, which reads the rest again.
    QTest::newRow("Qt option and a stray argument")
        << QStringList{"-platform", "offscreen", "tre"} << 2 << ""
        << uso.arg("argomento inatteso: tre");
    QTest::newRow("stray argument")
        << QStringList{"--tasto", "1", "2"} << 2 << "" << uso.arg("argomento inatteso: 2");
}

void TestTasto::opzioni() {
    QFETCH(QStringList, argomenti);
    QFETCH(int, stato);
    QFETCH(QString, inizioUscita);
    QFETCH(QString, errori);
    const Esecuzione e = esegui(QStringList{"--impostazioni", ini()} + argomenti);
    QCOMPARE(QString::fromUtf8(e.errori), errori);
    QCOMPARE(e.stato, stato);
    QVERIFY2(e.uscita.startsWith(inizioUscita.toUtf8()), e.uscita.constData());
    if (argomenti.first() == "--help")
        QVERIFY(e.uscita.contains("File delle impostazioni: " + QFile::encodeName(ini()) + "\n"));
    QVERIFY(!QFile::exists(ini())); // nothing pressed, nothing written
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
            QVERIFY2(std::holds_alternative<pulsiero::frame::Decoded>(d), t.constData());
            passi << std::get<pulsiero::frame::Decoded>(d).step;
        }
    }
    QCOMPARE(passi, (QList<int>{301, 302, 303, 304}));
    QCOMPARE(passoSalvato(), 304);
    QVERIFY(aiuti::messaggioAperto() == nullptr);
}

QTEST_MAIN(TestTasto)
#include "tst_tasto.moc"
