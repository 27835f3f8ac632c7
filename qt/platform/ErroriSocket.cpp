#include "qt/platform/ErroriSocket.h"

#include "core/ErroriWinsock.h"

#include <cerrno>

namespace pulsiero {

namespace {

ErroreSocket voce(int numero) {
    const std::string_view testo = descrizioneWinsock(numero);
    return {numero, QString::fromUtf8(testo.data(), static_cast<qsizetype>(testo.size()))};
}

} // namespace

ErroreSocket erroreDiConnessione(int e) {
    switch (e) {
    case ECONNREFUSED:
        return voce(10061);
    case ENETUNREACH:
        return voce(10051);
    case EHOSTUNREACH:
        return voce(10065);
    case ETIMEDOUT:
        return voce(10060);
    case ECONNRESET:
        return voce(10054);
    case EACCES:
    case EPERM:
        return voce(10013);
    case EADDRNOTAVAIL:
        return voce(10049);
    case EAFNOSUPPORT:
        return voce(10047);
    case EMFILE:
    case ENFILE:
    case ENOBUFS:
    case ENOMEM:
        return voce(10055);
    default:
        return voce(kReteNonDisponibile);
    }
}

ErroreSocket erroreSocket(QAbstractSocket::SocketError errore) {
    using E = QAbstractSocket::SocketError;
    switch (errore) {
    case E::ConnectionRefusedError:
        return voce(10061);
    case E::SocketTimeoutError:
        return voce(10060);
    case E::HostNotFoundError:
        return voce(11001);
    case E::AddressInUseError:
        return voce(10048);
    case E::SocketAddressNotAvailableError:
        return voce(10049);
    case E::RemoteHostClosedError:
        return voce(10054);
    case E::SocketAccessError:
        return voce(10013);
    case E::SocketResourceError:
        return voce(10055);
    case E::UnsupportedSocketOperationError:
        return voce(10045);
    default:
        // No Windows socket number matches the rest: Qt's own error number, in the same range.
        return {10000 + static_cast<int>(errore) + 1, voce(kReteNonDisponibile).descrizione};
    }
}

} // namespace pulsiero
