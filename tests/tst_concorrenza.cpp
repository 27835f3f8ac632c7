#include "core/IniFile.h"

#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

// Two copies of the program pressing keys on one settings file.
class TestConcorrenza : public QObject {
    Q_OBJECT
private slots:
    void dueProcessiMaiLoStessoPasso();
};

void TestConcorrenza::dueProcessiMaiLoStessoPasso() {
    QTemporaryDir dir;
    const QString path = dir.filePath("pulsiero.ini");
    QVERIFY(pulsiero::ScriviIni("Server", "Indirizzo", "127.0.0.1", path.toStdString()));

    constexpr int kPresses = 200;
    QProcess first;
    QProcess second;
    first.start(QStringLiteral(PRESSATORE), {path, QString::number(kPresses)});
    second.start(QStringLiteral(PRESSATORE), {path, QString::number(kPresses)});

    // Meanwhile the file must always read whole: the address never goes missing.
    int reads = 0;
    while (first.state() != QProcess::NotRunning || second.state() != QProcess::NotRunning) {
        const auto address =
            pulsiero::LeggiIni("Server", "Indirizzo", "<missing>", path.toStdString());
        QCOMPARE(QString::fromStdString(address), QStringLiteral("127.0.0.1"));
        ++reads;
        first.waitForFinished(1);
        second.waitForFinished(1);
    }
    QVERIFY(reads > 0);

    QSet<int> steps;
    for (QProcess* p : {&first, &second}) {
        QCOMPARE(p->exitCode(), 0);
        const auto lines = p->readAllStandardOutput().split('\n');
        for (const QByteArray& line : lines) {
            if (line.isEmpty())
                continue;
            QCOMPARE(line.size(), 19);
            steps.insert(line.mid(13, 5).toInt(nullptr, 16) ^ 0xFFFFF);
        }
    }
    QCOMPARE(steps.size(), 2 * kPresses);
    QCOMPARE(*std::max_element(steps.begin(), steps.end()), 2 * kPresses);
}

QTEST_GUILESS_MAIN(TestConcorrenza)
#include "tst_concorrenza.moc"
