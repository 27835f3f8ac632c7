#include "ricevitore/ServerRicevitore.h"

#include "core/Autenticazione.h"
#include "core/Decodifica.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pulsiero::ricevitore {

namespace {

using Orologio = std::chrono::steady_clock;

constexpr rlim_t kFileRiservati = 64; // log, state, lock, pipes, listeners, spawning
constexpr auto kPausaDopoEmfile = std::chrono::milliseconds(100);
constexpr std::size_t kInAttesaMassimi = 4096;
constexpr int kAccettiPerGiro = 256;
constexpr int kTolleranzaConChiave = 10; // minutes
constexpr int kPorteDaProvare = 16;

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

// A line with no frame decoded: a connection refused outright, or a program's fate.
Esito senzaTrama(std::string peer, std::string indirizzo, std::string verdetto,
                 std::string motivo) {
    Esito e;
    e.peer = std::move(peer);
    e.indirizzo = std::move(indirizzo);
    e.verdetto = std::move(verdetto);
    e.motivo = std::move(motivo);
    return e;
}

void nonSalvato(Esito& e) {
    if (!e.accettato)
        return;
    e.accettato = false;
    e.verdetto = "rifiutato: stato non salvato";
    e.motivo = "stato_non_salvato";
}

} // namespace

// How a peer is shown, and the key its limits are counted under: the IPv4 address, or the /64
// prefix of an IPv6 one (a single host commonly holds a whole /64). Outside the anonymous
// namespace, as a member of Server::Connessione has this type.
struct Mittente {
    std::string peer;
    std::string indirizzo;
    std::string chiave;
};

namespace {

Mittente mittente(const sockaddr_storage& a) {
    char testo[INET6_ADDRSTRLEN] = "?";
    if (a.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(a);
        inet_ntop(AF_INET6, &v6.sin6_addr, testo, sizeof testo);
        in6_addr prefisso = v6.sin6_addr;
        std::memset(prefisso.s6_addr + 8, 0, 8);
        char chiave[INET6_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET6, &prefisso, chiave, sizeof chiave);
        return {"[" + std::string(testo) + "]:" + std::to_string(ntohs(v6.sin6_port)), testo,
                std::string(chiave) + "/64"};
    }
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(a);
    inet_ntop(AF_INET, &v4.sin_addr, testo, sizeof testo);
    return {std::string(testo) + ":" + std::to_string(ntohs(v4.sin_port)), testo, testo};
}

} // namespace

struct Server::Connessione {
    int fd = -1;
    Mittente da;
    std::string dati;
    Orologio::time_point scadenza;
};

Server::Server(Opzioni opzioni)
    : opzioni_(std::move(opzioni)), tracker_(opzioni_.politica),
      tentativi_(opzioni_.tentativi, opzioni_.blocco),
      perPulsiero_(opzioni_.tentativi, opzioni_.blocco),
      programmi_(opzioni_.programma, opzioni_.maxProgrammi, opzioni_.limiteProgramma) {}

Server::~Server() {
    for (const auto& a : ascolti_)
        ::close(a.fd);
    for (const int fd : sveglia_)
        if (fd >= 0)
            ::close(fd);
}

bool Server::apprendimentoAperto() const {
    return tracker_.learning(secondiMonotoni());
}

std::optional<std::string> Server::apri() {
    if (auto problema = apriStato())
        return problema;
    if (auto problema = apriChiavi())
        return problema;
    if (auto problema = scriviStatoIniziale())
        return problema;
    // The writer wakes the loop through this pipe: without it no result would ever be logged.
    if (::pipe2(sveglia_, O_CLOEXEC | O_NONBLOCK) != 0)
        return std::string("impossibile creare la pipe interna: ") + std::strerror(errno);
    if (auto problema = controllaLimiteFile())
        return problema;
    return apriAscolti();
}

// Every listener shares one port. With port 0 the system picks it for the first address, and
// another program may hold it on a later one: then all are opened again on a new port, while the
// ports already tried stay held so that the system cannot hand one of them back.
std::optional<std::string> Server::apriAscolti() {
    std::vector<int> provate;
    std::optional<std::string> problema;
    for (int tentativo = 0; tentativo < kPorteDaProvare; ++tentativo) {
        portaOccupata_ = false;
        for (const auto& indirizzo : opzioni_.indirizzi)
            if ((problema = apriAscolto(indirizzo)))
                break;
        if (!problema || opzioni_.porta != 0 || ascolti_.size() < 2 || !portaOccupata_)
            break;
        provate.push_back(ascolti_.front().fd);
        for (auto a = ascolti_.begin() + 1; a != ascolti_.end(); ++a)
            ::close(a->fd);
        ascolti_.clear();
    }
    for (const int fd : provate)
        ::close(fd);
    return problema;
}

