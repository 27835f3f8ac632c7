#include "core/CodiceVariabile.h"
#include "core/Decodifica.h"
#include "core/Frame.h"

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
    void filtri_data();
    void filtri();
    void contatoreLargo();
    void statoSuDisco_data();
    void statoSuDisco();
    void statoScritto();
    void apprendimentoLimitato_data();
    void apprendimentoLimitato();
    void statoConChiavi();
    void ogniTroncamentoRifiutato();
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
    QTest::newRow("step 65536") << 12345 << "FCFC6781D5A7CEFFFF5"
                                << "campo fuori intervallo";
    QTest::newRow("transmitter 0") << 12345 << "FCFC67F1D5A7CFFE0A3"
                                   << "campo fuori intervallo";
    QTest::newRow("transmitter 129") << 12345 << "FCFC6FE1D5A7CFFE0A4"
                                     << "campo fuori intervallo";
    QTest::newRow("G is no hex digit") << 12345 << "FCFC6781D5A7GFFE0AA"
                                       << "trama non valida";
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
    const unsigned seed = 12345;
    std::mt19937 rng(seed);
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
            const bool same = d && d->transmitter == f.transmitter && d->key == f.key &&
                              d->minuteOfDay == f.minuteOfDay && d->random == f.random &&
                              d->step == f.step;
            QVERIFY2(same, qPrintable(QStringLiteral("seed %1, frame %2 of receiver %3")
                                          .arg(seed)
                                          .arg(QString::fromStdString(*built))
                                          .arg(receiver)));
        }
    }
}

