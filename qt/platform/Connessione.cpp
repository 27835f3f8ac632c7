#include "qt/platform/Connessione.h"

#include <QHostInfo>

#include <cerrno>
#include <cstring>
#include <utility>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pulsiero {

Connessione::Connessione(QObject* parent) : QObject(parent) {}

Connessione::~Connessione() {
    annulla();
}

void Connessione::avvia(const QString& host, quint16 porta) {
    annulla();
    porta_ = porta;
    ultimoErrore_ = 0;
    QHostAddress indirizzo;
    if (indirizzo.setAddress(host)) {
        indirizzi_ = {indirizzo};
        provaIndirizzo();
        return;
    }
    ricerca_ = QHostInfo::lookupHost(host, this, &Connessione::nomeRisolto);
}

void Connessione::annulla() {
    if (ricerca_ >= 0)
        QHostInfo::abortHostLookup(ricerca_);
    ricerca_ = -1;
    indirizzi_.clear();
    chiudiDescrittore();
}

void Connessione::nomeRisolto(const QHostInfo& risposta) {
    if (risposta.lookupId() != ricerca_)
        return;
    ricerca_ = -1;
    indirizzi_ = risposta.addresses();
    if (risposta.error() != QHostInfo::NoError || indirizzi_.isEmpty()) {
        emit fallita(erroreSocket(QAbstractSocket::HostNotFoundError));
        return;
    }
    provaIndirizzo();
}

// The next address; when none is left, the error of the last one tried.
void Connessione::provaIndirizzo() {
    while (!indirizzi_.isEmpty()) {
        const QHostAddress indirizzo = indirizzi_.takeFirst();
        sockaddr_storage sa{};
        socklen_t lunghezza = 0;
        if (indirizzo.protocol() == QAbstractSocket::IPv6Protocol) {
            auto* v6 = reinterpret_cast<sockaddr_in6*>(&sa);
            v6->sin6_family = AF_INET6;
            v6->sin6_port = htons(porta_);
            const Q_IPV6ADDR byte = indirizzo.toIPv6Address();
            std::memcpy(&v6->sin6_addr, &byte, sizeof byte);
            v6->sin6_scope_id = indirizzo.scopeId().toUInt();
            lunghezza = sizeof *v6;
        } else {
            auto* v4 = reinterpret_cast<sockaddr_in*>(&sa);
            v4->sin_family = AF_INET;
            v4->sin_port = htons(porta_);
            v4->sin_addr.s_addr = htonl(indirizzo.toIPv4Address());
            lunghezza = sizeof *v4;
        }
        descrittore_ = ::socket(sa.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (descrittore_ < 0) {
            ultimoErrore_ = errno;
            continue;
        }
        if (::connect(descrittore_, reinterpret_cast<sockaddr*>(&sa), lunghezza) == 0 ||
            errno == EINPROGRESS) {
            scrivibile_ = std::make_unique<QSocketNotifier>(descrittore_, QSocketNotifier::Write);
            connect(scrivibile_.get(), &QSocketNotifier::activated, this,
                    &Connessione::verificaConnessione);
            return;
        }
        ultimoErrore_ = errno;
        chiudiDescrittore();
    }
    emit fallita(erroreDiConnessione(ultimoErrore_));
}

void Connessione::verificaConnessione() {
    int errore = 0;
    socklen_t lunghezza = sizeof errore;
    if (::getsockopt(descrittore_, SOL_SOCKET, SO_ERROR, &errore, &lunghezza) != 0)
        errore = errno;
    if (errore != 0) {
        ultimoErrore_ = errore;
        chiudiDescrittore();
        provaIndirizzo();
        return;
    }
    lasciaNotifica();
    const int descrittore = std::exchange(descrittore_, -1);
    emit connessa(descrittore);
}

// The notifier may be the one whose signal is being delivered: it goes once that is over.
void Connessione::lasciaNotifica() {
    if (!scrivibile_)
        return;
    scrivibile_->setEnabled(false);
    scrivibile_.release()->deleteLater();
}

void Connessione::chiudiDescrittore() {
    lasciaNotifica();
    if (descrittore_ >= 0)
        ::close(descrittore_);
    descrittore_ = -1;
}

} // namespace pulsiero

#include "moc_Connessione.cpp"