// Read after the state, whose folder is checked first. Keyed are the transmitters the state marks
// so and those with a key: one marked but without its key is refused, never taken as plain. A
// keyed frame is worthless once withheld for a few minutes only if the minute is checked closely.
std::optional<std::string> Server::apriChiavi() {
    if (!opzioni_.fileChiavi.empty()) {
        auto aperto = FileChiavi::apri(opzioni_.fileChiavi);
        if (auto* problema = std::get_if<std::string>(&aperto))
            return *problema;
        chiavi_ = std::get<FileChiavi>(aperto).chiavi();
    }
    auto& conChiave = tracker_.policy().keyed;
    for (const auto& [numero, chiave] : chiavi_)
        conChiave.insert(numero);
    if (conChiave.empty())
        return std::nullopt;
    const auto tolleranza = opzioni_.politica.toleranceMinutes;
    if (!tolleranza)
        return "--tolleranza no non è ammessa con pulsieri abbinati a una chiave (" +
               opzioni_.fileChiavi + "): il minuto è ciò che rende inutile una trama trattenuta";
    if (*tolleranza > kTolleranzaConChiave)
        return "--tolleranza " + std::to_string(*tolleranza) + " supera i " +
               std::to_string(kTolleranzaConChiave) +
               " minuti ammessi con pulsieri abbinati a una chiave: una trama trattenuta "
               "resterebbe valida troppo a lungo";
    for (const auto numero : conChiave)
        if (!chiavi_.count(numero))
            avvisi_.push_back("pulsiero " + std::to_string(numero) + ": chiave mancante in " +
                              opzioni_.fileChiavi +
                              "; le sue trame sono rifiutate finché non è abbinato di nuovo "
                              "(--abbina) o dimenticato (--dimentica)");
    return std::nullopt;
}

// Learning opens on request, or on a first start with no state; a state that exists but cannot
// be read, or cannot be written, stops the start-up rather than forgetting what was learnt.
std::optional<std::string> Server::apriStato() {
    bool primoAvvio = true;
    if (!opzioni_.fileStato.empty()) {
        auto aperto = FileStato::apri(opzioni_.fileStato);
        if (auto* problema = std::get_if<std::string>(&aperto))
            return *problema;
        stato_.emplace(std::move(std::get<FileStato>(aperto)));
        primoAvvio = !stato_->letto();
        const auto letto = stato_->letto().value_or(rolling::State{});
        durevole_ = letto.steps;
        tracker_.load(durevole_);
        tracker_.policy().keyed.insert(letto.keyed.begin(), letto.keyed.end());
    }
    if (opzioni_.apprendimento || primoAvvio)
        tracker_.learnUntil(secondiMonotoni() + opzioni_.apprendimentoSecondi);
    return std::nullopt;
}

// The state is written once at start-up, keyed marks included: a folder where it cannot be
// written stops the start rather than the first accepted frame.
std::optional<std::string> Server::scriviStatoIniziale() {
    if (stato_ && !stato_->salva(rolling::serialize(durevole_, tracker_.policy().keyed)))
        return opzioni_.fileStato + ": impossibile scrivere lo stato: " + std::strerror(errno);
    return std::nullopt;
}

// The cap on connections must fit under the limit on open files, with room for everything else.
std::optional<std::string> Server::controllaLimiteFile() {
    rlimit limite{};
    if (::getrlimit(RLIMIT_NOFILE, &limite) != 0)
        return std::nullopt;
    const rlim_t servono = opzioni_.maxConnessioni + opzioni_.indirizzi.size() + kFileRiservati;
    if (limite.rlim_cur != RLIM_INFINITY && limite.rlim_cur < servono) {
        if (limite.rlim_max != RLIM_INFINITY && limite.rlim_max < servono)
            return "--max-connessioni " + std::to_string(opzioni_.maxConnessioni) +
                   " supera il limite dei file aperti (" + std::to_string(limite.rlim_max) +
                   ", di cui " + std::to_string(kFileRiservati) + " riservati al ricevitore)";
        limite.rlim_cur = servono;
        if (::setrlimit(RLIMIT_NOFILE, &limite) != 0)
            return "impossibile alzare il limite dei file aperti a " + std::to_string(servono);
    }
    return std::nullopt;
}

