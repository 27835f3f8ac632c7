#include "qt/platform/IconaTray.h"

#include "qt/platform/Metadati.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

namespace pulsiero {

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kPercorsoWatcher = QStringLiteral("/StatusNotifierWatcher");

// True when the session bus has a StatusNotifier watcher with a host registered: what Qt itself
// asks before it makes a D-Bus icon.
bool hostStatusNotifier() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kWatcher))
        return false;
    QDBusMessage richiesta = QDBusMessage::createMethodCall(
        kWatcher, kPercorsoWatcher, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    richiesta << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage risposta = bus.call(richiesta, QDBus::Block, 1000);
    return risposta.type() == QDBusMessage::ReplyMessage && !risposta.arguments().isEmpty() &&
           qvariant_cast<QDBusVariant>(risposta.arguments().constFirst()).variant().toBool();
}

bool soloStatusNotifierQui() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

QString testoVersione(int maggiore, int minore, int revisione) {
    return QStringLiteral("%1.%2%3").arg(maggiore).arg(minore).arg(revisione);
}

QString testoVersione() {
    return testoVersione(metadati::kVersioneMaggiore, metadati::kVersioneMinore,
                         metadati::kRevisione);
}

QString IconaTray::tooltip() {
    const QString testo = QString::fromUtf8(metadati::kTitolo) + QLatin1Char(' ') +
                          testoVersione() + QStringLiteral(" - ") +
                          QString::fromUtf8(metadati::kCopyright);
    return testo.left(kLunghezzaMassimaTooltip);
}

QString IconaTray::tooltip(const QString& nome) {
    return nome.isEmpty() ? tooltip()
                          : nome.left(kLunghezzaMassimaTooltip) + QLatin1Char('\n') + tooltip();
}

void IconaTray::impostaNome(const QString& nome) {
    nome_ = nome;
    if (icona_)
        icona_->setToolTip(tooltip(nome_));
}

IconaTray::IconaTray(const QIcon& icona, QObject* parent)
    : IconaTray(icona, soloStatusNotifierQui(), parent) {}

IconaTray::IconaTray(const QIcon& icona, bool soloStatusNotifier, QObject* parent)
    : QObject(parent), immagine_(icona) {
    menu_.setObjectName(QStringLiteral("MenuTray"));
    QAction* apri = menu_.addAction(QStringLiteral("Apri il pulsiero"));
    apri->setObjectName(QStringLiteral("MenuTrayApri"));
    menu_.addSeparator();
    QAction* fine = menu_.addAction(QStringLiteral("Fine programma"));
    fine->setObjectName(QStringLiteral("MenuTrayFine"));
    connect(apri, &QAction::triggered, this, &IconaTray::apriRichiesto);
    connect(fine, &QAction::triggered, this, &IconaTray::fineRichiesta);

    // Without a session bus nothing could announce a host: the icon is made at once, as
    // everywhere else.
    if (soloStatusNotifier && QDBusConnection::sessionBus().isConnected() && !hostStatusNotifier())
        attendiHost();
    else
        creaIcona();
}

IconaTray::~IconaTray() = default;

void IconaTray::creaIcona() {
    icona_ = std::make_unique<QSystemTrayIcon>(immagine_);
    icona_->setToolTip(tooltip(nome_));
    icona_->setContextMenu(&menu_);
    connect(icona_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason motivo) {
                if (motivo == QSystemTrayIcon::Trigger)
                    emit apriRichiesto();
            });
    if (aggiunta_)
        icona_->show();
}

// Both the watcher's arrival and a host's registration with it are watched: a panel such as
// waybar starts the watcher first and registers its host just after.
void IconaTray::attendiHost() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    osservatore_ =
        new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(osservatore_, &QDBusServiceWatcher::serviceRegistered, this, &IconaTray::controllaHost);
    bus.connect(QString(), kPercorsoWatcher, kWatcher,
                QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(controllaHost()));
}

void IconaTray::controllaHost() {
    if (icona_ || !hostStatusNotifier())
        return;
    QDBusConnection::sessionBus().disconnect(QString(), kPercorsoWatcher, kWatcher,
                                             QStringLiteral("StatusNotifierHostRegistered"), this,
                                             SLOT(controllaHost()));
    osservatore_->deleteLater();
    osservatore_ = nullptr;
    creaIcona();
}

void IconaTray::AggiungiIcona() {
    aggiunta_ = true;
    if (icona_)
        icona_->show();
}

void IconaTray::RimuoviIcona() {
    aggiunta_ = false;
    if (icona_)
        icona_->hide();
}

bool IconaTray::disponibile() const {
    // While waiting, Qt must not be asked: its answer, once given, would stand for the process.
    return icona_ && QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace pulsiero

#include "moc_IconaTray.cpp"
