// pulsiero-ricevitore: a reference receiver for the frames of Pulsiero Rolling Code.
#include "core/FileSystem.h"
#include "core/IniFile.h"
#include "ricevitore/RigaDiComando.h"
#include "ricevitore/ServerRicevitore.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

using namespace pulsiero::ricevitore;

int fallisce(const std::string& testo) {
    std::fprintf(stderr, "pulsiero-ricevitore: %s\n", testo.c_str());
    return 1;
}

// The state, held under its lock: pairing and forgetting never run beside a receiver.
std::variant<FileStato, int> apriStatoFermo(const Opzioni& o) {
    auto aperto = FileStato::apri(o.fileStato);
    if (auto* problema = std::get_if<std::string>(&aperto))
        return fallisce(*problema + (problema->find("già in uso") != std::string::npos
                                         ? " (fermare il ricevitore, poi riprovare)"
                                         : ""));
    return std::move(std::get<FileStato>(aperto));
}

// The state under its lock, and the keys: what pairing and forgetting change together.
struct FileFermi {
    FileStato stato;
    FileChiavi chiavi;
};

std::variant<FileFermi, int> apriFileFermi(const Opzioni& o) {
    auto stato = apriStatoFermo(o);
    if (auto* codice = std::get_if<int>(&stato))
        return *codice;
    auto chiavi = FileChiavi::apri(o.fileChiavi);
    if (auto* problema = std::get_if<std::string>(&chiavi))
        return fallisce(*problema);
    return FileFermi{std::move(std::get<FileStato>(stato)),
                     std::move(std::get<FileChiavi>(chiavi))};
}

// Pairs a transmitter: the state first (counter 0, marked keyed), then the key. A failed key
// write puts the state back, so no key is ever active that was not printed; the counter 0 lets
// the first press after pasting the lines be accepted at once.
int abbinaPulsiero(const Opzioni& o, std::int32_t numero) {
    auto aperti = apriFileFermi(o);
    if (auto* codice = std::get_if<int>(&aperti))
        return *codice;
    auto& [stato, file] = std::get<FileFermi>(aperti);
    const auto chiave = pulsiero::autenticazione::chiaveCasuale();
    if (!chiave)
        return fallisce("impossibile ottenere una chiave casuale dal sistema");
    const auto prima = stato.letto().value_or(pulsiero::rolling::State{});
    auto dopo = prima;
    dopo.steps[numero] = 0;
    dopo.keyed.insert(numero);
    for (const auto& [n, k] : file.chiavi())
        dopo.keyed.insert(n);
    if (!stato.salva(pulsiero::rolling::serialize(dopo.steps, dopo.keyed)))
        return fallisce(o.fileStato + ": impossibile scrivere lo stato: " + std::strerror(errno));
    auto nuove = file.chiavi();
    nuove[numero] = *chiave;
    if (!file.salva(nuove)) {
        const std::string perche = std::strerror(errno);
        const bool ripristinato =
            stato.salva(pulsiero::rolling::serialize(prima.steps, prima.keyed));
        return fallisce(o.fileChiavi + ": impossibile scrivere le chiavi: " + perche +
                        (ripristinato ? "; stato lasciato com'era"
                                      : "; lo stato segna il pulsiero come abbinato: riprovare"));
    }
    std::printf("[Pulsiero]\nChiave=%s\nCiclo=0\nPasso=0\n",
                pulsiero::autenticazione::scriviChiave(*chiave).c_str());
    std::fflush(stdout);
    std::fprintf(stderr,
                 "pulsiero-ricevitore: pulsiero %d abbinato, chiave in %s. Copiare le righe qui "
                 "sopra nella sezione [Pulsiero] del file delle impostazioni del pulsiero %d.\n",
                 numero, o.fileChiavi.c_str(), numero);
    return 0;
}