std::optional<std::string> Server::apriAscolto(const std::string& testo) {
    std::string indirizzo = testo;
    if (indirizzo.size() > 2 && indirizzo.front() == '[' && indirizzo.back() == ']')
        indirizzo = indirizzo.substr(1, indirizzo.size() - 2);
    // Every listener shares the port of the first, also when the system picked it.
    const std::uint16_t porta = ascolti_.empty() ? opzioni_.porta : porta_;
    sockaddr_storage a{};
    socklen_t lunghezza = 0;
    auto& v4 = reinterpret_cast<sockaddr_in&>(a);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(a);
    if (inet_pton(AF_INET, indirizzo.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(porta);
        lunghezza = sizeof v4;
    } else if (inet_pton(AF_INET6, indirizzo.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(porta);
        lunghezza = sizeof v6;
    } else {
        return "Indirizzo non valido: " + testo + " (serve un indirizzo IPv4 o IPv6).";
    }
    const int fd = ::socket(a.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return "Impossibile aprire un socket per " + testo + ": " + std::strerror(errno);
    ascolti_.push_back({fd, a.ss_family});
    const int si = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &si, sizeof si);
    if (a.ss_family == AF_INET6) // each address given is a listener of its own
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &si, sizeof si);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), lunghezza) != 0) {
        const int errore = errno;
        const std::string numero = std::to_string(porta);
        if (errore == EACCES)
            return "Impossibile ascoltare sulla porta " + numero +
                   ": le porte sotto la 1024 richiedono privilegi di amministratore.\n"
                   "Avviare il ricevitore con, per esempio, --porta 10100 e impostare la stessa "
                   "porta nel pulsiero (Opzioni > Configura il pulsiero > Ricevitore > Porta).";
        portaOccupata_ = errore == EADDRINUSE;
        if (errore == EADDRINUSE)
            return "La porta " + numero + " è già in uso su " + testo +
                   ": sceglierne un'altra con --porta.";
        return "Impossibile ascoltare su " + testo + " porta " + numero + ": " +
               std::strerror(errore);
    }
    if (::listen(fd, SOMAXCONN) != 0)
        return "Impossibile ascoltare su " + testo + " porta " + std::to_string(porta) + ": " +
               std::strerror(errno);
    if (ascolti_.size() == 1) {
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &lunghezza);
        porta_ = ntohs(a.ss_family == AF_INET6 ? v6.sin6_port : v4.sin_port);
    }
    return std::nullopt;
}

// At the cap, the oldest connection makes room: a genuine transmitter sends its frame at once,
// so the oldest is the one that has sent least. At most half the cap is taken per round, so a
// connection is always read at least once before it can be pushed out.
void Server::accetta(const Ascolto& ascolto, std::vector<Connessione>& connessioni,
                     std::vector<Esito>& conclusi, std::size_t& accettate) {
    const std::size_t perGiro = std::max<std::size_t>(1, opzioni_.maxConnessioni / 2);
    // Connections refused outright cost little, but a flood of them must not starve the rest.
    for (int chiamate = 0; accettate < perGiro && chiamate < kAccettiPerGiro; ++chiamate) {
        sockaddr_storage peer{};
        socklen_t lunghezza = sizeof peer;
        const int fd = accept4(ascolto.fd, reinterpret_cast<sockaddr*>(&peer), &lunghezza,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        const auto adesso = Orologio::now();
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                pausaAccettazione_ = adesso + kPausaDopoEmfile; // rather than spin on it
            if (errno == ECONNABORTED || errno == EINTR)
                continue;
            return;
        }
        Connessione c{fd, mittente(peer), {}, adesso + opzioni_.tempoMassimo};
        // The address's older connections are read first: one transmitter's frames are judged
        // in the order it sent them, and none is pushed out by the cap below unread.
        std::erase_if(connessioni, [&](Connessione& altra) {
            return altra.da.chiave == c.da.chiave && !leggi(altra, conclusi);
        });
        // Every connection is read, even from a blocked address: a frame with the right MAC is
        // judged whoever shares its address. At the cap, the address's oldest connection goes.
        if (aperte_[c.da.chiave] >= opzioni_.maxPerIndirizzo)
            chiudiPiuVecchia(connessioni, c.da.chiave, conclusi);
        ++aperte_[c.da.chiave];
        if (connessioni.size() >= opzioni_.maxConnessioni) {
            chiudi(connessioni.front(), "troppe connessioni", "troppe_connessioni", conclusi);
            connessioni.erase(connessioni.begin());
        }
        connessioni.push_back(std::move(c));
        if (!leggi(connessioni.back(), conclusi)) // the frame is often there already
            connessioni.pop_back();
        else // only a connection left open takes a slot from this round's share
            ++accettate;
    }
}

