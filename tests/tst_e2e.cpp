// The real program in a real X session: started as a user would start it, driven with X pointer
// and keyboard events through xdotool, talking to a receiver on 127.0.0.1.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

QString esegui(const QString& programma, const QStringList& argomenti, int attesaMs = 10000) {
    QProcess p;
    p.start(programma, argomenti);
    if (!p.waitForFinished(attesaMs))
        p.kill();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString xdo(const QStringList& argomenti) {
    return esegui(QStringLiteral("xdotool"), argomenti);
}

// The frame of the next connection, up to its end of stream.
QByteArray trama(QTcpServer& server) {
    if (!server.hasPendingConnections() && !server.waitForNewConnection(5000))
        return "<no connection>";
    QTcpSocket* peer = server.nextPendingConnection();
    QByteArray dati;
    (void)QTest::qWaitFor(
        [&] {
            dati += peer->readAll();
            return peer->state() == QAbstractSocket::UnconnectedState;
        },
        3000);
    dati += peer->readAll();
    delete peer;
    return dati;
}

} // namespace

class TestE2E : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void tastiInviatiECtrlXTermina();
    void configurazioneCambiaLaPorta();
    void iconaNellAreaDiNotifica();
    void uccisoMentrePremeTasti();

private:
    void avvia();
    QString passo() const;
    void clicTasto(int indice);
    int terminato();

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QTcpServer> server_;
    std::unique_ptr<QProcess> programma_;
    QString finestra_;
    int barraMenu_ = 0;
};

void TestE2E::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display (scripts/test.sh starts Xvfb)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs xdotool");
}

void TestE2E::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    server_ = std::make_unique<QTcpServer>();
    QVERIFY(server_->listen(QHostAddress::LocalHost));
    QDir().mkpath(dir_->filePath("bin"));
    QVERIFY(QFile::copy(QStringLiteral(PULSIERO_EXE), dir_->filePath("bin/pulsiero")));
    QFile ini(dir_->filePath("bin/pulsiero.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Server]\nIndirizzo=127.0.0.1\nPorta=" + QByteArray::number(server_->serverPort()) +
              "\n[Pulsiero]\nnome=Cancello\n");
}

void TestE2E::cleanup() {
    if (programma_ && programma_->state() != QProcess::NotRunning) {
        programma_->kill();
        programma_->waitForFinished(3000);
    }
    programma_.reset();
    server_.reset();
    dir_.reset();
}

void TestE2E::avvia() {
    programma_ = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("HOME"), dir_->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_->filePath("config"));
    programma_->setProcessEnvironment(env);
    programma_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    programma_->start(dir_->filePath("bin/pulsiero"), {});
    QVERIFY(programma_->waitForStarted());
    finestra_ = xdo({"search", "--sync", "--onlyvisible", "--pid",
                     QString::number(programma_->processId()), "--name", "^Pulsiero$"})
                    .section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(!finestra_.isEmpty(), "the window did not appear");
    const QString geometria = xdo({"getwindowgeometry", "--shell", finestra_});
    const int altezza = geometria.section("HEIGHT=", 1).section('\n', 0, 0).toInt();
    barraMenu_ = altezza - 304; // the client area below the menu bar is 304 pixels high
    QVERIFY(barraMenu_ > 0);
    xdo({"windowactivate", "--sync", finestra_});
}

QString TestE2E::passo() const {
    QFile ini(dir_->filePath("bin/pulsiero.ini"));
    if (!ini.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& riga : ini.readAll().split('\n'))
        if (riga.startsWith("Passo="))
            return QString::fromLatin1(riga.mid(6));
    return {};
}

void TestE2E::clicTasto(int indice) {
    static const QPoint kCentri[4] = {{68, 91}, {130, 91}, {68, 154}, {130, 154}};
    const QPoint p = kCentri[indice] + QPoint(0, barraMenu_);
    xdo({"mousemove", "--window", finestra_, QString::number(p.x()), QString::number(p.y())});
    xdo({"click", "1"});
}

int TestE2E::terminato() {
    if (!programma_->waitForFinished(5000))
        return -1;
    return programma_->exitStatus() == QProcess::NormalExit ? programma_->exitCode() : -2;
}

