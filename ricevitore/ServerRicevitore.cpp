#include "ricevitore/ServerRicevitore.h"

#include "protocol/Decodifica.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

extern char** environ;

namespace pulsiero::ricevitore {

namespace {

using Orologio = std::chrono::steady_clock;

int minutoLocale() {
    const std::time_t adesso = std::time(nullptr);
    std::tm locale{};
    localtime_r(&adesso, &locale);
    return locale.tm_hour * 60 + locale.tm_min;
}

std::int64_t secondiMonotoni() {
    return std::chrono::duration_cast<std::chrono::seconds>(Orologio::now().time_since_epoch())
        .count();
}

// Anything the peer sent, printable: bytes outside printable ASCII as \xNN.
std::string stampabile(const std::string& dati) {
    std::string out;
    for (const unsigned char c : dati) {
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            out += static_cast<char>(c);
        } else {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

// The decoded fields as the log shows them; the key by its number, 1 to 4.
std::vector<std::pair<const char*, std::optional<std::int32_t>>> campi(const Esito& e) {
    return {
        {"pulsiero", e.pulsiero}, {"tasto", e.tasto ? std::optional(*e.tasto + 1) : std::nullopt},
        {"minuto", e.minuto},     {"casuale", e.casuale},
        {"passo", e.passo},       {"memorizzato", e.passoMemorizzato}};
}

} // namespace

struct Server::Connessione {
    int fd = -1;
    std::string peer;
    std::string dati;
    Orologio::time_point scadenza;
};

std::string rigaTesto(const Esito& e, const std::string& ora) {
    std::string riga = ora + " " + e.peer + " \"" + stampabile(e.trama) + "\"";
    for (const auto& [nome, valore] : campi(e))
        riga += std::string(" ") + nome + "=" + (valore ? std::to_string(*valore) : "-");
    return riga + " -> " + e.verdetto;
}

std::string rigaJson(const Esito& e, const std::string& ora) {
    std::string riga = "{\"ora\":\"" + ora + "\",\"peer\":\"" + e.peer + "\",\"trama\":\"" +
                       stampabile(e.trama) + "\"";
    for (const auto& [nome, valore] : campi(e))
        riga += std::string(",\"") + nome + "\":" + (valore ? std::to_string(*valore) : "null");
    riga += std::string(",\"accettato\":") + (e.accettato ? "true" : "false");
    return riga + ",\"verdetto\":\"" + e.verdetto + "\"}";
}

Server::Server(Opzioni opzioni) : opzioni_(std::move(opzioni)), tracker_(opzioni_.politica) {
    if (!opzioni_.fileStato.empty()) {
        const auto testo = ini::readFile(opzioni_.fileStato);
        tracker_.load(rolling::Tracker::parse(testo.value_or("")));
        // Learning is on by default only on the first run, before any state was saved.
        tracker_.policy().learning = opzioni_.apprendimentoEsplicito || !testo;
    }
}

Server::~Server() {
    if (ascolto_ >= 0)
        ::close(ascolto_);
}

std::optional<std::string> Server::apri() {
    sockaddr_in indirizzo{};
    indirizzo.sin_family = AF_INET;
    indirizzo.sin_port = htons(opzioni_.porta);
    if (inet_pton(AF_INET, opzioni_.indirizzo.c_str(), &indirizzo.sin_addr) != 1)
        return "Indirizzo non valido: " + opzioni_.indirizzo + " (serve un indirizzo IPv4).";
    ascolto_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int si = 1;
    setsockopt(ascolto_, SOL_SOCKET, SO_REUSEADDR, &si, sizeof si);
    if (::bind(ascolto_, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo) != 0) {
        const int errore = errno;
        const std::string porta = std::to_string(opzioni_.porta);
        if (errore == EACCES)
            return "Impossibile ascoltare sulla porta " + porta +
                   ": le porte sotto la 1024 richiedono privilegi di amministratore.\n"
                   "Avviare il ricevitore con, per esempio, --porta 10100 e impostare la stessa "
                   "porta nel pulsiero (Opzioni > Configura il pulsiero > Ricevitore > Porta).";
        if (errore == EADDRINUSE)
            return "La porta " + porta + " è già in uso: sceglierne un'altra con --porta.";
        return "Impossibile ascoltare su " + opzioni_.indirizzo + ":" + porta + ": " +
               std::strerror(errore);
    }
    ::listen(ascolto_, 128);
    socklen_t lunghezza = sizeof indirizzo;
    getsockname(ascolto_, reinterpret_cast<sockaddr*>(&indirizzo), &lunghezza);
    porta_ = ntohs(indirizzo.sin_port);
    return std::nullopt;
}

void Server::accetta(std::vector<Connessione>& connessioni) {
    while (connessioni.size() < opzioni_.maxConnessioni) {
        sockaddr_in peer{};
        socklen_t lunghezza = sizeof peer;
        const int fd = accept4(ascolto_, reinterpret_cast<sockaddr*>(&peer), &lunghezza,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        char testo[INET_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET, &peer.sin_addr, testo, sizeof testo);
        connessioni.push_back({fd,
                               std::string(testo) + ":" + std::to_string(ntohs(peer.sin_port)),
                               {},
                               Orologio::now() + opzioni_.tempoMassimo});
    }
}

// false when the connection is finished (end of stream, error or too much data).
bool Server::leggi(Connessione& c, std::vector<Esito>& conclusi) {
    char buffer[256];
    for (;;) {
        const ssize_t n = ::read(c.fd, buffer, sizeof buffer);
        if (n > 0) {
            c.dati.append(buffer, static_cast<std::size_t>(n));
            if (c.dati.size() > opzioni_.maxByte) {
                c.dati.resize(opzioni_.maxByte);
                chiudi(c, "troppi dati", conclusi);
                return false;
            }
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return true;
        chiudi(c, nullptr, conclusi);
        return false;
    }
}

void Server::chiudi(Connessione& c, const char* motivo, std::vector<Esito>& conclusi) {
    ::close(c.fd);
    Esito esito;
    if (motivo) {
        esito.peer = c.peer;
        esito.trama = c.dati;
        esito.verdetto = std::string("rifiutato: ") + motivo;
    } else {
        esito = giudica(c.dati, c.peer);
    }
    conclusi.push_back(std::move(esito));
}

// What finished in this round joins the line; accepted frames make a new state to write. Nothing
// is logged or acted on before the state it produced is on disk, so a restart never lets an
// accepted step in again.
void Server::concludi(std::vector<Esito>& conclusi) {
    if (conclusi.empty())
        return;
    const bool accettati =
        std::any_of(conclusi.begin(), conclusi.end(), [](const Esito& e) { return e.accettato; });
    {
        std::lock_guard lock(mutex_);
        if (accettati && !opzioni_.fileStato.empty())
            daScrivere_ = tracker_.serialize();
        std::move(conclusi.begin(), conclusi.end(), std::back_inserter(inAttesa_));
        if (!daScrivere_ && !scrivendo_) {
            std::move(inAttesa_.begin(), inAttesa_.end(), std::back_inserter(pronti_));
            inAttesa_.clear();
        }
    }
    lavoro_.notify_one();
    conclusi.clear();
}

// Logs, in order, the results whose state is durable, and runs the program for accepted ones.
void Server::pubblica() {
    std::vector<Esito> esiti;
    {
        std::lock_guard lock(mutex_);
        esiti.swap(pronti_);
    }
    for (const auto& e : esiti) {
        if (e.accettato)
            avviaProgramma(e);
        if (registro_)
            registro_(e);
    }
}

// Writes the newest state, one durable write for however many frames produced it.
void Server::scrivi() {
    std::unique_lock lock(mutex_);
    for (;;) {
        lavoro_.wait(lock, [this] { return daScrivere_ || scrittoreFermo_; });
        if (!daScrivere_)
            return;
        const std::string stato = std::move(*daScrivere_);
        daScrivere_.reset();
        std::vector<Esito> lotto;
        lotto.swap(inAttesa_);
        scrivendo_ = true;
        lock.unlock();
        const bool salvato = ini::writeFileAtomically(opzioni_.fileStato, stato);
        lock.lock();
        scrivendo_ = false;
        for (auto& e : lotto) {
            if (e.accettato && !salvato)
                e.verdetto += " (attenzione: stato non salvato)";
            pronti_.push_back(std::move(e));
        }
        // Refusals that came meanwhile wait for nothing more.
        if (!daScrivere_) {
            std::move(inAttesa_.begin(), inAttesa_.end(), std::back_inserter(pronti_));
            inAttesa_.clear();
        }
        (void)!::write(sveglia_[1], "!", 1);
    }
}

Esito Server::giudica(const std::string& trama, const std::string& peer) {
    Esito e;
    e.peer = peer;
    e.trama = trama;
    const auto decodificata = frame::decode(trama, opzioni_.numeroRicevitore);
    if (const auto* rifiuto = std::get_if<frame::Refusal>(&decodificata)) {
        e.verdetto = "rifiutato: " + std::string(frame::describe(*rifiuto));
        return e;
    }
    const auto& d = std::get<frame::Decoded>(decodificata);
    e.pulsiero = d.transmitter;
    e.tasto = d.key;
    e.minuto = d.minuteOfDay;
    e.casuale = d.random;
    e.passo = d.step;
    const auto risultato =
        tracker_.evaluate(d.transmitter, d.step, d.minuteOfDay, minutoLocale(), secondiMonotoni());
    e.passoMemorizzato = risultato.storedStep;
    e.accettato = rolling::accepted(risultato.verdict);
    e.verdetto = std::string(e.accettato ? "" : "rifiutato: ") +
                 std::string(rolling::describe(risultato.verdict));
    if (e.accettato && !opzioni_.apprendimentoEsplicito)
        tracker_.policy().learning = false; // learning lasts until the first saved state
    return e;
}

void Server::avviaProgramma(const Esito& e) {
    if (opzioni_.programma.empty())
        return;
    const std::string tasto = std::to_string(*e.tasto + 1);
    const std::string pulsiero = std::to_string(*e.pulsiero);
    const std::string passo = std::to_string(*e.passo);
    std::vector<char*> argv{const_cast<char*>(opzioni_.programma.c_str()),
                            const_cast<char*>(tasto.c_str()), const_cast<char*>(pulsiero.c_str()),
                            const_cast<char*>(passo.c_str()), nullptr};
    pid_t pid = 0;
    posix_spawnp(&pid, opzioni_.programma.c_str(), nullptr, nullptr, argv.data(), environ);
}

void Server::esegui() {
    // Children are reaped by the system; a peer that hangs up never kills the receiver.
    std::signal(SIGCHLD, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    ::pipe2(sveglia_, O_CLOEXEC | O_NONBLOCK);
    scrittore_ = std::thread([this] { scrivi(); });
    std::vector<Connessione> connessioni;
    std::vector<Esito> conclusi;
    std::vector<pollfd> attese;
    while (!fermo_) {
        attese.clear();
        attese.push_back({sveglia_[0], POLLIN, 0});
        // At the cap, new connections wait in the kernel's queue until a slot frees.
        attese.push_back(
            {ascolto_,
             static_cast<short>(connessioni.size() < opzioni_.maxConnessioni ? POLLIN : 0), 0});
        for (const auto& c : connessioni)
            attese.push_back({c.fd, POLLIN, 0});
        ::poll(attese.data(), attese.size(), 100);
        char scarto[64];
        while (::read(sveglia_[0], scarto, sizeof scarto) > 0) {
        }

        const auto adesso = Orologio::now();
        std::vector<Connessione> ancora;
        ancora.reserve(connessioni.size());
        for (std::size_t i = 0; i < connessioni.size(); ++i) {
            auto& c = connessioni[i];
            if (attese[i + 2].revents != 0 && !leggi(c, conclusi))
                continue;
            if (adesso >= c.scadenza) {
                chiudi(c, "tempo scaduto", conclusi);
                continue;
            }
            ancora.push_back(std::move(c));
        }
        connessioni = std::move(ancora);
        concludi(conclusi);
        pubblica();
        if (attese[1].revents & POLLIN)
            accetta(connessioni);
    }
    for (auto& c : connessioni)
        ::close(c.fd);
    {
        std::lock_guard lock(mutex_);
        scrittoreFermo_ = true; // the writer still writes what is pending, then stops
    }
    lavoro_.notify_one();
    scrittore_.join();
    pubblica();
    ::close(sveglia_[0]);
    ::close(sveglia_[1]);
}

} // namespace pulsiero::ricevitore