void Server::chiudiPiuVecchia(std::vector<Connessione>& connessioni, const std::string& chiave,
                              std::vector<Esito>& conclusi) {
    const auto piuVecchia =
        std::find_if(connessioni.begin(), connessioni.end(),
                     [&](const Connessione& c) { return c.da.chiave == chiave; });
    if (piuVecchia == connessioni.end())
        return;
    chiudi(*piuVecchia, "troppe connessioni da questo indirizzo", "troppe_connessioni", conclusi);
    connessioni.erase(piuVecchia);
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
                chiudi(c, "troppi dati", "troppi_dati", conclusi);
                return false;
            }
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return true;
        chiudi(c, nullptr, nullptr, conclusi);
        return false;
    }
}

void Server::chiudi(Connessione& c, const char* motivo, const char* codice,
                    std::vector<Esito>& conclusi) {
    ::close(c.fd);
    const auto aperte = aperte_.find(c.da.chiave);
    if (aperte != aperte_.end() && --aperte->second == 0)
        aperte_.erase(aperte);
    Esito esito;
    if (motivo) {
        esito.peer = c.da.peer;
        esito.indirizzo = c.da.indirizzo;
        esito.trama = c.dati;
        esito.verdetto = std::string("rifiutato: ") + motivo;
        esito.motivo = codice;
    } else {
        esito = giudica(c.dati, c.da.peer, c.da.chiave);
        esito.indirizzo = c.da.indirizzo;
    }
    if (!esito.accettato && esito.motivo != "troppi_tentativi" && !esito.autenticato &&
        esito.motivo != "programma_non_avviato")
        tentativi_.rifiuto(c.da.chiave, Orologio::now());
    conclusi.push_back(std::move(esito));
}

// What finished in this round joins the line; accepted frames make a new state to write. Nothing
// is logged or acted on before the state it produced is on disk, so a restart never lets an
// accepted step in again.
void Server::concludi(std::vector<Esito>& conclusi) {
    if (conclusi.empty())
        return;
    {
        std::lock_guard lock(mutex_);
        if (fallito_) { // judged against a state that never reached the disk
            std::for_each(conclusi.begin(), conclusi.end(), nonSalvato);
            tracker_.load(durevole_);
            fallito_ = false;
        }
        const bool accettati = std::any_of(conclusi.begin(), conclusi.end(),
                                           [](const Esito& e) { return e.accettato; });
        if (accettati && stato_)
            daScrivere_ = tracker_.steps();
        // While a slow disk holds the line, a flood of refusals must not pile up behind it:
        // past a bound they are logged at once, out of order, as they depend on no write.
        if (inAttesa_.size() >= kInAttesaMassimi) {
            const auto rifiutati = std::stable_partition(
                conclusi.begin(), conclusi.end(), [](const Esito& e) { return e.accettato; });
            std::move(rifiutati, conclusi.end(), std::back_inserter(pronti_));
            conclusi.erase(rifiutati, conclusi.end());
        }
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
        if (fallito_) {
            tracker_.load(durevole_);
            fallito_ = false;
        }
        esiti.swap(pronti_);
    }
    for (auto& e : esiti) {
        if (e.accettato)
            avviaProgramma(e);
        else if (e.prenotato)
            programmi_.rilascia(*e.pulsiero, e.autenticato);
        registra(std::move(e));
    }
}

