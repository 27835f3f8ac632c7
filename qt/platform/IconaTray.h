#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

namespace pulsiero {

// The notification-area icon and its pop-up menu. It only reports what the user asked for; the
// window decides what that means.
class IconaTray : public QObject {
    Q_OBJECT
public:
    static constexpr int kLunghezzaMassimaTooltip = 64;

    explicit IconaTray(const QIcon& icona, QObject* parent = nullptr);

    void AggiungiIcona();
    void RimuoviIcona();

    // Title, a blank, the version as major "." minor revision, " - ", the copyright notice;
    // cut at the notification area's 64 characters.
    static QString tooltip();
    // With a transmitter's name, that name on a line of its own above it.
    static QString tooltip(const QString& nome);
    void impostaNome(const QString& nome);

    QSystemTrayIcon& icona() { return icona_; }
    QMenu& MenuTray() { return menu_; }

signals:
    void apriRichiesto();
    void fineRichiesta();

private:
    QSystemTrayIcon icona_;
    QMenu menu_;
};

// Version text shared with the About window: 1.0.0 gives "1.00", 2.3.10 gives "2.310".
QString testoVersione(int maggiore, int minore, int revisione);
QString testoVersione();

} // namespace pulsiero
