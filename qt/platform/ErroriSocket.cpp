#include "qt/platform/ErroriSocket.h"

namespace pulsiero {

namespace {

struct Voce {
    int numero;
    const char* descrizione; // nullptr: Qt's text
};

// Qt folds several system errors into NetworkError; its text tells them apart.
Voce erroreDiRete(const QString& testoQt) {
    if (testoQt.contains(QLatin1String("Host unreachable"), Qt::CaseInsensitive))
        return {10065, "Host non raggiungibile"};
    if (testoQt.contains(QLatin1String("Network unreachable"), Qt::CaseInsensitive))
        return {10051, "Rete non raggiungibile"};
    if (testoQt.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
        return {10060, "Tempo di connessione scaduto"};
    return {10050, nullptr};
}

Voce voce(QAbstractSocket::SocketError errore, const QString& testoQt) {
    using E = QAbstractSocket::SocketError;
    switch (errore) {
    case E::ConnectionRefusedError:
        return {10061, "Connessione rifiutata dal ricevitore"};
    case E::SocketTimeoutError:
        return {10060, "Tempo di connessione scaduto"};
    case E::HostNotFoundError:
        return {11001, "Host non trovato"};
    case E::AddressInUseError:
        return {10048, nullptr};
    case E::SocketAddressNotAvailableError:
        return {10049, "Indirizzo non valido"};
    case E::NetworkError:
        return erroreDiRete(testoQt);
    case E::RemoteHostClosedError:
        return {10054, nullptr};
    case E::SocketAccessError:
        return {10013, nullptr};
    case E::SocketResourceError:
        return {10055, nullptr};
    case E::UnsupportedSocketOperationError:
        return {10045, nullptr};
    default:
        // No Windows socket number matches the rest: Qt's own error number, in the same range.
        return {10000 + static_cast<int>(errore) + 1, nullptr};
    }
}

} // namespace

ErroreSocket erroreSocket(QAbstractSocket::SocketError errore, const QString& testoQt) {
    const Voce v = voce(errore, testoQt);
    return {v.numero, v.descrizione ? QString::fromUtf8(v.descrizione) : testoQt};
}

} // namespace pulsiero
