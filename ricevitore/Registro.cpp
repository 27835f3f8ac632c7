#include "ricevitore/Registro.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace pulsiero::ricevitore {

namespace {

// Refusals are summed up per address for this many addresses; beyond them, or once this many
// refusals were written whole within a second, per reason across all addresses, so that a flood
// from many addresses writes a few lines a second, not one per connection.
constexpr std::size_t kGruppiMassimi = 64;
constexpr std::size_t kRifiutiInteriPerSecondo = 20;
const std::string kPiuIndirizzi = "(più indirizzi)";

// Anything the peer sent, printable: bytes outside printable ASCII as \xNN, and so are blanks,
// quotes, '=', '<' and '>', so that no byte received can pass for a field or a verdict.
std::string stampabile(const std::string& dati) {
    std::string out;
    for (const unsigned char c : dati) {
        if (c > 0x20 && c < 0x7F && c != '\\' && c != '"' && c != '=' && c != '<' && c != '>') {
            out += static_cast<char>(c);
        } else {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

// A JSON string of the bytes read as Latin-1: every parser accepts it and the bytes come back.
std::string jsonTesto(const std::string& dati) {
    std::string out = "\"";
    for (const unsigned char c : dati) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char buf[7];
            std::snprintf(buf, sizeof buf, "\\u%04X", c);
            out += buf;
        }
    }
    return out + "\"";
}

// Our own texts are UTF-8 already; only quotes, backslashes and control bytes need escaping.
std::string jsonNostro(const std::string& testo) {
    std::string out = "\"";
    for (const unsigned char c : testo) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char buf[7];
            std::snprintf(buf, sizeof buf, "\\u%04X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

template <typename T> std::string numero(const std::optional<T>& v, const char* nulla) {
    return v ? std::to_string(*v) : nulla;
}

// The decoded fields as the log shows them; the key by its number, 1 to 4.
std::vector<std::pair<const char*, std::optional<std::int64_t>>> campi(const Esito& e) {
    const auto largo = [](const std::optional<std::int32_t>& v) {
        return v ? std::optional<std::int64_t>(*v) : std::nullopt;
    };
    return {{"pulsiero", largo(e.pulsiero)},
            {"tasto", e.tasto ? std::optional<std::int64_t>(*e.tasto + 1) : std::nullopt},
            {"minuto", largo(e.minuto)},
            {"casuale", largo(e.casuale)},
            {"passo", e.passo},
            {"memorizzato", e.passoMemorizzato}};
}

std::string ora(std::time_t quando) {
    std::tm locale{};
    localtime_r(&quando, &locale);
    char testo[32];
    std::strftime(testo, sizeof testo, "%Y-%m-%d %H:%M:%S", &locale);
    return testo;
}

} // namespace

std::string rigaTesto(const Esito& e, const std::string& ora) {
    if (e.ripetizioni > 0)
        return ora + " " + e.peer + " -> " + e.verdetto + " (altre " +
               std::to_string(e.ripetizioni) + " volte nell'ultimo secondo)";
    std::string riga = ora + " " + e.peer;
    if (e.motivo.rfind("programma", 0) == 0 || e.motivo == "righe_perse")
        return riga + " " + e.verdetto;
    riga += " \"" + stampabile(e.trama) + "\"";
    for (const auto& [nome, valore] : campi(e))
        riga += std::string(" ") + nome + "=" + numero(valore, "-");
    if (e.autenticato)
        riga += " autenticato";
    return riga + " -> " + e.verdetto;
}

std::string rigaJson(const Esito& e, const std::string& ora) {
    std::string riga = "{\"ora\":" + jsonNostro(ora) + ",\"peer\":" + jsonNostro(e.peer) +
                       ",\"trama\":" + jsonTesto(e.trama);
    for (const auto& [nome, valore] : campi(e))
        riga += std::string(",\"") + nome + "\":" + numero(valore, "null");
    riga += std::string(",\"accettato\":") + (e.accettato ? "true" : "false");
    riga += std::string(",\"autenticato\":") + (e.autenticato ? "true" : "false");
    riga += ",\"motivo\":" + jsonNostro(e.motivo);
    if (e.ripetizioni > 0)
        riga += ",\"ripetizioni\":" + std::to_string(e.ripetizioni);
    return riga + ",\"verdetto\":" + jsonNostro(e.verdetto) + "}";
}

CodaRegistro::CodaRegistro(int fd, bool json, std::size_t capacita)
    : fd_(fd), json_(json), capacita_(capacita), scrittore_([this] { lavora(); }) {}

CodaRegistro::~CodaRegistro() {
    {
        std::lock_guard lock(mutex_);
        fermo_ = true;
    }
    lavoro_.notify_one();
    scrittore_.join();
}

// An accepted frame's line is never dropped: the queue's bound holds refusals only, and accepted
// frames come no faster than their state is saved.
void CodaRegistro::aggiungi(Esito e) {
    {
        std::lock_guard lock(mutex_);
        if (coda_.size() >= capacita_ && !e.accettato) {
            ++perse_;
            return;
        }
        if (e.quando == 0)
            e.quando = std::time(nullptr);
        coda_.push_back(std::move(e));
        // The writer takes the whole queue at once: only the first line wakes it, so a flood
        // costs one wake-up per batch, not one per line.
        if (coda_.size() > 1)
            return;
    }
    lavoro_.notify_one();
}

void CodaRegistro::scriviRiga(const Esito& e) {
    std::string riga = (json_ ? rigaJson(e, ora(e.quando)) : rigaTesto(e, ora(e.quando))) + "\n";
    std::string_view resto = riga;
    while (!resto.empty()) {
        const ssize_t n = ::write(fd_, resto.data(), resto.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            ::usleep(1000);
            continue;
        }
        if (n <= 0)
            return; // the log is gone: the receiver goes on without it
        resto.remove_prefix(static_cast<std::size_t>(n));
    }
}

// A refusal like the last one from the same address in this second only adds to its count; past
// the bounds, one like it from any address does.
bool CodaRegistro::daRiassumere(const Esito& e) {
    if (e.accettato || e.indirizzo.empty())
        return false;
    const auto gruppo = gruppi_.find(e.indirizzo + '\n' + e.motivo);
    if (gruppo != gruppi_.end()) {
        ++gruppo->second.altri;
        gruppo->second.ultimo = e;
        return true;
    }
    const bool inondato = rifiutiInteri_ >= kRifiutiInteriPerSecondo;
    if (!inondato && gruppi_.size() < kGruppiMassimi) {
        gruppi_.emplace(e.indirizzo + '\n' + e.motivo, Gruppo{e, 0});
        ++rifiutiInteri_;
        return false;
    }
    auto [comune, nuovo] = gruppi_.try_emplace(kPiuIndirizzi + '\n' + e.motivo, Gruppo{e, 0});
    comune->second.ultimo = e;
    comune->second.ultimo.indirizzo = kPiuIndirizzi;
    if (nuovo) {
        ++rifiutiInteri_;
        return false;
    }
    ++comune->second.altri;
    return true;
}

// Once a second: a line per group with refusals left unwritten; a quiet group is forgotten.
void CodaRegistro::scriviRiepiloghi() {
    rifiutiInteri_ = 0;
    for (auto it = gruppi_.begin(); it != gruppi_.end();) {
        if (it->second.altri == 0) {
            it = gruppi_.erase(it);
            continue;
        }
        Esito riepilogo = it->second.ultimo;
        riepilogo.peer = riepilogo.indirizzo;
        riepilogo.ripetizioni = it->second.altri;
        scriviRiga(riepilogo);
        it->second.altri = 0;
        ++it;
    }
}

void CodaRegistro::lavora() {
    using Orologio = std::chrono::steady_clock;
    auto prossimoRiepilogo = Orologio::now() + std::chrono::seconds(1);
    std::unique_lock lock(mutex_);
    for (;;) {
        lavoro_.wait_until(lock, prossimoRiepilogo, [this] { return !coda_.empty() || fermo_; });
        std::deque<Esito> lotto;
        lotto.swap(coda_);
        const std::uint64_t perse = perse_;
        perse_ = 0;
        const bool fine = fermo_;
        lock.unlock();
        for (const auto& e : lotto)
            if (!daRiassumere(e))
                scriviRiga(e);
        if (perse > 0) {
            Esito avviso;
            avviso.peer = "pulsiero-ricevitore:";
            avviso.motivo = "righe_perse";
            avviso.verdetto = std::to_string(perse) +
                              " righe del registro perse (coda piena), tutte di trame rifiutate";
            avviso.quando = std::time(nullptr);
            scriviRiga(avviso);
        }
        if (fine || Orologio::now() >= prossimoRiepilogo) {
            scriviRiepiloghi();
            prossimoRiepilogo = Orologio::now() + std::chrono::seconds(1);
        }
        lock.lock();
        if (fine && coda_.empty())
            return;
    }
}

} // namespace pulsiero::ricevitore
