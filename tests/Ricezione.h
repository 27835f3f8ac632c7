#pragma once

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace aiuti {

// The frame of the next connection to server, up to its end of stream; "<no connection>" when
// none arrives within attesaMs. The event loop may already have accepted it meanwhile.
inline QByteArray tramaRicevuta(QTcpServer& server, int attesaMs) {
    if (!server.hasPendingConnections() && !server.waitForNewConnection(attesaMs))
        return "<no connection>";
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    QByteArray dati;
    (void)QTest::qWaitFor(
        [&] {
            dati += peer->readAll();
            return peer->state() == QAbstractSocket::UnconnectedState;
        },
        attesaMs);
    return dati + peer->readAll();
}

} // namespace aiuti
