#include "core/FileSystem.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

// What the file layer's ports share: the words of its messages, the names of its temporaries.
namespace pulsiero::file {

namespace {

std::string conSistema(std::string parole, const std::string& sistema) {
    return sistema.empty() ? parole : parole + " (" + sistema + ")";
}

std::string ottale(unsigned modo) {
    char testo[8];
    std::snprintf(testo, sizeof testo, "%04o", modo & 07777u);
    return testo;
}

constexpr std::string_view kInfisso = ".pulsiero-";

// The number that field spells as std::to_string would, and nothing else ("007", "+7" and ""
// are not numbers of ours).
std::optional<std::uint64_t> numero(std::string_view campo) {
    std::uint64_t valore = 0;
    for (const char c : campo) {
        if (c < '0' || c > '9' || valore > (UINT64_MAX - 9) / 10)
            return std::nullopt;
        valore = valore * 10 + static_cast<unsigned>(c - '0');
    }
    if (campo.empty() || std::to_string(valore) != campo)
        return std::nullopt;
    return valore;
}

// Built by appending: GCC 12 warns wrongly (-Wrestrict) about "." + std::string.
std::string prefissoTemporaneo(std::string_view nome) {
    return std::string(".").append(nome).append(kInfisso);
}

} // namespace

std::string nomeTemporaneo(std::string_view nome, std::uint64_t processo) {
    static std::atomic<unsigned> contatore{0};
    const auto istante = std::chrono::steady_clock::now().time_since_epoch().count();
    return prefissoTemporaneo(nome)
        .append(std::to_string(processo))
        .append("-")
        .append(std::to_string(contatore++))
        .append("-")
        .append(std::to_string(istante % 1000000007));
}

std::optional<std::uint64_t> processoDelTemporaneo(std::string_view nome,
                                                   std::string_view candidato) {
    const std::string prefisso = prefissoTemporaneo(nome);
    if (!candidato.starts_with(prefisso))
        return std::nullopt;
    candidato.remove_prefix(prefisso.size());
    std::optional<std::uint64_t> processo;
    for (int campo = 0; campo < 3; ++campo) {
        const auto fine = campo < 2 ? candidato.find('-') : candidato.size();
        const auto valore =
            fine == std::string_view::npos ? std::nullopt : numero(candidato.substr(0, fine));
        if (!valore)
            return std::nullopt;
        if (campo == 0)
            processo = valore;
        candidato.remove_prefix(std::min(fine + 1, candidato.size()));
    }
    return processo;
}

std::string perche(const Errore& e) {
    switch (e.causa) {
    case Causa::Mancante:
        return "non esiste";
    case Causa::NonRegolare:
        return "non è un file regolare";
    case Causa::TroppoGrande:
        return "file troppo grande (più di " + std::to_string(e.limite) + " byte)";
    case Causa::Negato:
        return "accesso negato";
    case Causa::AltroUtente:
        return "appartiene a un altro utente";
    case Causa::AccessibileAdAltri:
        return "accessibile ad altri utenti (permessi " + ottale(e.modo) + "; usare chmod 600)";
    case Causa::ScrivibileDaAltri:
        return "cartella scrivibile dal gruppo o da altri utenti";
    case Causa::Collegamento:
        return "è un collegamento simbolico";
    case Causa::Esistente:
        return "esiste già";
    case Causa::InUso:
        return "bloccato da un altro programma da oltre " +
               (e.attesa.count() < 1000 ? std::to_string(e.attesa.count()) + " ms"
                                        : std::to_string(e.attesa.count() / 1000) + " s");
    case Causa::SpazioEsaurito:
        return "spazio su disco esaurito";
    case Causa::Sistema:
        break;
    }
    return conSistema("errore del sistema", e.sistema);
}

std::string messaggio(const Errore& e) {
    return e.percorso + ": " + perche(e);
}

} // namespace pulsiero::file
