#include "UtenteComune.h"

#include "core/CreaComando.h"
#include "core/Frame.h"
#include "core/IniFile.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace pulsiero;

// The settings file under faults and odd contents: killed writers, huge and binary files.
class TestRobustezza : public QObject {
    Q_OBJECT
private slots:
    void uccisoAMetaScrittura();
    void fileGrandi_data();
    void fileGrandi();
    void limiteDimensioneRicevitore();
    void limiteDimensioneProgramma();
};

namespace {

// The child starts with the default disposition of SIGXFSZ and a file-size limit of byte bytes,
// so only the program's own start-up code decides what a write beyond it does.
void conLimiteDiDimensione(QProcess& processo, rlim_t byte) {
    processo.setChildProcessModifier([byte] {
        std::signal(SIGXFSZ, SIG_DFL);
        struct rlimit limite {};
        getrlimit(RLIMIT_FSIZE, &limite);
        limite.rlim_cur = byte;
        setrlimit(RLIMIT_FSIZE, &limite);
    });
}

// The seed of this run's random choices, printed with every failure they could cause; set
// PULSIERO_SEME to run with a given one.
quint32 seme() {
    bool given = false;
    const quint32 value = qEnvironmentVariable("PULSIERO_SEME").toUInt(&given);
    static const quint32 seed = given ? value : QRandomGenerator::system()->generate();
    return seed;
}

// Fails unless the process is still running: a signal would have ended it.
bool ancoraInVita(QProcess& processo) {
    return processo.state() == QProcess::Running && !processo.waitForFinished(300);
}

} // namespace

// A copy pressing keys is killed at random moments: the file is always whole and the stored
// counter never goes backwards.
void TestRobustezza::uccisoAMetaScrittura() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    const std::string intestazione = "; non toccare\r\n[Server]\r\nIndirizzo=10.1.2.3\r\n";
    QVERIFY(file::sostituisci(path, intestazione));
    QRandomGenerator casuale(seme());
    int precedente = 0;
    for (int round = 0; round < 25; ++round) {
        QProcess pressatore;
        pressatore.start(QStringLiteral(PRESSATORE), {QString::fromStdString(path), "1000000"});
        QVERIFY(pressatore.waitForStarted());
        const int attesa = casuale.bounded(5, 60);
        QTest::qWait(attesa);
        ::kill(static_cast<pid_t>(pressatore.processId()), SIGKILL);
        pressatore.waitForFinished();

        const auto contenuto = file::leggiTutto(path, file::kLimiteImpostazioni);
        const int passo = std::stoi(LeggiIni("Pulsiero", "Passo", "0", path));
        QVERIFY2(contenuto && contenuto->rfind(intestazione, 0) == 0 && passo >= precedente,
                 qPrintable(QStringLiteral("seme %1, giro %2 (%3 ms): passo %4 dopo %5")
                                .arg(seme())
                                .arg(round)
                                .arg(attesa)
                                .arg(passo)
                                .arg(precedente)));
        precedente = passo;
    }
    QVERIFY(precedente > 0);
    // A writer killed between naming its new file and renaming it over the old one leaves that
    // temporary behind: the next write removes it, so only the file and its lock remain.
    QVERIFY(ScriviIni("Pulsiero", "nome", "x", path));
    auto resto = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    resto.removeAll(".pulsiero.ini.lock");
    QCOMPARE(resto, QStringList{"pulsiero.ini"});
}

void TestRobustezza::fileGrandi_data() {
    QTest::addColumn<QByteArray>("contenuto");
    QByteArray mega;
    while (mega.size() < 1024 * 1024 - 100)
        mega += "[Sezione" + QByteArray::number(mega.size()) + "]\nchiave=valore lungo qualsiasi\n";
    QTest::newRow("just under 1 MiB") << mega + "[Pulsiero]\nPasso=41\n";
    QByteArray sezioni;
    for (int i = 0; i < 10000; ++i)
        sezioni += "[S" + QByteArray::number(i) + "]\nk=" + QByteArray::number(i) + "\n";
    QTest::newRow("10,000 sections") << sezioni + "[Pulsiero]\nPasso=41\n";
    QByteArray spazzatura(64 * 1024, '\0');
    QRandomGenerator casuale(seme());
    for (char& c : spazzatura)
        c = static_cast<char>(casuale.bounded(256));
    QTest::newRow(qPrintable(QStringLiteral("binary garbage, seme %1").arg(seme())))
        << spazzatura + "\n[Pulsiero]\nPasso=41\n";
}

