#pragma once

#include <QAbstractSocket>
#include <QString>

namespace pulsiero {

// A socket error as users of the original program know it: the Windows socket number and an
// Italian description. Both come from the error's kind and the system's error number, never from
// Qt's text, which follows the translation loaded: the window and the command line say the same.
struct ErroreSocket {
    int numero = 0;
    QString descrizione;
};

// A connection that failed with the system's error number (errno).
ErroreSocket erroreDiConnessione(int errnoDiSistema);
// Any other failure of a socket, by Qt's kind.
ErroreSocket erroreSocket(QAbstractSocket::SocketError errore);

} // namespace pulsiero

Q_DECLARE_METATYPE(pulsiero::ErroreSocket)