// Forgets a transmitter: its counter and keyed mark from the state, then its key. Afterwards it
// is learnt again, or paired again, like a new one.
int dimenticaPulsiero(const Opzioni& o, std::int32_t numero) {
    auto aperti = apriFileFermi(o);
    if (auto* codice = std::get_if<int>(&aperti))
        return *codice;
    auto& [stato, file] = std::get<FileFermi>(aperti);
    auto dopo = stato.letto().value_or(pulsiero::rolling::State{});
    const bool noto =
        dopo.steps.erase(numero) + dopo.keyed.erase(numero) + file.chiavi().count(numero) > 0;
    if (!noto)
        return fallisce("pulsiero " + std::to_string(numero) +
                        " sconosciuto: niente da dimenticare");
    if (!stato.salva(pulsiero::rolling::serialize(dopo.steps, dopo.keyed)))
        return fallisce(o.fileStato + ": impossibile scrivere lo stato: " + std::strerror(errno));
    auto nuove = file.chiavi();
    if (nuove.erase(numero) && !file.salva(nuove))
        return fallisce(o.fileChiavi + ": impossibile togliere la chiave: " + std::strerror(errno) +
                        " (le trame del pulsiero restano rifiutate)");
    std::fprintf(stderr,
                 "pulsiero-ricevitore: pulsiero %d dimenticato; si associa di nuovo con "
                 "--apprendimento o --abbina %d.\n",
                 numero, numero);
    return 0;
}

Server* attivo = nullptr;

} // namespace

int main(int argc, char** argv) {
    // A full disk or a file-size limit is a failed save, handled as such, never a crash.
    pulsiero::file::ignoraSegnaleDimensione();
    std::signal(SIGPIPE, SIG_IGN);
    auto letta = leggiRigaDiComando(argc, argv);
    if (auto* errore = std::get_if<std::string>(&letta)) {
        std::fprintf(stderr, "pulsiero-ricevitore: %s\nUsare --help per l'elenco delle opzioni.\n",
                     errore->c_str());
        return 2;
    }
    const auto& riga = std::get<RigaDiComando>(letta);
    const auto& opzioni = riga.opzioni;
    switch (riga.azione) {
    case RigaDiComando::Azione::Aiuto:
        std::fputs(kAiuto, stdout);
        return 0;
    case RigaDiComando::Azione::Versione:
        std::printf("pulsiero-ricevitore %s\n", PULSIERO_VERSIONE);
        return 0;
    case RigaDiComando::Azione::Abbina:
        return abbinaPulsiero(opzioni, riga.pulsiero);
    case RigaDiComando::Azione::Dimentica:
        return dimenticaPulsiero(opzioni, riga.pulsiero);
    case RigaDiComando::Azione::Ascolta:
        break;
    }
    Server server(opzioni);
    if (const auto problema = server.apri())
        return fallisce(*problema);
    for (const auto& avviso : server.avvisi())
        std::fprintf(stderr, "pulsiero-ricevitore: %s\n", avviso.c_str());
    CodaRegistro registro(STDOUT_FILENO, opzioni.json);
    server.impostaRegistro([&registro](Esito e) { registro.aggiungi(std::move(e)); });
    std::string indirizzi;
    for (const auto& i : opzioni.indirizzi)
        indirizzi += (indirizzi.empty() ? "" : ", ") + i;
    const std::string apprendimento =
        server.apprendimentoAperto()
            ? " (apprendimento aperto per " + std::to_string(opzioni.apprendimentoSecondi) + " s)"
            : "";
    std::fprintf(stderr,
                 "pulsiero-ricevitore: in ascolto su %s porta %u, ricevitore %d, stato in %s%s\n",
                 indirizzi.c_str(), server.porta(), opzioni.numeroRicevitore,
                 opzioni.fileStato.c_str(), apprendimento.c_str());
    attivo = &server;
    std::signal(SIGINT, [](int) { attivo->ferma(); });
    std::signal(SIGTERM, [](int) { attivo->ferma(); });
    server.esegui();
    return 0;
}
