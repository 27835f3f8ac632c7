#include "qt/platform/Trasmettitore.h"

#include "core/LenientNumber.h"
#include "qt/platform/Configurazione.h"
#include "qt/platform/ErroriSocket.h"

#include <QDateTime>
#include <QTime>

#include <optional>

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
    socket_.setParent(this);
    scadenza_.setParent(this);
    scadenza_.setSingleShot(true);
    scadenza_.setTimerType(Qt::PreciseTimer);
    connect(&socket_, &QTcpSocket::connected, this, &Trasmettitore::inviaComando);
    connect(&socket_, &QTcpSocket::bytesWritten, this, [this](qint64 n) { scritti_ += n; });
    connect(&socket_, &QTcpSocket::disconnected, this,
            [this] { concludi(scritti_ == comando_.size()); });
    connect(&socket_, &QTcpSocket::errorOccurred, this, &Trasmettitore::erroreSocket);
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
    suono_.suona(QString::fromStdString(imp.FileSuono));

    inCorso_ = true;
    comando_ = QByteArray::fromStdString(*comando);
    scritti_ = 0;
    esito_ = {EsitoPressione::Tipo::NonConsegnato, std::nullopt};
    const auto porta = portaValida(imp.PortaIP);
    // Without an address there is nothing to connect to: the press just fails, with no socket
    // error of its own before the warning.
    if (!porta || imp.IndirizzoIP.empty()) {
        esito_.tipo = EsitoPressione::Tipo::NienteInviato;
        concludi(false);
        return;
    }
    scadenza_.start(kAttesaConnessioneMs);
    socket_.connectToHost(QString::fromStdString(imp.IndirizzoIP), *porta);
}

void Trasmettitore::inviaComando() {
    scadenza_.start(kAttesaConsegnaMs);
    socket_.write(comando_);
    // Closes once every byte has left; disconnected() then tells whether all were written.
    socket_.disconnectFromHost();
}

void Trasmettitore::erroreSocket(QAbstractSocket::SocketError errore) {
    const bool consegnato = scritti_ == comando_.size();
    // A receiver that hangs up once it has the whole frame is no fault of ours.
    if (consegnato && errore == QAbstractSocket::RemoteHostClosedError) {
        concludi(true);
        return;
    }
    const ErroreSocket e = pulsiero::erroreSocket(errore, socket_.errorString());
    esito_.errore = e;
    Winsock_Error(e.numero, e.descrizione);
    concludi(consegnato);
}

void Trasmettitore::Winsock_Error(int numero, const QString& descrizione) {
    emit messaggio({Avviso::Tipo::Attenzione, QStringLiteral("Errore di comunicazione"),
                    QStringLiteral("Errore %1 - %2").arg(numero).arg(descrizione)});
}

void Trasmettitore::chiudi() {
    if (inCorso_)
        concludi(false);
    socket_.abort();
}

void Trasmettitore::concludi(bool inviato) {
    if (!inCorso_)
        return;
    inCorso_ = false;
    scadenza_.stop();
    // A pending connection is aborted so the next press starts from a closed socket.
    socket_.abort();
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
