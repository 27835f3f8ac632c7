// pulsiero-ricevitore: a reference receiver for the frames of Pulsiero Rolling Code.
#include "ricevitore/ServerRicevitore.h"
#include "settings/IniFile.h"
#include "settings/LenientNumber.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>

namespace {

const char* kAiuto = R"(Uso: pulsiero-ricevitore [OPZIONI]

Ricevitore di riferimento per Pulsiero Rolling Code: ascolta le trame inviate dal
programma, le decodifica, controlla il codice variabile e stampa una riga per connessione.
Non invia mai nulla al programma.

Opzioni:
  --indirizzo IP        indirizzo IPv4 su cui ascoltare (predefinito 127.0.0.1)
  --porta N             porta TCP (predefinita 100, come il programma; sotto 1024 servono
                        privilegi: per esempio usare 10100 anche nella configurazione)
  --ricevitore N        numero di questo ricevitore, 1-1048575 (predefinito 1)
  --pulsieri A,B,...    accetta solo questi numeri di pulsiero (predefinito: tutti)
  --finestra N          passi accettati oltre l'ultimo memorizzato (predefinito 16)
  --tolleranza N|no     minuti di scarto ammessi rispetto all'orologio locale
                        (predefinito 5; "no" disattiva il controllo)
  --apprendimento       accetta qualunque passo come nuovo punto di partenza (procedura di
                        inizializzazione dei pulsieri); attivo da solo solo al primo avvio
  --stato FILE          file in cui salvare l'ultimo passo di ogni pulsiero
                        (predefinito $XDG_STATE_HOME/pulsiero-ricevitore/stato)
  --esegui PROGRAMMA    eseguito a ogni trama accettata con argomenti: tasto, pulsiero, passo
                        (mai attraverso una shell)
  --json                una riga JSON per connessione invece del testo
  --max-connessioni N   connessioni contemporanee (predefinito 64)
  --help                questo aiuto
)";

[[noreturn]] void errore(const std::string& testo) {
    std::fprintf(stderr, "pulsiero-ricevitore: %s\nUsare --help per l'elenco delle opzioni.\n",
                 testo.c_str());
    std::exit(2);
}

long numero(const char* testo, long minimo, long massimo, const char* opzione) {
    if (!pulsiero::isNumeric(testo))
        errore(std::string("valore non numerico per ") + opzione + ": " + testo);
    const double valore = pulsiero::numericValue(testo);
    if (valore < minimo || valore > massimo)
        errore(std::string(opzione) + " deve essere tra " + std::to_string(minimo) + " e " +
               std::to_string(massimo));
    return static_cast<long>(valore);
}

std::string fileStatoPredefinito() {
    const char* stato = std::getenv("XDG_STATE_HOME");
    const char* casa = std::getenv("HOME");
    const std::string base =
        stato && *stato ? stato : std::string(casa ? casa : ".") + "/.local/state";
    ::mkdir(base.c_str(), 0755);
    const std::string cartella = base + "/pulsiero-ricevitore";
    ::mkdir(cartella.c_str(), 0700);
    return cartella + "/stato";
}

pulsiero::ricevitore::Opzioni leggiOpzioni(int argc, char** argv) {
    pulsiero::ricevitore::Opzioni o;
    for (int i = 1; i < argc; ++i) {
        const std::string nome = argv[i];
        const auto valore = [&]() -> const char* {
            if (i + 1 >= argc)
                errore("manca il valore di " + nome);
            return argv[++i];
        };
        if (nome == "--help" || nome == "-h") {
            std::fputs(kAiuto, stdout);
            std::exit(0);
        } else if (nome == "--indirizzo") {
            o.indirizzo = valore();
        } else if (nome == "--porta") {
            o.porta = static_cast<std::uint16_t>(numero(valore(), 0, 65535, "--porta"));
        } else if (nome == "--ricevitore") {
            o.numeroRicevitore =
                static_cast<std::int32_t>(numero(valore(), 1, 1048575, "--ricevitore"));
        } else if (nome == "--pulsieri") {
            std::string elenco = valore();
            std::size_t inizio = 0;
            while (inizio <= elenco.size()) {
                const auto fine = std::min(elenco.find(',', inizio), elenco.size());
                o.politica.enrolled.insert(static_cast<std::int32_t>(
                    numero(elenco.substr(inizio, fine - inizio).c_str(), 1, 128, "--pulsieri")));
                inizio = fine + 1;
            }
        } else if (nome == "--finestra") {
            o.politica.window = static_cast<int>(numero(valore(), 1, 32767, "--finestra"));
        } else if (nome == "--tolleranza") {
            const std::string t = valore();
            o.politica.toleranceMinutes =
                t == "no"
                    ? std::nullopt
                    : std::optional(static_cast<int>(numero(t.c_str(), 0, 720, "--tolleranza")));
        } else if (nome == "--apprendimento") {
            o.apprendimentoEsplicito = true;
            o.politica.learning = true;
        } else if (nome == "--stato") {
            o.fileStato = valore();
        } else if (nome == "--esegui") {
            o.programma = valore();
        } else if (nome == "--json") {
            o.json = true;
        } else if (nome == "--max-connessioni") {
            o.maxConnessioni =
                static_cast<std::size_t>(numero(valore(), 1, 4096, "--max-connessioni"));
        } else {
            errore("opzione sconosciuta: " + nome);
        }
    }
    if (o.fileStato.empty())
        o.fileStato = fileStatoPredefinito();
    return o;
}

std::string oraLocale() {
    const std::time_t adesso = std::time(nullptr);
    std::tm locale{};
    localtime_r(&adesso, &locale);
    char testo[32];
    std::strftime(testo, sizeof testo, "%Y-%m-%d %H:%M:%S", &locale);
    return testo;
}

pulsiero::ricevitore::Server* attivo = nullptr;

} // namespace

int main(int argc, char** argv) {
    pulsiero::ini::ignoreFileSizeSignal();
    const auto opzioni = leggiOpzioni(argc, argv);
    pulsiero::ricevitore::Server server(opzioni);
    if (const auto problema = server.apri()) {
        std::fprintf(stderr, "pulsiero-ricevitore: %s\n", problema->c_str());
        return 2;
    }
    const bool json = opzioni.json;
    server.impostaRegistro([json](const pulsiero::ricevitore::Esito& e) {
        const std::string riga = json ? rigaJson(e, oraLocale()) : rigaTesto(e, oraLocale());
        std::printf("%s\n", riga.c_str());
        std::fflush(stdout);
    });
    std::fprintf(stderr, "pulsiero-ricevitore: in ascolto su %s:%u, ricevitore %d, stato in %s%s\n",
                 opzioni.indirizzo.c_str(), server.porta(), opzioni.numeroRicevitore,
                 opzioni.fileStato.c_str(),
                 server.tracker().policy().learning ? " (apprendimento attivo)" : "");
    attivo = &server;
    std::signal(SIGINT, [](int) { attivo->ferma(); });
    std::signal(SIGTERM, [](int) { attivo->ferma(); });
    server.esegui();
    return 0;
}