void TestE2E::tastiInviatiECtrlXTermina() {
    avvia();
    const QStringList campiTasto{"1F", "1E", "1D", "1C"};
    for (int i = 0; i < 4; ++i) {
        clicTasto(i);
        const QByteArray ricevuta = trama(*server_);
        QCOMPARE(ricevuta.size(), 19);
        QCOMPARE(ricevuta.left(7), QByteArray("FFFFE7E"));
        QCOMPARE(QString::fromLatin1(ricevuta.mid(7, 2)), campiTasto[i]);
        QCOMPARE(ricevuta.mid(13, 5).toInt(nullptr, 16) ^ 0xFFFFF, i + 1);
        QTRY_COMPARE(passo(), QString::number(i + 1));
    }
    xdo({"windowactivate", "--sync", finestra_});
    xdo({"key", "--clearmodifiers", "ctrl+x"});
    QCOMPARE(terminato(), 0);
}

void TestE2E::configurazioneCambiaLaPorta() {
    QTcpServer nuovo;
    QVERIFY(nuovo.listen(QHostAddress::LocalHost));
    avvia();
    xdo({"key", "alt+o"});
    QTest::qWait(300);
    xdo({"key", "Up", "Return"}); // the last entry: "Configura il pulsiero"
    const QString dialogo =
        xdo({"search", "--sync", "--onlyvisible", "--name", "^Configurazione Pulsiero$"});
    QVERIFY(!dialogo.isEmpty());
    xdo({"windowactivate", "--sync", dialogo});
    // From the tab bar: the "Ricevitore" page, then the address and the port boxes.
    xdo({"key", "Right", "Tab", "Tab"});
    xdo({"type", QString::number(nuovo.serverPort())});
    esegui(QStringLiteral("wmctrl"), {"-c", "Configurazione Pulsiero"});
    QTRY_VERIFY(xdo({"search", "--onlyvisible", "--name", "^Configurazione Pulsiero$"}).isEmpty());

    xdo({"windowactivate", "--sync", finestra_});
    clicTasto(0);
    QCOMPARE(trama(nuovo).left(9), QByteArray("FFFFE7E1F"));
    QVERIFY(!server_->hasPendingConnections());
}

void TestE2E::iconaNellAreaDiNotifica() {
    if (esegui(QStringLiteral("sh"), {"-c", "pgrep -x trayer || true"}).isEmpty())
        QSKIP("no tray host (trayer) on this display");
    avvia();
    // The icon is a small window of the program docked in the tray host.
    QString icona;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const auto finestre = xdo({"search", "--pid", QString::number(programma_->processId()),
                                       "--onlyvisible", "--class", "pulsiero"})
                                      .split('\n', Qt::SkipEmptyParts);
            for (const QString& w : finestre)
                if (w != finestra_ && xdo({"getwindowname", w}) != "Pulsiero")
                    icona = w;
            return !icona.isEmpty();
        }(),
        5000);
    xdo({"mousemove", "--window", icona, "5", "5"});
    xdo({"click", "3"});
    QTest::qWait(500);
    xdo({"key", "Up", "Return"}); // the last entry of the pop-up menu: "Fine programma"
    QCOMPARE(terminato(), 0);
}

// SIGKILL at random moments while keys are pressed in a loop: the settings file is always whole
// and the stored counter never goes backwards.
void TestE2E::uccisoMentrePremeTasti() {
    int precedente = 0;
    for (int round = 0; round < 6; ++round) {
        avvia();
        const QPoint p = QPoint(68, 91 + barraMenu_);
        xdo({"mousemove", "--window", finestra_, QString::number(p.x()), QString::number(p.y())});
        QProcess clic;
        clic.start(QStringLiteral("xdotool"), {"click", "--repeat", "400", "--delay", "3", "1"});
        QTest::qWait(150 + QRandomGenerator::global()->bounded(400));
        ::kill(static_cast<pid_t>(programma_->processId()), SIGKILL);
        programma_->waitForFinished(3000);
        clic.kill();
        clic.waitForFinished(3000);
        while (server_->hasPendingConnections())
            delete server_->nextPendingConnection();

        QFile ini(dir_->filePath("bin/pulsiero.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray contenuto = ini.readAll();
        QVERIFY2(contenuto.startsWith("[Server]\nIndirizzo=127.0.0.1\nPorta="),
                 contenuto.constData());
        QVERIFY(contenuto.contains("\n[Pulsiero]\nnome=Cancello\n"));
        const int passoOra = passo().toInt();
        QVERIFY2(passoOra >= precedente,
                 qPrintable(QStringLiteral("%1 < %2").arg(passoOra).arg(precedente)));
        precedente = passoOra;
    }
    QVERIFY(precedente > 0);
}

QTEST_GUILESS_MAIN(TestE2E)
#include "tst_e2e.moc"
