#include "core/CreaComando.h"
#include "core/Frame.h"
#include "core/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <unistd.h>

using namespace pulsiero;

namespace {
Impostazioni impostazioni(std::int32_t ricevitore) {
    Impostazioni imp;
    imp.NumeroRicevitore = ricevitore;
    imp.NumeroTrasmettitore = 7;
    return imp;
}

void scrivi(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The file's bytes, "<folder>" for a folder.
QByteArray contenuto(const QString& path) {
    if (QFileInfo(path).isDir())
        return "<folder>";
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

Q_DECLARE_METATYPE(std::optional<std::int32_t>)

// The command frame, the step counter's rules, and CreaComando on a real settings file.
class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void costruzione_data();
    void costruzione();
    void sommaDiControllo_data();
    void sommaDiControllo();
    void passo_data();
    void passo();
    void esempio_data();
    void esempio();
    void contatoreNonSalvabile_data();
    void contatoreNonSalvabile();
    void dueTastiStessoMinuto();
};

void TestFrame::costruzione_data() {
    QTest::addColumn<int>("receiver");
    QTest::addColumn<int>("transmitter");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("random");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("frame");

    // Receiver 12345, transmitter 7 and key index 2 wherever a row is not about them: swapped or
    // mixed-up fields then show in the frame.
    QTest::newRow("worked example") << 1 << 1 << 0 << 630 << 5 << 1 << "FFFFE7E1F589AFFFFE8";
    QTest::newRow("second example")
        << 12345 << 7 << 2 << 1439 << 0 << 65535 << "FCFC6781D260FF00001";
    QTest::newRow("midnight") << 12345 << 7 << 2 << 0 << 9 << 1 << "FCFC6781D7FF6FFFFEC";
    QTest::newRow("key index 3") << 12345 << 7 << 3 << 600 << 9 << 1 << "FCFC6781C5A76FFFFED";
    QTest::newRow("transmitter 127: field 0")
        << 12345 << 127 << 2 << 600 << 9 << 1 << "FCFC601D5A76FFFFE4";
    QTest::newRow("transmitter 383: field of 3 digits")
        << 12345 << 383 << 2 << 600 << 9 << 1 << "FCFC61001D5A76FFFFE4";
    QTest::newRow("receiver 1048575: field 0")
        << 1048575 << 7 << 2 << 600 << 9 << 1 << "0781D5A76FFFFE2";
    QTest::newRow("step 0") << 12345 << 7 << 2 << 600 << 9 << 0 << "FCFC6781D5A76FFFFFB";
    QTest::newRow("step 65535") << 12345 << 7 << 2 << 600 << 9 << 65535 << "FCFC6781D5A76F0000A";
    QTest::newRow("negative step") << 12345 << 7 << 2 << 600 << 9 << -2 << "FCFC6781D5A76FFF000019";
    QTest::newRow("random 15") << 12345 << 7 << 2 << 600 << 15 << 1 << "FCFC6781D5A70FFFFE2";
    QTest::newRow("negative receiver") << -1 << 7 << 2 << 600 << 9 << 1 << "FFF00000781D5A76FFFFE2";
}

void TestFrame::costruzione() {
    QFETCH(int, receiver);
    QFETCH(int, transmitter);
    QFETCH(int, key);
    QFETCH(int, minute);
    QFETCH(int, random);
    QFETCH(int, step);
    QFETCH(QString, frame);
    const auto built = frame::build({receiver, transmitter, static_cast<std::int16_t>(key),
                                     static_cast<std::int16_t>(minute), random, step});
    QVERIFY(built);
    QCOMPARE(QString::fromStdString(*built), frame);
}

// receiver + transmitter + key + step + random, added left to right in 32 bits: an overflow at any
// step fails the frame, even when the later terms would bring the total back into range.
void TestFrame::sommaDiControllo_data() {
    QTest::addColumn<int>("receiver");
    QTest::addColumn<int>("transmitter");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("random");
    QTest::addColumn<QString>("check"); // "<fail>" when no frame

    QTest::newRow("total exactly INT32_MAX") << 2147483638 << 7 << 2 << 0 << 0 << "F";
    QTest::newRow("total one past INT32_MAX") << 2147483638 << 7 << 2 << 0 << 1 << "<fail>";
    QTest::newRow("partial sum exactly INT32_MAX") << 2147483640 << 7 << 0 << -5 << 3 << "D";
    QTest::newRow("partial sum one past, total in range")
        << 2147483641 << 7 << 2 << -30 << 0 << "<fail>";
    QTest::newRow("partial sum past INT32_MAX at the last term")
        << 2147483600 << 7 << 2 << 38 << 1 << "<fail>";
    QTest::newRow("total exactly INT32_MIN") << -2147483641 << -7 << 0 << 0 << 0 << "0";
    QTest::newRow("partial sum one below INT32_MIN, total in range")
        << -2147483641 << -8 << 0 << 20 << 0 << "<fail>";
}

void TestFrame::sommaDiControllo() {
    QFETCH(int, receiver);
    QFETCH(int, transmitter);
    QFETCH(int, key);
    QFETCH(int, step);
    QFETCH(int, random);
    QFETCH(QString, check);
    const auto built =
        frame::build({receiver, transmitter, static_cast<std::int16_t>(key), 0, random, step});
    QCOMPARE(built ? QString::fromStdString(built->substr(built->size() - 1))
                   : QStringLiteral("<fail>"),
             check);
}

void TestFrame::passo_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<std::optional<std::int32_t>>("step");
    using R = std::optional<std::int32_t>;
    QTest::newRow("zero") << "0" << R(1);
    QTest::newRow("empty") << "" << R(1);
    QTest::newRow("not a number") << "abc" << R(1);
    QTest::newRow("blanks") << " 7 " << R(8);
    QTest::newRow("half to even") << "2.5" << R(4);
    QTest::newRow("65534: step 65535, no wrap") << "65534" << R(65535);
    QTest::newRow("65535: step 65536 wraps to 1") << "65535" << R(1);
    QTest::newRow("larger wraps") << "2147483646" << R(1);
    QTest::newRow("negative") << "-3" << R(-2);
    QTest::newRow("minus one") << "-1" << R(0);
    QTest::newRow("overflow") << "2147483647" << R();
}

void TestFrame::passo() {
    QFETCH(QString, stored);
    QFETCH(std::optional<std::int32_t>, step);
    QCOMPARE(frame::nextStep(stored.toStdString()), step);
}

// CreaComando on a real file: receiver 12345, transmitter 7, key index 2, 23:59, random 0.
void TestFrame::esempio_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("no file") << QByteArray() << "FCFC6781D260FFFFFE3"
                             << QByteArray("[Pulsiero]\nPasso=1\n");
    QTest::newRow("stored 65534") << QByteArray("[Pulsiero]\r\nPasso=65534\r\n")
                                  << "FCFC6781D260FF00001"
                                  << QByteArray("[Pulsiero]\r\nPasso=65535\r\n");
    QTest::newRow("stored 65535 wraps")
        << QByteArray("[Pulsiero]\nPasso=65535\n") << "FCFC6781D260FFFFFE3"
        << QByteArray("[Pulsiero]\nPasso=1\n");
    QTest::newRow("stored -3") << QByteArray("[Pulsiero]\nPasso=-3\n") << "FCFC6781D260FFFF000010"
                               << QByteArray("[Pulsiero]\nPasso=-2\n");
}

