#include "qt/platform/Trasmettitore.h"

#include "core/LenientNumber.h"
#include "qt/platform/Configurazione.h"
#include "qt/platform/ErroriSocket.h"

#include <QDateTime>
#include <QTime>

#include <optional>
#include <unistd.h>

namespace pulsiero {

namespace {

const QString kTitoloInvio = QStringLiteral("Invio dati TCP/IP");

std::optional<quint16> portaValida(const std::string& porta) {
    const auto numero = readInt32(porta);
    if (!numero || *numero < 1 || *numero > 65535)
        return std::nullopt;
    return static_cast<quint16>(*numero);
}

} // namespace

Trasmettitore::Trasmettitore(const Configurazione& configurazione, QObject* parent)
    : QObject(parent), configurazione_(configurazione),
      // Seeded once per run from the clock.
      generatore_(static_cast<std::mt19937::result_type>(QDateTime::currentMSecsSinceEpoch())) {
    connessione_.setParent(this);
    scadenza_.setParent(this);
    scadenza_.setSingleShot(true);
    scadenza_.setTimerType(Qt::PreciseTimer);
    connect(&connessione_, &Connessione::connessa, this, &Trasmettitore::connessa);
    connect(&connessione_, &Connessione::fallita, this,
            [this](const ErroreSocket& e) { segnalaErrore(e, false); });
    connect(&scadenza_, &QTimer::timeout, this, [this] { concludi(scritti_ == comando_.size()); });
}

Momento Trasmettitore::momentoAttuale() {
    if (orologio_)
        return orologio_();
    const QTime ora = QTime::currentTime();
    std::uniform_int_distribution<std::int32_t> casuale(0, 15);
    return {static_cast<std::int16_t>(ora.hour() * 60 + ora.minute()), casuale(generatore_)};
}

void Trasmettitore::Img_Pulsante_Click(int index) {
    // A press still being delivered owns the socket: a further click is ignored.
    if (inCorso_)
        return;
    const Impostazioni& imp = configurazione_.impostazioni();
    // A port that cannot be connected to is the settings' fault, not the connection's: it is
    // said as such, and no step is spent on a frame that cannot leave.
    const auto porta = portaValida(imp.PortaIP);
    if (!porta) {
        emit messaggio({Avviso::Tipo::Attenzione, kTitoloInvio,
                        QStringLiteral("Attenzione: la porta del ricevitore «%1» non è valida "
                                       "(serve un numero da 1 a 65535). Il comando non è stato "
                                       "inviato.")
                            .arg(QString::fromStdString(imp.PortaIP))});
        emit pressioneConclusa({EsitoPressione::Tipo::NienteInviato, std::nullopt});
        return;
    }
    const auto esito = PreparaComando(static_cast<std::int16_t>(index), imp,
                                      configurazione_.percorsoFile(), momentoAttuale());
    const auto* comando = std::get_if<std::string>(&esito);
    if (!comando) {
        const auto& errore = std::get<ErroreComando>(esito);
        // The cause, when known, names the file and what stood in the way (a lock held by
        // another program, a file of another user...).
        const QString causa =
            errore.causa.empty()
                ? QString()
                : QStringLiteral(" (%1)").arg(QString::fromStdString(errore.causa));
        emit messaggio({Avviso::Tipo::Attenzione, kTitoloInvio,
                        errore == ErroreComando::Chiave
                            ? QStringLiteral("Attenzione: la chiave nel file di configurazione "
                                             "non è valida (servono 64 cifre esadecimali). Il "
                                             "comando non è stato inviato.")
                            : QStringLiteral("Attenzione: non è stato possibile salvare il "
                                             "contatore dei passi nel file di configurazione%1. "
                                             "Il comando non è stato inviato.")
                                  .arg(causa)});
        emit pressioneConclusa({EsitoPressione::Tipo::NienteInviato, std::nullopt});
        return;
    }
    if (!imp.FileSuono.empty())
        emit suonaTasto(QString::fromStdString(imp.FileSuono));

    inCorso_ = true;
    comando_ = QByteArray::fromStdString(*comando);
    scritti_ = 0;
    esito_ = {EsitoPressione::Tipo::NonConsegnato, std::nullopt};
    // Without an address there is nothing to connect to: the press just fails, with no socket
    // error of its own before the warning.
    if (imp.IndirizzoIP.empty()) {
        esito_.tipo = EsitoPressione::Tipo::NienteInviato;
        concludi(false);
        return;
    }
    scadenza_.start(kAttesaConnessioneMs);
    connessione_.avvia(QString::fromStdString(imp.IndirizzoIP), *porta);
}

void Trasmettitore::connessa(qintptr descrittore) {
    // Each press has a socket of its own: nothing of the last press's socket can reach this one.
    lasciaSocket();
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::bytesWritten, this, [this](qint64 n) { scritti_ += n; });
    connect(socket_, &QTcpSocket::disconnected, this,
            [this] { concludi(scritti_ == comando_.size()); });
    connect(socket_, &QTcpSocket::errorOccurred, this, &Trasmettitore::erroreSocket);
    if (!socket_->setSocketDescriptor(descrittore)) {
        ::close(static_cast<int>(descrittore));
        segnalaErrore(pulsiero::erroreSocket(socket_->error()), false);
        return;
    }
    inviaComando();
}

void Trasmettitore::inviaComando() {
    scadenza_.start(kAttesaConsegnaMs);
    socket_->write(comando_);
    // Closes once every byte has left; disconnected() then tells whether all were written.
    socket_->disconnectFromHost();
}

// The socket may be the sender of the signal being handled: it goes once that is over.
void Trasmettitore::lasciaSocket() {
    if (!socket_)
        return;
    socket_->disconnect(this);
    socket_->abort();
    socket_->deleteLater();
    socket_ = nullptr;
}

void Trasmettitore::erroreSocket(QAbstractSocket::SocketError errore) {
    const bool consegnato = scritti_ == comando_.size();
    // A receiver that hangs up once it has the whole frame is no fault of ours.
    if (consegnato && errore == QAbstractSocket::RemoteHostClosedError) {
        concludi(true);
        return;
    }
    segnalaErrore(pulsiero::erroreSocket(errore), consegnato);
}

void Trasmettitore::segnalaErrore(const ErroreSocket& errore, bool consegnato) {
    esito_.errore = errore;
    Winsock_Error(errore.numero, errore.descrizione);
    concludi(consegnato);
}

void Trasmettitore::Winsock_Error(int numero, const QString& descrizione) {
    emit messaggio({Avviso::Tipo::Attenzione, QStringLiteral("Errore di comunicazione"),
                    QStringLiteral("Errore %1 - %2").arg(numero).arg(descrizione)});
}

void Trasmettitore::chiudi() {
    if (inCorso_)
        concludi(false);
    connessione_.annulla();
    lasciaSocket();
}

void Trasmettitore::concludi(bool inviato) {
    if (!inCorso_)
        return;
    inCorso_ = false;
    scadenza_.stop();
    ricercaNomeAbbandonata_ = connessione_.ricercaInCorso();
    // A pending connection is aborted so the next press starts from a closed socket.
    connessione_.annulla();
    lasciaSocket();
    if (!inviato)
        emit messaggio({Avviso::Tipo::Attenzione, kTitoloInvio,
                        QStringLiteral("Attenzione il comando non è stato inviato a "
                                       "causa di un problema di connessione.")});
    if (inviato)
        esito_.tipo = EsitoPressione::Tipo::Consegnato;
    emit consegnaConclusa(inviato);
    emit pressioneConclusa(esito_);
}

} // namespace pulsiero

#include "moc_Trasmettitore.cpp"
