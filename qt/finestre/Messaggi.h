#pragma once

#include "qt/platform/Avviso.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <functional>

namespace pulsiero {

// The program's message boxes. Each is application-modal and brought to the front, but none
// blocks the caller in a nested event loop: boxes asked for while one is open wait in line and
// appear one after the other, in order, so a socket error box is followed by its warning.
class Messaggi : public QObject {
    Q_OBJECT
public:
    using Risposta = std::function<void(bool si)>;

    explicit Messaggi(QObject* parent = nullptr);

    void avviso(const QString& titolo, const QString& testo);       // exclamation icon, OK
    void errore(const QString& titolo, const QString& testo);       // stop icon, OK
    void informazione(const QString& titolo, const QString& testo); // information icon, OK
    void domanda(const QString& titolo, const QString& testo, Risposta risposta); // Yes / No
    // Exclamation icon and two buttons of the caller's: si, and no (also Esc and Enter).
    void scelta(const QString& titolo, const QString& testo, const QString& si, const QString& no,
                Risposta risposta);

    // A message from the layers below the windows, in a box with its icon.
    void mostra(const Avviso& avviso);

private:
    struct Richiesta {
        QMessageBox::Icon icona;
        QString titolo;
        QString testo;
        Risposta risposta;
        QString si{}, no{}; // a choice's own buttons; empty for the standard ones
    };

    void accoda(Richiesta richiesta);
    void mostraProssimo();

    std::deque<Richiesta> inAttesa_;
    QPointer<QMessageBox> aperto_;
};

} // namespace pulsiero
