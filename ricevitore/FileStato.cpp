#include "ricevitore/FileStato.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace pulsiero::ricevitore {

namespace {

constexpr std::size_t kDimensioneMassima = 64 * 1024; // 128 transmitters take under 2 KiB

std::string errore(const std::string& chi, const std::string& perche) {
    return chi + ": " + perche;
}

// The system's own words for a failure, or the layer's where the system gave none.
std::string sistema(const file::Errore& e) {
    return e.sistema.empty() ? file::perche(e) : e.sistema;
}

} // namespace

std::string cartellaDi(const std::string& percorso) {
    return file::cartellaDi(percorso);
}

std::variant<FileStato, std::string> FileStato::apri(const std::string& percorso) {
    FileStato f;
    f.percorso_ = percorso;
    const auto barra = percorso.rfind('/');
    f.nome_ = barra == std::string::npos ? percorso : percorso.substr(barra + 1);
    if (f.nome_.empty() || f.nome_ == "." || f.nome_ == "..")
        return errore(percorso, "non è il nome di un file");
    const std::string cartella = cartellaDi(percorso);
    if (auto problema = f.apriCartella(cartella))
        return *problema;
    if (auto problema = f.prendiBlocco(cartella))
        return *problema;
    if (auto problema = f.leggi())
        return *problema;
    return f;
}

// The folder is opened once: every later name is resolved in it, so swapping the path for a
// link after the checks changes nothing.
std::optional<std::string> FileStato::apriCartella(const std::string& cartella) {
    auto aperta = apriCartellaNostra(cartella, "dello stato");
    if (auto* problema = std::get_if<std::string>(&aperta))
        return *problema;
    cartella_.emplace(std::move(std::get<file::Cartella>(aperta)));
    return std::nullopt;
}

std::optional<std::string> FileStato::prendiBlocco(const std::string& cartella) {
    const std::string nome = "." + nome_ + ".lock";
    auto preso = cartella_->blocca(nome, std::chrono::milliseconds(0), 0600);
    if (preso) {
        blocco_.emplace(std::move(*preso));
        return std::nullopt;
    }
    const auto& e = preso.errore();
    switch (e.causa) {
    case file::Causa::NonRegolare:
    case file::Causa::AltroUtente:
        return errore(cartella + "/" + nome, "il blocco dello stato non è un file nostro");
    case file::Causa::InUso:
        return errore(percorso_, "stato già in uso da un'altra copia del ricevitore");
    default:
        return errore(cartella + "/" + nome,
                      "impossibile aprire il blocco dello stato: " + sistema(e));
    }
}

// No file is a first start; anything else that is not our own complete state stops the start.
std::optional<std::string> FileStato::leggi() {
    auto letto = leggiFileNostro(*cartella_, nome_, percorso_, "lo stato", false);
    if (auto* problema = std::get_if<std::string>(&letto))
        return *problema;
    const auto& testo = std::get<std::optional<std::string>>(letto);
    if (!testo)
        return std::nullopt;
    auto stato = rolling::parseStateFile(*testo);
    if (const auto* problema = std::get_if<std::string>(&stato))
        return errore(percorso_, "stato non valido: " + *problema);
    letto_ = std::move(std::get<rolling::State>(stato));
    return std::nullopt;
}

bool FileStato::salva(std::string_view testo) const {
    return sostituisci(*cartella_, nome_, testo);
}

std::variant<file::Cartella, std::string> apriCartellaNostra(const std::string& cartella,
                                                             const std::string& di) {
    if (auto creata = file::creaCartelle(cartella, 0700); !creata)
        return errore(cartella,
                      "impossibile creare la cartella " + di + ": " + sistema(creata.errore()));
    auto aperta = file::Cartella::apri(cartella, {.soloNostra = true});
    if (aperta)
        return std::move(*aperta);
    const auto& e = aperta.errore();
    switch (e.causa) {
    case file::Causa::AltroUtente:
        return errore(cartella, "la cartella " + di + " appartiene a un altro utente");
    case file::Causa::ScrivibileDaAltri:
        return errore(cartella, "la cartella " + di + " è scrivibile dal gruppo o da altri utenti");
    default:
        return errore(cartella, "cartella " + di + " non accessibile: " + sistema(e));
    }
}

std::variant<std::optional<std::string>, std::string>
leggiFileNostro(const file::Cartella& cartella, const std::string& nome,
                const std::string& percorso, const std::string& soggetto, bool privato) {
    auto letto = cartella.leggi(nome, kDimensioneMassima, {.nostro = true, .privato = privato});
    if (letto)
        return std::optional<std::string>(std::move(*letto));
    const auto& e = letto.errore();
    switch (e.causa) {
    case file::Causa::Mancante:
        return std::optional<std::string>();
    case file::Causa::Collegamento:
        return errore(percorso, soggetto + " è un collegamento simbolico");
    case file::Causa::NonRegolare:
        return errore(percorso, soggetto + " non è un file regolare");
    case file::Causa::AltroUtente:
        return errore(percorso, soggetto + " appartiene a un altro utente");
    case file::Causa::AccessibileAdAltri: {
        char permessi[8];
        std::snprintf(permessi, sizeof permessi, "%04o", e.modo);
        return errore(percorso, soggetto + " è accessibile ad altri utenti (permessi " + permessi +
                                    "; usare chmod 600)");
    }
    case file::Causa::TroppoGrande:
        return errore(percorso, soggetto + " è troppo grande");
    default:
        return errore(percorso, "impossibile leggere " + soggetto + ": " + sistema(e));
    }
}

bool sostituisci(const file::Cartella& cartella, const std::string& nome, std::string_view testo) {
    return static_cast<bool>(cartella.sostituisci(nome, testo, {0600u}));
}

} // namespace pulsiero::ricevitore
