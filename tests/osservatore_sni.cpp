// A minimal StatusNotifier watcher on the session bus, standing in for a panel's tray (waybar,
// KDE's): it says "pronto" once it owns its name, then "item <service>" for each icon that
// registers. Its host registers at once with --host, else when a line arrives on standard input.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSocketNotifier>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

class Osservatore : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistrato)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ elementi)
    Q_PROPERTY(int ProtocolVersion READ versione)
public:
    bool hostRegistrato() const { return host_; }
    QStringList elementi() const { return elementi_; }
    int versione() const { return 0; }

    void registraHost() {
        host_ = true;
        emit StatusNotifierHostRegistered();
    }

public slots:
    void RegisterStatusNotifierItem(const QString& servizio, const QDBusMessage& messaggio) {
        elementi_ << servizio;
        std::printf("item %s %s\n", qPrintable(servizio), qPrintable(messaggio.service()));
        std::fflush(stdout);
        emit StatusNotifierItemRegistered(servizio);
    }
    void RegisterStatusNotifierHost(const QString&) { registraHost(); }

signals:
    void StatusNotifierItemRegistered(const QString& servizio);
    void StatusNotifierItemUnregistered(const QString& servizio);
    void StatusNotifierHostRegistered();

private:
    bool host_ = false;
    QStringList elementi_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Osservatore osservatore;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &osservatore,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")))
        return 1;
    if (app.arguments().contains(QStringLiteral("--host")))
        osservatore.registraHost();
    QSocketNotifier ingresso(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&ingresso, &QSocketNotifier::activated, [&] {
        char c[64];
        if (::read(STDIN_FILENO, c, sizeof c) <= 0)
            ingresso.setEnabled(false);
        else
            osservatore.registraHost();
    });
    std::printf("pronto\n");
    std::fflush(stdout);
    return app.exec();
}

#include "osservatore_sni.moc"
