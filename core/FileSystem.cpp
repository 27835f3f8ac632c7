#include "core/FileSystem.h"

#include <cstdio>

// What the file layer's ports share: the words of its messages.
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

} // namespace

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