void TestDecodifica::codiceVariabile_data() {
    // Transmitter 7. Each event: "step" at second 0, or "step@seconds"; verdicts in order.
    QTest::addColumn<int>("stored");    // 0: no state for the transmitter
    QTest::addColumn<bool>("learning"); // open for the first 60 seconds
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("verdicts");
    const QString ok = "accettato";
    const QString replay = "ripetizione rifiutata";
    const QString pending = "fuori finestra, risincronizzazione in attesa";
    const QString resync = "accettato (risincronizzato)";
    const QString tooFar = "troppo avanti per risincronizzare";
    const QString unknown = "pulsiero sconosciuto";
    const QString waitLearn = "apprendimento in attesa del passo successivo";
    const QString learnt = "accettato (pulsiero appreso)";
    const QString hourly = "troppi passi avanti in un'ora";
    QTest::newRow("next step") << 10 << false << QStringList{"11"} << QStringList{ok};
    QTest::newRow("window edge") << 10 << false << QStringList{"26", "27"} << QStringList{ok, ok};
    QTest::newRow("one past the window waits")
        << 10 << false << QStringList{"27"} << QStringList{pending};
    QTest::newRow("same step is a replay")
        << 10 << false << QStringList{"10"} << QStringList{replay};
    QTest::newRow("behind is a replay")
        << 10 << false << QStringList{"9", "3"} << QStringList{replay, replay};
    QTest::newRow("wraps 65535 to 1")
        << 65535 << false << QStringList{"1", "2"} << QStringList{ok, ok};
    QTest::newRow("wrap inside window") << 65530 << false << QStringList{"5"} << QStringList{ok};
    QTest::newRow("half cycle behind is a replay")
        << 40000 << false << QStringList{"20000"} << QStringList{replay};
    QTest::newRow("beyond window needs two")
        << 10 << false << QStringList{"100", "101", "102"} << QStringList{pending, resync, ok};
    QTest::newRow("resync pair at 30 s")
        << 10 << false << QStringList{"100@0", "101@30"} << QStringList{pending, resync};
    QTest::newRow("resync pair at 31 s")
        << 10 << false << QStringList{"100@0", "101@31"} << QStringList{pending, pending};
    QTest::newRow("resync pair not consecutive")
        << 10 << false << QStringList{"100", "102"} << QStringList{pending, pending};
    QTest::newRow("the same out-of-window frame twice neither resyncs nor refreshes its time")
        << 10 << false << QStringList{"100@0", "100@20", "101@40"}
        << QStringList{pending, pending, pending};
    // Within the range, but beyond what a plain transmitter may move in an hour (256 steps):
    // two forged frames once pushed the genuine transmitter 4112 presses behind.
    QTest::newRow("resync range edge")
        << 10 << false << QStringList{"4121", "4122"} << QStringList{pending, hourly};
    QTest::newRow("a pair 256 ahead")
        << 10 << false << QStringList{"265", "266"} << QStringList{pending, resync};
    QTest::newRow("a pair 257 ahead")
        << 10 << false << QStringList{"266", "267"} << QStringList{pending, hourly};
    QTest::newRow("the hour's moves add up, and expire after an hour")
        << 10 << false << QStringList{"130@0", "131@0", "261@1", "262@1", "270@2", "270@3600"}
        << QStringList{pending, resync, pending, resync, hourly, ok};
    QTest::newRow("strays from elsewhere keep the first of a pair")
        << 10 << false
        << QStringList{"100@0@a", "200@0@b", "300@0@b", "400@0@b", "500@0@b", "101@0@a"}
        << QStringList{pending, pending, pending, pending, pending, resync};
    QTest::newRow("a pair from two origins")
        << 10 << false << QStringList{"100@0@a", "101@0@b"} << QStringList{pending, pending};
    QTest::newRow("one past the resync range")
        << 10 << false << QStringList{"4122", "4123"} << QStringList{pending, tooFar};
    QTest::newRow("forged pair far ahead leaves the genuine transmitter in")
        << 10 << false << QStringList{"20010", "20011", "11"} << QStringList{tooFar, tooFar, ok};
    QTest::newRow("a stray first frame does not outlive the resync it did not make")
        << 10 << false << QStringList{"100", "3000", "101", "3001"}
        << QStringList{pending, pending, resync, pending};
    QTest::newRow("three strays keep the first of a pair")
        << 10 << false << QStringList{"100", "200", "300", "400", "101"}
        << QStringList{pending, pending, pending, pending, resync};
    QTest::newRow("four strays push out the first of a pair")
        << 10 << false << QStringList{"100", "200", "300", "400", "500", "101"}
        << QStringList{pending, pending, pending, pending, pending, pending};
    QTest::newRow("unknown without learning")
        << 0 << false << QStringList{"5", "6"} << QStringList{unknown, unknown};
    QTest::newRow("learning needs two consecutive")
        << 0 << true << QStringList{"500", "501", "502"} << QStringList{waitLearn, learnt, ok};
    QTest::newRow("learning from one replayed frame")
        << 0 << true << QStringList{"500", "500"} << QStringList{waitLearn, waitLearn};
    QTest::newRow("learning pair 31 s apart")
        << 0 << true << QStringList{"500@0", "501@31"} << QStringList{waitLearn, waitLearn};
    QTest::newRow("learning at its last second")
        << 0 << true << QStringList{"500@59", "501@59"} << QStringList{waitLearn, learnt};
    QTest::newRow("learning closed after 60 s")
        << 0 << true << QStringList{"500@59", "501@60"} << QStringList{waitLearn, unknown};
    QTest::newRow("learning keeps a known transmitter's checks")
        << 10 << true << QStringList{"10", "3", "5000", "5001"}
        << QStringList{replay, replay, tooFar, tooFar};
}

void TestDecodifica::codiceVariabile() {
    QFETCH(int, stored);
    QFETCH(bool, learning);
    QFETCH(QStringList, events);
    QFETCH(QStringList, verdicts);
    rolling::Tracker tracker(rolling::Policy{});
    if (learning)
        tracker.learnUntil(60);
    if (stored)
        tracker.load({{7, static_cast<rolling::Counter>(stored)}});
    QStringList actual;
    for (const QString& e : events) {
        const auto step = static_cast<rolling::Counter>(e.section('@', 0, 0).toInt());
        const int seconds = e.section('@', 1, 1).toInt();
        const auto origin = e.section('@', 2, 2).toStdString();
        actual << QString::fromStdString(std::string(
            rolling::describe(tracker.evaluate(7, step, 600, 600, seconds, origin).verdict)));
    }
    QCOMPARE(actual, verdicts);
}