void TestRobustezza::fileGrandi() {
    QFETCH(QByteArray, contenuto);
    QTemporaryDir dir;
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    QVERIFY(file::sostituisci(path, contenuto.toStdString()));
    Impostazioni imp;
    imp.NumeroRicevitore = 1;
    imp.NumeroTrasmettitore = 1;
    QVERIFY(CreaComando(0, imp, path, Momento{630, 5}));
    QCOMPARE(LeggiIni("Pulsiero", "Passo", "", path), std::string("42"));
    // Everything that was there is still there, byte for byte.
    QByteArray atteso = contenuto;
    atteso.replace("Passo=41", "Passo=42");
    QCOMPARE(QByteArray::fromStdString(*file::leggiTutto(path, file::kLimiteImpostazioni)), atteso);
}

// The receiver saves its state on every accepted frame: beyond the limit the save fails and is
// reported on the frame's line, and the receiver goes on.
void TestRobustezza::limiteDimensioneRicevitore() {
    QTemporaryDir dir;
    const QString stato = dir.filePath("stato");
    QProcess ricevitore;
    // The empty state written at start-up takes 47 bytes; one transmitter's line does not fit.
    conLimiteDiDimensione(ricevitore, 48);
    ricevitore.start(QStringLiteral(RICEVITORE),
                     {"--porta", "0", "--ricevitore", "12345", "--stato", stato, "--tolleranza",
                      "no", "--apprendimento"});
    QVERIFY(ricevitore.waitForStarted());
    QByteArray avvio;
    const QRegularExpression porta(QStringLiteral("127\\.0\\.0\\.1 porta (\\d+)"));
    QRegularExpressionMatch trovata;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     avvio += ricevitore.readAllStandardError();
                     trovata = porta.match(QString::fromUtf8(avvio));
                     return trovata.hasMatch();
                 },
                 5000),
             avvio.constData());

    // Learning takes two consecutive steps; the second is accepted and its save fails.
    QByteArray righe;
    for (const std::int32_t passo : {5, 6}) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, trovata.captured(1).toUShort());
        QVERIFY(socket.waitForConnected(3000));
        socket.write(QByteArray::fromStdString(*frame::build({12345, 7, 2, 600, 3, passo})));
        socket.disconnectFromHost();
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         righe += ricevitore.readAllStandardOutput();
                         return righe.count('\n') == passo - 4 ||
                                ricevitore.state() != QProcess::Running;
                     },
                     5000),
                 avvio.constData());
    }
    QVERIFY2(righe.split('\n').value(1).contains("stato non salvato"), righe.constData());
    QVERIFY(ancoraInVita(ricevitore));
    ricevitore.terminate();
    QVERIFY(ricevitore.waitForFinished(5000));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"stato"}); // no temporary
}

// At start-up the program makes the user's settings file a copy of the administrator's, read-only
// one beside the executable; beyond the limit the copy fails cleanly and the program goes on.
void TestRobustezza::limiteDimensioneProgramma() {
    QTemporaryDir dir;
    utente::apriATutti(dir.path());
    QDir cartella(dir.path());
    for (const char* nome : {"bin", "config", "casa", "run"})
        QVERIFY(cartella.mkdir(QString::fromLatin1(nome)));
    for (const char* nome : {"config", "casa"})
        utente::apriATutti(dir.filePath(QString::fromLatin1(nome)));
    ::chmod(QFile::encodeName(dir.filePath("run")).constData(), 0700);
    utente::cediAllUtente(dir.filePath("run"));
    const QString ini = dir.filePath("bin/pulsiero.ini");
    QVERIFY(file::sostituisci(ini.toStdString(),
                              "[Server]\nPorta=2000\n;" + std::string(4000, 'x') + "\n"));
    ::chmod(QFile::encodeName(ini).constData(), 0444);

    QProcess programma;
    auto ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert("QT_QPA_PLATFORM", "offscreen");
    ambiente.insert("HOME", dir.filePath("casa"));
    ambiente.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    ambiente.insert("XDG_RUNTIME_DIR", dir.filePath("run"));
    programma.setProcessEnvironment(ambiente);
    conLimiteDiDimensione(programma, 1024);
    if (!utente::daRoot())
        ::chmod(QFile::encodeName(dir.filePath("bin")).constData(), 0555);
    utente::avvia(programma, QStringLiteral(PULSIERO), {}, dir.filePath("bin"));
    QVERIFY(programma.waitForStarted());

    // The user's folder is made just before the copy.
    QVERIFY(QTest::qWaitFor([&] { return cartella.exists("config/pulsiero"); }, 10000));
    QTest::qWait(500);
    QVERIFY2(ancoraInVita(programma), programma.readAllStandardError().constData());
    programma.kill();
    programma.waitForFinished(3000);
    ::chmod(QFile::encodeName(dir.filePath("bin")).constData(), 0755);
    QCOMPARE(QDir(dir.filePath("config/pulsiero")).entryList(QDir::Files | QDir::Hidden),
             QStringList());
}

QTEST_GUILESS_MAIN(TestRobustezza)
#include "tst_robustezza.moc"
