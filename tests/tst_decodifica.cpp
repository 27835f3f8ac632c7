#include "protocol/CodiceVariabile.h"
#include "protocol/Decodifica.h"
#include "protocol/Frame.h"

#include <QTest>

#include <random>

using namespace pulsiero;

// The receiver's side of the frame: decoding, and the rolling-code decision.
class TestDecodifica : public QObject {
    Q_OBJECT
private slots:
    void decodifica_data();
    void decodifica();
    void andataERitorno();
    void codiceVariabile_data();
    void codiceVariabile();
    void distanza();
    void statoSerializzato();
};

void TestDecodifica::decodifica_data() {
    QTest::addColumn<int>("receiver");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("expected"); // "tx key minute random step" or the refusal

    QTest::newRow("worked example") << 1 << "FFFFE7E1F589AFFFFE8"
                                    << "1 0 630 5 1";
    QTest::newRow("second example") << 12345 << "FCFC6781D260FF00001"
                                    << "7 2 1439 0 65535";
    QTest::newRow("receiver 1048575") << 1048575 << "07E1F7FFFFFFFE1"
                                      << "1 0 0 0 1";
    QTest::newRow("transmitter 127") << 1 << "FFFFE01F7FFFFFFFE1"
                                     << "127 0 0 0 1";
    QTest::newRow("transmitter 128") << 1 << "FFFFEFF1F7FFFFFFFE2"
                                     << "128 0 0 0 1";
    QTest::newRow("lower case") << 1 << "ffffe7e1f589affffe8"
                                << "trama non valida";
    QTest::newRow("empty") << 1 << ""
                           << "trama non valida";
    QTest::newRow("too short") << 1 << "FFFFE1F589AFFFFE8"
                               << "trama non valida";
    QTest::newRow("too long") << 1 << "FFFFE7E7E1F589AFFFFE8"
                              << "trama non valida";
    QTest::newRow("padded transmitter") << 1 << "FFFFE071F7FFFFFFFE1"
                                        << "trama non valida";
    QTest::newRow("line end") << 1 << "FFFFE7E1F589AFFFFE8\n"
                              << "trama non valida";
    QTest::newRow("other receiver") << 2 << "FFFFE7E1F589AFFFFE8"
                                    << "ricevitore errato";
    QTest::newRow("bad check") << 1 << "FFFFE7E1F589AFFFFE9"
                               << "cifra di controllo errata";
    QTest::newRow("key 4") << 1 << "FFFFE7E1B589AFFFFEC"
                           << "campo fuori intervallo";
    QTest::newRow("step 0") << 1 << "FFFFE7E1F589AFFFFF7"
                            << "campo fuori intervallo";
    QTest::newRow("minute 1440") << 1 << "FFFFE7E1F25FAFFFFE8"
                                 << "campo fuori intervallo";
}

void TestDecodifica::decodifica() {
    QFETCH(int, receiver);
    QFETCH(QString, frame);
    QFETCH(QString, expected);
    const auto result = frame::decode(frame.toStdString(), receiver);
    QString actual;
    if (const auto* d = std::get_if<frame::Decoded>(&result))
        actual = QStringLiteral("%1 %2 %3 %4 %5")
                     .arg(d->transmitter)
                     .arg(d->key)
                     .arg(d->minuteOfDay)
                     .arg(d->random)
                     .arg(d->step);
    else
        actual =
            QString::fromStdString(std::string(frame::describe(std::get<frame::Refusal>(result))));
    QCOMPARE(actual, expected);
}

// Every frame the program can send for a receiver decodes back to its fields.
void TestDecodifica::andataERitorno() {
    std::mt19937 rng(12345);
    const auto uniform = [&rng](int lo, int hi) {
        return std::uniform_int_distribution(lo, hi)(rng);
    };
    for (const int receiver : {1, 2, 983039, 983040, 1048574, 1048575}) {
        for (int i = 0; i < 2000; ++i) {
            const frame::Fields f{receiver,
                                  uniform(1, 128),
                                  static_cast<std::int16_t>(uniform(0, 3)),
                                  static_cast<std::int16_t>(uniform(0, 1439)),
                                  uniform(0, 15),
                                  uniform(1, 65535)};
            const auto built = frame::build(f);
            QVERIFY(built);
            const auto decoded = frame::decode(*built, receiver);
            const auto* d = std::get_if<frame::Decoded>(&decoded);
            QVERIFY2(d, built->c_str());
            QCOMPARE(d->transmitter, f.transmitter);
            QCOMPARE(d->key, int{f.key});
            QCOMPARE(d->minuteOfDay, int{f.minuteOfDay});
            QCOMPARE(d->random, f.random);
            QCOMPARE(d->step, f.step);
        }
    }
}