void TestDecodifica::filtri_data() {
    // Transmitter 7 stored at step 10 sends step 11; 9 is new and sends 500 while learning.
    QTest::addColumn<int>("transmitter");
    QTest::addColumn<int>("frameMinute");
    QTest::addColumn<int>("nowMinute");
    QTest::addColumn<int>("tolerance"); // -1: the minute is not checked
    QTest::addColumn<QList<int>>("enrolled");
    QTest::addColumn<QString>("verdict");
    QTest::newRow("gap equal to the tolerance")
        << 7 << 595 << 600 << 5 << QList<int>{} << "accettato";
    QTest::newRow("one minute past the tolerance")
        << 7 << 594 << 600 << 5 << QList<int>{} << "minuto";
    QTest::newRow("frame ahead, one past") << 7 << 606 << 600 << 5 << QList<int>{} << "minuto";
    QTest::newRow("across midnight at the tolerance")
        << 7 << 1437 << 2 << 5 << QList<int>{} << "accettato";
    QTest::newRow("across midnight one past") << 7 << 1436 << 2 << 5 << QList<int>{} << "minuto";
    QTest::newRow("tolerance 0") << 7 << 600 << 601 << 0 << QList<int>{} << "minuto";
    QTest::newRow("minute not checked") << 7 << 600 << 1320 << -1 << QList<int>{} << "accettato";
    QTest::newRow("a stale frame teaches nothing")
        << 9 << 594 << 600 << 5 << QList<int>{} << "minuto";
    QTest::newRow("enrolled") << 7 << 600 << 600 << 5 << QList<int>{12, 7} << "accettato";
    QTest::newRow("not enrolled") << 7 << 600 << 600 << 5 << QList<int>{2, 12} << "sconosciuto";
    QTest::newRow("not enrolled, while learning")
        << 9 << 600 << 600 << 5 << QList<int>{7} << "sconosciuto";
}

void TestDecodifica::filtri() {
    QFETCH(int, transmitter);
    QFETCH(int, frameMinute);
    QFETCH(int, nowMinute);
    QFETCH(int, tolerance);
    QFETCH(QList<int>, enrolled);
    QFETCH(QString, verdict);
    rolling::Policy policy;
    policy.toleranceMinutes = tolerance < 0 ? std::nullopt : std::optional(tolerance);
    policy.enrolled = {enrolled.begin(), enrolled.end()};
    rolling::Tracker tracker(policy);
    tracker.load({{7, 10}});
    tracker.learnUntil(60);
    const auto result =
        tracker.evaluate(transmitter, transmitter == 7 ? 11 : 500, frameMinute, nowMinute, 0);
    QCOMPARE(QString::fromStdString(std::string(rolling::code(result.verdict))), verdict);
}

// A counter wider than 16 bits (step and wrap count) needs only a longer cycle.
void TestDecodifica::contatoreLargo() {
    rolling::Policy policy;
    policy.cycle = 4294967295;
    rolling::Tracker tracker(policy);
    tracker.load({{7, 4294967290u}});
    QCOMPARE(tracker.evaluate(7, 3, 600, 600, 0).verdict, rolling::Verdict::Accepted);
    QCOMPARE(tracker.evaluate(7, 65535, 600, 600, 0).verdict, rolling::Verdict::ResyncTooFar);
    QCOMPARE(tracker.evaluate(7, 2, 600, 600, 0).verdict, rolling::Verdict::Replay);
}

void TestDecodifica::statoSuDisco_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected"); // "transmitter step;..." or the reason
    const QByteArray header = "pulsiero-ricevitore stato 1\n";
    const QByteArray full = header + "7 501\n128 65535\ncontrollo F0F1AB5A\n";
    QTest::newRow("complete") << full << "7 501;128 65535";
    QTest::newRow("no transmitters") << header + "controllo 41126D38\n"
                                     << "";
    QTest::newRow("cut inside a step") << header + "7 50"
                                       << "file troncato (manca la riga di controllo)";
    QTest::newRow("cut after a line") << header + "7 501\n"
                                      << "file troncato (manca la riga di controllo)";
    QTest::newRow("cut inside the check")
        << full.left(full.size() - 2) << "file troncato (manca la riga di controllo)";
    QTest::newRow("check of other lines") << header + "7 502\n128 65535\ncontrollo F0F1AB5A\n"
                                          << "somma di controllo errata";
    QTest::newRow("old format without header")
        << QByteArray("7 501\n") << "intestazione mancante o sconosciuta";
    QTest::newRow("empty") << QByteArray() << "intestazione mancante o sconosciuta";
    QTest::newRow("leading zero") << header + "7 050\ncontrollo 86A7F75A\n"
                                  << "riga 2 non valida";
    QTest::newRow("transmitter twice") << header + "7 501\n7 502\ncontrollo 85568619\n"
                                       << "riga 3 non valida";
    QTest::newRow("transmitter 129") << header + "129 5\ncontrollo 504C0AF1\n"
                                     << "riga 2 non valida";
    QTest::newRow("transmitter 0") << header + "0 5\ncontrollo A779C31D\n"
                                   << "riga 2 non valida";
    QTest::newRow("step 0") << header + "7 0\ncontrollo 47D90FE1\n"
                            << "riga 2 non valida";
    QTest::newRow("step 65536") << header + "7 65536\ncontrollo 81A0F362\n"
                                << "riga 2 non valida";
}

