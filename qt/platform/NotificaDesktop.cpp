#include "qt/platform/NotificaDesktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QVariantMap>

#include <fcntl.h>
#include <unistd.h>

namespace pulsiero {

namespace {

const QString kServizio = QStringLiteral("org.freedesktop.Notifications");
constexpr int kAttesaServizioMs = 1000;

} // namespace

bool senzaTerminale() {
    const int terminale = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (terminale < 0)
        return true;
    ::close(terminale);
    return false;
}

void notificaDesktop(const QString& titolo, const QString& testo) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kServizio).value())
        return;
    QDBusInterface notifiche(kServizio, QStringLiteral("/org/freedesktop/Notifications"),
                             kServizio, bus);
    notifiche.setTimeout(kAttesaServizioMs);
    // Critical urgency: the press failed and the user may be waiting for a gate to open.
    const QVariantMap suggerimenti{{QStringLiteral("urgency"), QVariant::fromValue(uchar(2))}};
    notifiche.call(QStringLiteral("Notify"), QStringLiteral("Pulsiero"), 0u,
                   QStringLiteral("pulsiero"), titolo, testo, QStringList(), suggerimenti, -1);
}

} // namespace pulsiero