void TestDecodifica::codiceVariabile_data() {
    // Each event: "step" at second 0, or "step@seconds"; the verdicts expected in order.
    QTest::addColumn<int>("stored"); // 0: no state for the transmitter
    QTest::addColumn<bool>("learning");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("verdicts");
    const QString ok = "accettato";
    const QString replay = "ripetizione rifiutata";
    const QString pending = "fuori finestra, risincronizzazione in attesa";
    const QString resync = "accettato (risincronizzato)";
    QTest::newRow("next step") << 10 << false << QStringList{"11"} << QStringList{ok};
    QTest::newRow("window edge") << 10 << false << QStringList{"26", "27"} << QStringList{ok, ok};
    QTest::newRow("same step is a replay")
        << 10 << false << QStringList{"10"} << QStringList{replay};
    QTest::newRow("behind is a replay")
        << 10 << false << QStringList{"9", "3"} << QStringList{replay, replay};
    QTest::newRow("wraps 65535 to 1")
        << 65535 << false << QStringList{"1", "2"} << QStringList{ok, ok};
    QTest::newRow("wrap inside window") << 65530 << false << QStringList{"5"} << QStringList{ok};
    QTest::newRow("beyond window needs two")
        << 10 << false << QStringList{"100", "101", "102"} << QStringList{pending, resync, ok};
    QTest::newRow("resync pair too slow")
        << 10 << false << QStringList{"100@0", "101@31"} << QStringList{pending, pending};
    QTest::newRow("resync pair not consecutive")
        << 10 << false << QStringList{"100", "102"} << QStringList{pending, pending};
    QTest::newRow("half cycle behind is a replay")
        << 40000 << false << QStringList{"20000"} << QStringList{replay};
    QTest::newRow("unknown without learning")
        << 0 << false << QStringList{"5"} << QStringList{"pulsiero sconosciuto"};
    QTest::newRow("learning takes any step")
        << 0 << true << QStringList{"500", "3"} << QStringList{ok, ok};
}

void TestDecodifica::codiceVariabile() {
    QFETCH(int, stored);
    QFETCH(bool, learning);
    QFETCH(QStringList, events);
    QFETCH(QStringList, verdicts);
    rolling::Policy policy;
    policy.learning = learning;
    rolling::Tracker tracker(policy);
    if (stored)
        tracker.load({{1, stored}});
    QStringList actual;
    for (const QString& e : events) {
        const int step = e.section('@', 0, 0).toInt();
        const int seconds = e.section('@', 1, 1).toInt();
        actual << QString::fromStdString(
            std::string(rolling::describe(tracker.evaluate(1, step, 600, 600, seconds).verdict)));
    }
    QCOMPARE(actual, verdicts);
}

void TestDecodifica::distanza() {
    QCOMPARE(rolling::Tracker::distance(65535, 1), 1);
    QCOMPARE(rolling::Tracker::distance(1, 65535), 65534);
    QCOMPARE(rolling::Tracker::distance(7, 7), 0);
    rolling::Policy policy;
    rolling::Tracker tracker(policy);
    tracker.load({{1, 10}});
    // The minute is checked on the day's cycle: 23:58 against 00:02 is four minutes.
    QVERIFY(rolling::accepted(tracker.evaluate(1, 11, 1438, 2, 0).verdict));
    QCOMPARE(tracker.evaluate(1, 12, 600, 606, 0).verdict, rolling::Verdict::StaleMinute);
    QCOMPARE(tracker.steps().at(1), 11);
    tracker.policy().toleranceMinutes.reset();
    QVERIFY(rolling::accepted(tracker.evaluate(1, 12, 600, 900, 0).verdict));
    tracker.policy().enrolled = {2};
    QCOMPARE(tracker.evaluate(1, 13, 600, 600, 0).verdict, rolling::Verdict::UnknownTransmitter);
}

void TestDecodifica::statoSerializzato() {
    rolling::Tracker tracker(rolling::Policy{});
    tracker.load({{1, 10}, {128, 65535}});
    QCOMPARE(rolling::Tracker::parse(tracker.serialize()), tracker.steps());
    QCOMPARE(rolling::Tracker::parse("x\n1 0\n200 5\n3 70000\n 4   9 \n").size(), std::size_t{1});
}

QTEST_GUILESS_MAIN(TestDecodifica)
#include "tst_decodifica.moc"