// Writes the newest state, one durable write for however many frames produced it. When the
// write fails, every accepted frame that depended on it is refused and the loop returns to the
// last state on disk.
void Server::scrivi() {
    std::unique_lock lock(mutex_);
    for (;;) {
        lavoro_.wait(lock, [this] { return daScrivere_ || scrittoreFermo_; });
        if (!daScrivere_)
            return;
        const auto stato = std::move(*daScrivere_);
        daScrivere_.reset();
        std::vector<Esito> lotto;
        lotto.swap(inAttesa_);
        scrivendo_ = true;
        lock.unlock();
        const bool salvato = stato_->salva(rolling::serialize(stato, tracker_.policy().keyed));
        lock.lock();
        scrivendo_ = false;
        if (salvato) {
            durevole_ = stato;
        } else {
            fallito_ = true;
            daScrivere_.reset();
            std::for_each(lotto.begin(), lotto.end(), nonSalvato);
            std::for_each(inAttesa_.begin(), inAttesa_.end(), nonSalvato);
        }
        std::move(lotto.begin(), lotto.end(), std::back_inserter(pronti_));
        // Refusals that came meanwhile wait for nothing more.
        if (!daScrivere_) {
            std::move(inAttesa_.begin(), inAttesa_.end(), std::back_inserter(pronti_));
            inAttesa_.clear();
        }
        (void)!::write(sveglia_[1], "!", 1);
    }
}

Esito Server::giudica(const std::string& trama, const std::string& peer,
                      const std::string& chiave) {
    Esito e;
    e.peer = peer;
    e.trama = trama;
    const auto adesso = Orologio::now();
    const auto bloccato = [&](const char* verdetto, const char* motivo) {
        e.verdetto = verdetto;
        e.motivo = motivo;
        return e;
    };
    // The frame's own part comes first: it names the transmitter, and so the key to check with.
    const auto decodificata =
        frame::decode(std::string_view(trama).substr(0, trama.find(autenticazione::kSeparatore)),
                      opzioni_.numeroRicevitore);
    if (const auto* rifiuto = std::get_if<frame::Refusal>(&decodificata)) {
        if (tentativi_.bloccato(chiave, adesso))
            return bloccato("rifiutato: troppi tentativi", "troppi_tentativi");
        e.verdetto = "rifiutato: " + std::string(frame::describe(*rifiuto));
        e.motivo = frame::code(*rifiuto);
        return e;
    }
    const auto& d = std::get<frame::Decoded>(decodificata);
    e.pulsiero = d.transmitter;
    e.tasto = d.key;
    e.minuto = d.minuteOfDay;
    e.casuale = d.random;
    e.passo = d.step;
    const bool autentica = giudicaChiave(trama, d, e);
    // Blocks stop only what nobody authenticated: a frame with its transmitter's MAC gets through.
    const std::string pulsiero = "pulsiero " + std::to_string(d.transmitter);
    if (!e.autenticato && tentativi_.bloccato(chiave, adesso))
        return bloccato("rifiutato: troppi tentativi", "troppi_tentativi");
    if (!e.autenticato && perPulsiero_.bloccato(pulsiero, adesso))
        return bloccato("rifiutato: troppi tentativi per questo pulsiero",
                        "troppi_tentativi_pulsiero");
    if (autentica)
        valuta(d, e, chiave);
    if (!e.accettato)
        perPulsiero_.rifiuto(pulsiero, adesso);
    return e;
}

// The counter's verdict, once a program slot is sure: a frame whose program could not start is
// refused before it uses its step, so the next press still works.
void Server::valuta(const frame::Decoded& d, Esito& e, const std::string& origine) {
    if (!opzioni_.programma.empty()) {
        if (auto problema = programmi_.prenota(d.transmitter, e.autenticato)) {
            e.verdetto = "rifiutato: " + *problema;
            e.motivo = "programma_non_avviato";
            return;
        }
        e.prenotato = true;
    }
    const auto risultato =
        tracker_.evaluate(d.transmitter, static_cast<rolling::Counter>(*e.passo), d.minuteOfDay,
                          minutoLocale(), secondiMonotoni(), origine);
    if (risultato.storedStep)
        e.passoMemorizzato = *risultato.storedStep;
    e.accettato = rolling::accepted(risultato.verdict);
    e.verdetto = std::string(e.accettato ? "" : "rifiutato: ") +
                 std::string(rolling::describe(risultato.verdict));
    e.motivo = rolling::code(risultato.verdict);
    if (e.prenotato && !e.accettato) {
        programmi_.rilascia(d.transmitter, e.autenticato);
        e.prenotato = false;
    }
}

