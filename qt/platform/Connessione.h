#pragma once

#include "qt/platform/ErroriSocket.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>

class QHostInfo;

namespace pulsiero {

// One outgoing TCP connection, made without blocking: the name looked up, then each of its
// addresses tried in turn. A failure carries the system's own error, so that it is told the same
// way whatever language Qt speaks. The connected descriptor is handed over to a QTcpSocket.
class Connessione : public QObject {
    Q_OBJECT
public:
    explicit Connessione(QObject* parent = nullptr);
    ~Connessione() override;

    void avvia(const QString& host, quint16 porta);
    // Gives up: a descriptor not handed over is closed; a lookup's answer is ignored.
    void annulla();
    // A name lookup was under way: it cannot be stopped, only ignored.
    bool ricercaInCorso() const { return ricerca_ >= 0; }

signals:
    void connessa(qintptr descrittore); // the receiver owns it from now on
    void fallita(const pulsiero::ErroreSocket& errore);

private:
    void nomeRisolto(const QHostInfo& risposta);
    void provaIndirizzo();
    void verificaConnessione();
    void lasciaNotifica();
    void chiudiDescrittore();

    QList<QHostAddress> indirizzi_;
    quint16 porta_ = 0;
    int ricerca_ = -1;
    int descrittore_ = -1;
    int ultimoErrore_ = 0;
    std::unique_ptr<QSocketNotifier> scrivibile_;
};

} // namespace pulsiero