void TestDecodifica::statoSuDisco() {
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    const auto parsed = rolling::parseState(text.toStdString());
    QString actual;
    if (const auto* steps = std::get_if<rolling::Tracker::Steps>(&parsed)) {
        QStringList pairs;
        for (const auto& [t, s] : *steps)
            pairs << QStringLiteral("%1 %2").arg(t).arg(s);
        actual = pairs.join(';');
    } else {
        actual = QString::fromStdString(std::get<std::string>(parsed));
    }
    QCOMPARE(actual, expected);
}

void TestDecodifica::statoScritto() {
    QCOMPARE(rolling::serialize({{7, 501}, {128, 65535}}),
             std::string("pulsiero-ricevitore stato 1\n7 501\n128 65535\ncontrollo F0F1AB5A\n"));
}

void TestDecodifica::apprendimentoLimitato_data() {
    QTest::addColumn<QList<int>>("enrolled");
    QTest::addColumn<int>("learnt"); // of transmitters 1 to 10, each sending a pair
    QTest::newRow("eight per learning period") << QList<int>{} << 8;
    QTest::newRow("every enrolled one") << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10} << 10;
}

// A flood while learning is open once took all 128 numbers in a second and a half.
void TestDecodifica::apprendimentoLimitato() {
    QFETCH(QList<int>, enrolled);
    QFETCH(int, learnt);
    rolling::Policy policy;
    policy.enrolled = {enrolled.begin(), enrolled.end()};
    rolling::Tracker tracker(policy);
    tracker.learnUntil(60);
    int actual = 0;
    for (int t = 1; t <= 10; ++t) {
        tracker.evaluate(t, 5, 600, 600, 0);
        actual += tracker.evaluate(t, 6, 600, 600, 0).verdict == rolling::Verdict::Learnt;
    }
    QCOMPARE(actual, learnt);
    QCOMPARE(tracker.evaluate(11, 5, 600, 600, 0).verdict,
             enrolled.isEmpty() ? rolling::Verdict::LearningFull
                                : rolling::Verdict::UnknownTransmitter);
}

// Keyed transmitters are marked in the file (version 2), also one with no counter yet.
void TestDecodifica::statoConChiavi() {
    const std::string text = rolling::serialize({{7, 501}, {9, 3}}, {7, 12});
    QCOMPARE(QString::fromStdString(text.substr(0, text.rfind("controllo"))),
             QStringLiteral("pulsiero-ricevitore stato 2\n7 501 chiave\n9 3\n12 - chiave\n"));
    const auto parsed = std::get<rolling::State>(rolling::parseStateFile(text));
    QCOMPARE(parsed.steps, (rolling::Tracker::Steps{{7, 501}, {9, 3}}));
    QCOMPARE(parsed.keyed, (std::set<std::int32_t>{7, 12}));
}

// A file cut at any byte is refused, never read as a shorter state.
void TestDecodifica::ogniTroncamentoRifiutato() {
    const std::string full = "pulsiero-ricevitore stato 1\n7 501\n128 65535\ncontrollo F0F1AB5A\n";
    for (std::size_t length = 0; length < full.size(); ++length)
        QVERIFY2(std::holds_alternative<std::string>(rolling::parseState(full.substr(0, length))),
                 full.substr(0, length).c_str());
}

QTEST_GUILESS_MAIN(TestDecodifica)
#include "tst_decodifica.moc"