// The authentication part against the transmitter's key. A keyed transmitter's frame counts only
// with a right MAC, and then its step is the 32-bit counter (wrap count and step); a frame of a
// transmitter without a key must carry no authentication part. false: refused, e says why.
bool Server::giudicaChiave(const std::string& trama, const frame::Decoded& d, Esito& e) const {
    const auto rifiuta = [&](const char* verdetto, const char* motivo) {
        if (const auto passo = tracker_.steps().find(d.transmitter);
            passo != tracker_.steps().end())
            e.passoMemorizzato = passo->second;
        e.verdetto = std::string("rifiutato: ") + verdetto;
        e.motivo = motivo;
        return false;
    };
    const bool conParte = autenticazione::haParteAutenticazione(trama);
    const bool conChiave = tracker_.policy().keyed.count(d.transmitter) > 0;
    const auto chiave = chiavi_.find(d.transmitter);
    if (!conChiave)
        return conParte ? rifiuta("pulsiero senza chiave", "senza_chiave") : true;
    if (chiave == chiavi_.end())
        return rifiuta("chiave mancante", "chiave_mancante");
    if (!conParte)
        return rifiuta("trama non autenticata", "non_autenticata");
    const auto letta = autenticazione::leggiTramaAutenticata(trama, chiave->second);
    if (!letta || !letta->autentica)
        return rifiuta("autenticazione fallita", "autenticazione_fallita");
    e.autenticato = true;
    e.passo = autenticazione::contatore(letta->ciclo, static_cast<std::uint16_t>(d.step));
    return true;
}

void Server::registra(Esito e) {
    if (registro_)
        registro_(std::move(e));
}

void Server::avviaProgramma(const Esito& e) {
    if (!e.prenotato)
        return;
    const auto problema = programmi_.avvia(
        *e.pulsiero, e.autenticato,
        {std::to_string(*e.tasto + 1), std::to_string(*e.pulsiero), std::to_string(*e.passo)});
    if (problema)
        registra(senzaTrama("--esegui", {}, *problema, "programma_non_avviato"));
}

void Server::controllaProgrammi() {
    if (programmi_.inEsecuzione() == 0)
        return;
    for (auto& riga : programmi_.controlla(Orologio::now()))
        registra(senzaTrama("--esegui", {}, std::move(riga), "programma"));
}

void Server::esegui() {
    // A peer that hangs up never kills the receiver, nor does a file-size limit (a failed save);
    // children are reaped one by one.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    scrittore_ = std::thread([this] { scrivi(); });
    std::vector<Connessione> connessioni;
    std::vector<Esito> conclusi;
    std::vector<pollfd> attese;
    while (!fermo_) {
        auto adesso = Orologio::now();
        const bool accetto = adesso >= pausaAccettazione_;
        attese.clear();
        attese.push_back({sveglia_[0], POLLIN, 0});
        for (const auto& a : ascolti_)
            attese.push_back({a.fd, static_cast<short>(accetto ? POLLIN : 0), 0});
        for (const auto& c : connessioni)
            attese.push_back({c.fd, POLLIN, 0});
        auto attesa = std::chrono::milliseconds(100);
        if (!connessioni.empty()) // the oldest connection expires first
            attesa = std::clamp(
                std::chrono::ceil<std::chrono::milliseconds>(connessioni.front().scadenza - adesso),
                std::chrono::milliseconds(0), attesa);
        ::poll(attese.data(), attese.size(), static_cast<int>(attesa.count()));
        char scarto[64];
        while (::read(sveglia_[0], scarto, sizeof scarto) > 0) {
        }

        adesso = Orologio::now();
        const std::size_t primaConnessione = 1 + ascolti_.size();
        std::vector<Connessione> ancora;
        ancora.reserve(connessioni.size());
        for (std::size_t i = 0; i < connessioni.size(); ++i) {
            auto& c = connessioni[i];
            if (attese[primaConnessione + i].revents != 0 && !leggi(c, conclusi))
                continue;
            if (adesso >= c.scadenza) {
                chiudi(c, "tempo scaduto", "tempo_scaduto", conclusi);
                continue;
            }
            ancora.push_back(std::move(c));
        }
        connessioni = std::move(ancora);
        std::size_t accettate = 0;
        for (std::size_t i = 0; i < ascolti_.size(); ++i)
            if (attese[1 + i].revents & POLLIN)
                accetta(ascolti_[i], connessioni, conclusi, accettate);
        concludi(conclusi);
        pubblica();
        controllaProgrammi();
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
}

} // namespace pulsiero::ricevitore
