// The tray icon where the notification area is a StatusNotifier host on D-Bus (Wayland's only
// kind), against a stand-in watcher on a private session bus: the icon registers when a host
// appears, even after the program has started.
#include "qt/platform/IconaTray.h"

#include <QApplication>
#include <QPixmap>
#include <QProcess>
#include <QTest>

class TestTray : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void hostDopoIlProgramma();
    void hostRegistratoDopoIlWatcher();
    void hostGiaPresente();

private:
    void avviaOsservatore(const QStringList& argomenti);
    bool registrata();

    static QIcon immagine() {
        QPixmap quadrato(16, 16);
        quadrato.fill(Qt::darkCyan);
        return QIcon(quadrato);
    }

    std::unique_ptr<QProcess> osservatore_;
    QByteArray uscita_;
};

void TestTray::init() {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("needs a session bus (CTest starts one with dbus-run-session)");
}

void TestTray::cleanup() {
    if (osservatore_) {
        osservatore_->kill();
        osservatore_->waitForFinished(3000);
    }
    osservatore_.reset();
    uscita_.clear();
}

void TestTray::avviaOsservatore(const QStringList& argomenti) {
    osservatore_ = std::make_unique<QProcess>();
    osservatore_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    osservatore_->start(QStringLiteral(OSSERVATORE_SNI), argomenti);
    QVERIFY(osservatore_->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT((uscita_ += osservatore_->readAllStandardOutput()).contains("pronto"),
                             10000);
}

// Qt's D-Bus icon has told the watcher about itself. Only the xcb and Wayland platforms make
// one; offscreen has no notification area of any kind.
bool TestTray::registrata() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    return QTest::qWaitFor(
        [this] { return (uscita_ += osservatore_->readAllStandardOutput()).contains("\nitem "); },
        10000);
}

void TestTray::hostDopoIlProgramma() {
    pulsiero::IconaTray tray(immagine(), true);
    tray.AggiungiIcona();
    QVERIFY(!tray.icona());
    QVERIFY(!tray.disponibile());
    avviaOsservatore({"--host"});
    QTRY_VERIFY_WITH_TIMEOUT(tray.icona(), 10000);
    QVERIFY(tray.icona()->isVisible());
    QVERIFY(registrata());
}

// The panel starts its watcher first and registers its host just after.
void TestTray::hostRegistratoDopoIlWatcher() {
    pulsiero::IconaTray tray(immagine(), true);
    tray.AggiungiIcona();
    avviaOsservatore({});
    QTest::qWait(300); // the watcher alone shows nothing
    QVERIFY(!tray.icona());
    osservatore_->write("host\n");
    QTRY_VERIFY_WITH_TIMEOUT(tray.icona(), 10000);
    QVERIFY(registrata());
}

void TestTray::hostGiaPresente() {
    avviaOsservatore({"--host"});
    pulsiero::IconaTray tray(immagine(), true);
    QVERIFY(tray.icona());
    QVERIFY(!tray.icona()->isVisible());
    tray.AggiungiIcona();
    QVERIFY(tray.icona()->isVisible());
    QVERIFY(registrata());
}

// The D-Bus icon needs a real platform: xcb on the display the test script provides.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication app(argc, argv);
    TestTray test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tray.moc"
