#include "qt/platform/ErroriSocket.h"

#include <cerrno>

namespace pulsiero {

namespace {

const char* const kRifiutata = "Connessione rifiutata dal ricevitore";
const char* const kScaduta = "Tempo di connessione scaduto";
const char* const kRisorse = "Risorse di sistema insufficienti";
const char* const kAccesso = "Accesso alla rete negato";
const char* const kIndirizzo = "Indirizzo non valido";
const char* const kChiusa = "Connessione chiusa dal ricevitore";
const char* const kRete = "Rete non disponibile";

ErroreSocket voce(int numero, const char* descrizione) {
    return {numero, QString::fromUtf8(descrizione)};
}

} // namespace

ErroreSocket erroreDiConnessione(int e) {
    switch (e) {
    case ECONNREFUSED:
        return voce(10061, kRifiutata);
    case ENETUNREACH:
        return voce(10051, "Rete non raggiungibile");
    case EHOSTUNREACH:
        return voce(10065, "Host non raggiungibile");
    case ETIMEDOUT:
        return voce(10060, kScaduta);
    case ECONNRESET:
        return voce(10054, kChiusa);
    case EACCES:
    case EPERM:
        return voce(10013, kAccesso);
    case EADDRNOTAVAIL:
        return voce(10049, kIndirizzo);
    case EAFNOSUPPORT:
        return voce(10047, "Tipo di indirizzo non supportato");
    case EMFILE:
    case ENFILE:
    case ENOBUFS:
    case ENOMEM:
        return voce(10055, kRisorse);
    default:
        return voce(10050, kRete);
    }
}

ErroreSocket erroreSocket(QAbstractSocket::SocketError errore) {
    using E = QAbstractSocket::SocketError;
    switch (errore) {
    case E::ConnectionRefusedError:
        return voce(10061, kRifiutata);
    case E::SocketTimeoutError:
        return voce(10060, kScaduta);
    case E::HostNotFoundError:
        return voce(11001, "Host non trovato");
    case E::AddressInUseError:
        return voce(10048, "Indirizzo già in uso");
    case E::SocketAddressNotAvailableError:
        return voce(10049, kIndirizzo);
    case E::RemoteHostClosedError:
        return voce(10054, kChiusa);
    case E::SocketAccessError:
        return voce(10013, kAccesso);
    case E::SocketResourceError:
        return voce(10055, kRisorse);
    case E::UnsupportedSocketOperationError:
        return voce(10045, "Operazione non supportata");
    default:
        // No Windows socket number matches the rest: Qt's own error number, in the same range.
        return voce(10000 + static_cast<int>(errore) + 1, kRete);
    }
}

} // namespace pulsiero
