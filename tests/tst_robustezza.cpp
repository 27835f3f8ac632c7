#include "protocol/CreaComando.h"
#include "settings/IniFile.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace pulsiero;

// The settings file under faults and odd contents: killed writers, huge and binary files.
class TestRobustezza : public QObject {
    Q_OBJECT
private slots:
    void uccisoAMetaScrittura();
    void fileGrandi_data();
    void fileGrandi();
};

// A copy pressing keys is killed at random moments: the file is always whole and the stored
// counter never goes backwards.
void TestRobustezza::uccisoAMetaScrittura() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    const std::string intestazione = "; non toccare\r\n[Server]\r\nIndirizzo=10.1.2.3\r\n";
    QVERIFY(ini::writeFileAtomically(path, intestazione));
    int precedente = 0;
    for (int round = 0; round < 25; ++round) {
        QProcess pressatore;
        pressatore.start(QStringLiteral(PRESSATORE), {QString::fromStdString(path), "1000000"});
        QVERIFY(pressatore.waitForStarted());
        QTest::qWait(QRandomGenerator::global()->bounded(5, 60));
        ::kill(static_cast<pid_t>(pressatore.processId()), SIGKILL);
        pressatore.waitForFinished();

        const auto contenuto = ini::readFile(path);
        QVERIFY(contenuto);
        QVERIFY(contenuto->rfind(intestazione, 0) == 0);
        const int passo = std::stoi(LeggiIni("Pulsiero", "Passo", "0", path));
        QVERIFY2(passo >= precedente,
                 qPrintable(QStringLiteral("%1 < %2").arg(passo).arg(precedente)));
        precedente = passo;
    }
    QVERIFY(precedente > 0);
    // The next write clears whatever temporary files the killed writers left behind.
    QVERIFY(ScriviIni("Pulsiero", "nome", "x", path));
    auto resto = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    resto.removeAll(".pulsiero.ini.lock");
    QCOMPARE(resto, QStringList{"pulsiero.ini"});
}

void TestRobustezza::fileGrandi_data() {
    QTest::addColumn<QByteArray>("contenuto");
    QByteArray mega;
    while (mega.size() < 1024 * 1024)
        mega += "[Sezione" + QByteArray::number(mega.size()) + "]\nchiave=valore lungo qualsiasi\n";
    QTest::newRow("1 MB") << mega + "[Pulsiero]\nPasso=41\n";
    QByteArray sezioni;
    for (int i = 0; i < 10000; ++i)
        sezioni += "[S" + QByteArray::number(i) + "]\nk=" + QByteArray::number(i) + "\n";
    QTest::newRow("10,000 sections") << sezioni + "[Pulsiero]\nPasso=41\n";
    QByteArray spazzatura(64 * 1024, '\0');
    for (char& c : spazzatura)
        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    QTest::newRow("binary garbage") << spazzatura + "\n[Pulsiero]\nPasso=41\n";
}

void TestRobustezza::fileGrandi() {
    QFETCH(QByteArray, contenuto);
    QTemporaryDir dir;
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    QVERIFY(ini::writeFileAtomically(path, contenuto.toStdString()));
    Impostazioni imp;
    imp.NumeroRicevitore = 1;
    imp.NumeroTrasmettitore = 1;
    QVERIFY(CreaComando(0, imp, path, Momento{630, 5}));
    QCOMPARE(LeggiIni("Pulsiero", "Passo", "", path), std::string("42"));
    // Everything that was there is still there, byte for byte.
    QByteArray atteso = contenuto;
    atteso.replace("Passo=41", "Passo=42");
    QCOMPARE(QByteArray::fromStdString(*ini::readFile(path)), atteso);
}

QTEST_GUILESS_MAIN(TestRobustezza)
#include "tst_robustezza.moc"
