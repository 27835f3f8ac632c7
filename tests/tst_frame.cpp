#include "protocol/CreaComando.h"
#include "protocol/Frame.h"
#include "settings/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace pulsiero;

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
    void contatoreNonAvanzabile();
    void fileNonScrivibile();
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

    QTest::newRow("worked example") << 1 << 1 << 0 << 630 << 5 << 1 << "FFFFE7E1F589AFFFFE8";
    QTest::newRow("second example")
        << 12345 << 7 << 2 << 1439 << 0 << 65535 << "FCFC6781D260FF00001";
    QTest::newRow("midnight") << 1 << 1 << 0 << 0 << 0 << 1 << "FFFFE7E1F7FFFFFFFE3";
    QTest::newRow("keys 1 to 4 (index 3)") << 1 << 1 << 3 << 0 << 0 << 1 << "FFFFE7E1C7FFFFFFFE6";
    QTest::newRow("transmitter 127") << 1 << 127 << 0 << 0 << 0 << 1 << "FFFFE01F7FFFFFFFE1";
    QTest::newRow("transmitter 128") << 1 << 128 << 0 << 0 << 0 << 1 << "FFFFEFF1F7FFFFFFFE2";
    QTest::newRow("receiver 1048575") << 1048575 << 1 << 0 << 0 << 0 << 1 << "07E1F7FFFFFFFE1";
    QTest::newRow("step 0") << 1 << 1 << 0 << 0 << 0 << 0 << "FFFFE7E1F7FFFFFFFF2";
    QTest::newRow("negative step") << 1 << 1 << 0 << 0 << 0 << -2 << "FFFFE7E1F7FFFFFF000010";
    QTest::newRow("random 15") << 1 << 1 << 0 << 0 << 15 << 1 << "FFFFE7E1F7FF0FFFFE2";
    QTest::newRow("negative receiver") << -1 << 1 << 0 << 0 << 0 << 1 << "FFF000007E1F7FFFFFFFE1";
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
    QTest::newRow("last step wraps to 1") << "65534" << R(65535);
    QTest::newRow("65535 wraps") << "65535" << R(1);
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

void TestFrame::esempio_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("no file") << QByteArray() << "FFFFE7E1F589AFFFFE8"
                             << QByteArray("[Pulsiero]\nPasso=1\n");
    QTest::newRow("stored 0") << QByteArray("[Pulsiero]\r\nPasso=0\r\n") << "FFFFE7E1F589AFFFFE8"
                              << QByteArray("[Pulsiero]\r\nPasso=1\r\n");
    QTest::newRow("stored 65535") << QByteArray("[Pulsiero]\nPasso=65535\n")
                                  << "FFFFE7E1F589AFFFFE8" << QByteArray("[Pulsiero]\nPasso=1\n");
    QTest::newRow("stored -3") << QByteArray("[Pulsiero]\nPasso=-3\n") << "FFFFE7E1F589AFFF000015"
                               << QByteArray("[Pulsiero]\nPasso=-2\n");
}

void TestFrame::esempio() {
    QFETCH(QByteArray, before);
    QFETCH(QString, frame);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath("pulsiero.ini");
    if (!before.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(before);
    }
    Impostazioni imp;
    imp.NumeroRicevitore = 1;
    imp.NumeroTrasmettitore = 1;
    const auto comando = CreaComando(0, imp, path.toStdString(), Momento{630, 5});
    QVERIFY(comando);
    QCOMPARE(QString::fromStdString(*comando), frame);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), after);
}

void TestFrame::contatoreNonAvanzabile() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    QVERIFY(ScriviIni("Pulsiero", "Passo", "2147483647", path));
    Impostazioni imp;
    for (int press = 0; press < 2; ++press) {
        QVERIFY(!CreaComando(0, imp, path, Momento{}));
        QCOMPARE(LeggiIni("Pulsiero", "Passo", "", path), std::string("2147483647"));
    }
    // A check sum that overflows sends nothing and leaves the counter alone too.
    QVERIFY(ScriviIni("Pulsiero", "Passo", "10", path));
    imp.NumeroRicevitore = 2147483647;
    QVERIFY(!CreaComando(0, imp, path, Momento{}));
    QCOMPARE(LeggiIni("Pulsiero", "Passo", "", path), std::string("10"));
}

void TestFrame::fileNonScrivibile() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("missing-folder/pulsiero.ini").toStdString();
    QVERIFY(!CreaComando(0, Impostazioni{}, path, Momento{}));
}

void TestFrame::dueTastiStessoMinuto() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    Impostazioni imp;
    imp.NumeroRicevitore = 1;
    imp.NumeroTrasmettitore = 1;
    const auto first = CreaComando(1, imp, path, Momento{600, 3});
    const auto second = CreaComando(1, imp, path, Momento{600, 3});
    QVERIFY(first && second);
    QCOMPARE(QString::fromStdString(first->substr(13, 5)), QStringLiteral("FFFFE"));
    QCOMPARE(QString::fromStdString(second->substr(13, 5)), QStringLiteral("FFFFD"));
}

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
