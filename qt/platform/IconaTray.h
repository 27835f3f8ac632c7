#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

class QDBusServiceWatcher;

namespace pulsiero {

// The notification-area icon and its pop-up menu. It only reports what the user asked for; the
// window decides what that means.
class IconaTray : public QObject {
    Q_OBJECT
public:
    static constexpr int kLunghezzaMassimaTooltip = 64;

    // On Wayland the only notification area is a StatusNotifier host on the session bus, and Qt
    // decides once, when the first icon is made, between its D-Bus icon and none: with no host
    // yet, the icon is made when one appears (a panel started after the program).
    explicit IconaTray(const QIcon& icona, QObject* parent = nullptr);
    // soloStatusNotifier tells whether the notification area can only be such a host.
    IconaTray(const QIcon& icona, bool soloStatusNotifier, QObject* parent = nullptr);
    ~IconaTray() override;

    void AggiungiIcona();
    void RimuoviIcona();

    // Whether a notification area is there to show the icon now.
    bool disponibile() const;

    // Title, a blank, the version as major "." minor revision, " - ", the copyright notice;
    // cut at the notification area's 64 characters.
    static QString tooltip();
    // With a transmitter's name, that name on a line of its own above it.
    static QString tooltip(const QString& nome);
    void impostaNome(const QString& nome);

    // The icon; null while it waits for a StatusNotifier host.
    QSystemTrayIcon* icona() { return icona_.get(); }
    QMenu& MenuTray() { return menu_; }

signals:
    void apriRichiesto();
    void fineRichiesta();

private slots:
    // A host registered with the StatusNotifier watcher (a D-Bus signal, hence a slot).
    void controllaHost();

private:
    void creaIcona();
    void attendiHost();

    QIcon immagine_;
    QString nome_; // the transmitter's, for the tooltip of an icon made later
    QMenu menu_;
    std::unique_ptr<QSystemTrayIcon> icona_;
    QDBusServiceWatcher* osservatore_ = nullptr;
    bool aggiunta_ = false; // AggiungiIcona called and not undone
};

// Version text shared with the About window: 1.0.0 gives "1.00", 2.3.10 gives "2.310".
QString testoVersione(int maggiore, int minore, int revisione);
QString testoVersione();

} // namespace pulsiero
