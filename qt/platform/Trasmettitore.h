#pragma once

#include "core/CreaComando.h"
#include "core/EsitoTasto.h"
#include "qt/platform/Avviso.h"
#include "qt/platform/Connessione.h"
#include "qt/platform/ErroriSocket.h"

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <optional>
#include <random>

namespace pulsiero {

class Configurazione;

// How one press ended, for callers that read no message boxes.
struct EsitoPressione {
    using Tipo = EsitoTasto;
    Tipo tipo = Tipo::NienteInviato;
    std::optional<ErroreSocket> errore; // the socket's error, when it raised one
};

// Delivers one key press: builds its frame, asks for the key sound and hands the frame to the
// receiver over a connection of its own, then closes it. Nothing is ever read from the receiver.
// The sound is the window's to play: a press from the command line has no one to play it to.
class Trasmettitore : public QObject {
    Q_OBJECT
public:
    using Orologio = std::function<Momento()>;

    // A connection not up by then counts as not connected.
    static constexpr int kAttesaConnessioneMs = 400;
    // Once connected, the longest the frame may take to leave before the press counts as failed.
    static constexpr int kAttesaConsegnaMs = 2000;

    explicit Trasmettitore(const Configurazione& configurazione, QObject* parent = nullptr);

    void Img_Pulsante_Click(int index);
    void Winsock_Error(int numero, const QString& descrizione);

    bool inCorso() const { return inCorso_; }
    bool connesso() const {
        return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
    }
    // Ends any connection; a press still under way counts as not delivered.
    void chiudi();
    // The last press gave up while its name lookup was still running. The lookup cannot be
    // cancelled: a program that ends now must not wait for it.
    bool ricercaNomeAbbandonata() const { return ricercaNomeAbbandonata_; }

    // Tests fix the time of day and the random value of the frames.
    void impostaOrologio(Orologio orologio) { orologio_ = std::move(orologio); }

signals:
    // The settings name a sound for the keys: the file as written there, never empty.
    void suonaTasto(const QString& fileSuono);
    void consegnaConclusa(bool inviato);
    void pressioneConclusa(const pulsiero::EsitoPressione& esito);
    // What the user is told, in order: a socket error, then the warning that nothing arrived.
    void messaggio(const pulsiero::Avviso& avviso);

private:
    Momento momentoAttuale();
    void inviaComando();
    void connessa(qintptr descrittore);
    void erroreSocket(QAbstractSocket::SocketError errore);
    void segnalaErrore(const ErroreSocket& errore, bool consegnato);
    void lasciaSocket();
    void concludi(bool inviato);

    const Configurazione& configurazione_;
    Connessione connessione_;
    QTcpSocket* socket_ = nullptr; // the connection of the press under way, a child of this
    QTimer scadenza_;
    Orologio orologio_;
    std::mt19937 generatore_;
    QByteArray comando_;
    qint64 scritti_ = 0;
    EsitoPressione esito_;
    bool inCorso_ = false;
    bool ricercaNomeAbbandonata_ = false;
};

} // namespace pulsiero