void TestFrame::esempio() {
    QFETCH(QByteArray, before);
    QFETCH(QString, frame);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath("pulsiero.ini");
    if (!before.isEmpty())
        scrivi(path, before);
    const auto comando = CreaComando(2, impostazioni(12345), path.toStdString(), Momento{1439, 0});
    QCOMPARE(QString::fromStdString(comando.value_or("<none>")), frame);
    QCOMPARE(contenuto(path), after);
}

// Whatever keeps the counter from advancing or from being stored, nothing may be sent and the
// file stays exactly as it was.
void TestFrame::contatoreNonSalvabile_data() {
    QTest::addColumn<QByteArray>("before"); // "<folder>": a folder in place of the file
    QTest::addColumn<int>("receiver");
    QTest::addColumn<bool>("lockLink"); // the lock file's name taken by a dangling link

    const QByteArray passo10 = "[Pulsiero]\nPasso=10\n";
    QTest::newRow("stored 2147483647: next step beyond 32 bits")
        << QByteArray("[Pulsiero]\nPasso=2147483647\n") << 12345 << false;
    QTest::newRow("check sum beyond 32 bits") << passo10 << 2147483647 << false;
    QTest::newRow("a folder in place of the file") << QByteArray("<folder>") << 12345 << false;
    QTest::newRow("lock not taken: dangling link") << passo10 << 12345 << true;
}

void TestFrame::contatoreNonSalvabile() {
    QFETCH(QByteArray, before);
    QFETCH(int, receiver);
    QFETCH(bool, lockLink);
    QTemporaryDir dir;
    const QString path = dir.filePath("pulsiero.ini");
    if (before == "<folder>")
        QVERIFY(QDir().mkdir(path));
    else
        scrivi(path, before);
    if (lockLink)
        QCOMPARE(::symlink("nowhere", QFile::encodeName(dir.filePath(".pulsiero.ini.lock"))), 0);
    QVERIFY(!CreaComando(2, impostazioni(receiver), path.toStdString(), Momento{1439, 0}));
    QCOMPARE(contenuto(path), before);
}

void TestFrame::dueTastiStessoMinuto() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    const auto first = CreaComando(1, impostazioni(12345), path, Momento{600, 3});
    const auto second = CreaComando(1, impostazioni(12345), path, Momento{600, 3});
    QCOMPARE(QString::fromStdString(first.value_or("<none>")),
             QStringLiteral("FCFC6781E5A7CFFFFE5"));
    QCOMPARE(QString::fromStdString(second.value_or("<none>")),
             QStringLiteral("FCFC6781E5A7CFFFFD6"));
}

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
