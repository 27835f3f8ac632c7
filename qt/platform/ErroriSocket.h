#pragma once

#include <QAbstractSocket>
#include <QString>

namespace pulsiero {

// A socket error as users of the original program know it: the Windows socket number, and an
// Italian description for the common cases (Qt's own text for the rest).
struct ErroreSocket {
    int numero = 0;
    QString descrizione;
};

ErroreSocket erroreSocket(QAbstractSocket::SocketError errore, const QString& testoQt);

} // namespace pulsiero
