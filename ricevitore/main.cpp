// pulsiero-ricevitore: a reference receiver for the frames of Pulsiero Rolling Code.
#include "core/FileSystem.h"
#include "core/LenientNumber.h"
#include "ricevitore/ServerRicevitore.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

const char* kAiuto = R"(Uso: pulsiero-ricevitore [OPZIONI]

Ricevitore di riferimento per Pulsiero Rolling Code: ascolta le trame inviate dal
programma, le decodifica, controlla il codice variabile e stampa una riga per connessione.
Non invia mai nulla al programma.

Attenzione: la trama di un pulsiero senza chiave non è autenticata. Questi controlli fermano
ripetizioni e tentativi alla cieca, non chi ha visto anche una sola trama: la porta deve essere
raggiungibile solo da una rete fidata, oppure ogni pulsiero va abbinato con --abbina.

Opzioni:
  --indirizzo IP        indirizzo IPv4 o IPv6 su cui ascoltare (predefinito 127.0.0.1);
                        ripetibile, per ascoltare su più indirizzi
  --porta N             porta TCP (predefinita 100, come il programma; sotto 1024 servono
                        privilegi: per esempio usare 10100 anche nella configurazione)
  --ricevitore N        numero di questo ricevitore, 1-1048575 (predefinito 1)
  --pulsieri A,B,...    accetta solo questi numeri di pulsiero (predefinito: tutti)
  --finestra N          passi accettati oltre l'ultimo memorizzato (predefinito 16)
  --risincronizzazione N
                        passi oltre la finestra entro cui due trame consecutive
                        risincronizzano un pulsiero (predefinito 4096; per un pulsiero
                        con chiave vale qualunque distanza in avanti)
  --tolleranza N|no     minuti di scarto ammessi rispetto all'orologio locale
                        (predefinito 5; "no" disattiva il controllo, non ammesso se
                        qualche pulsiero ha una chiave)
  --apprendimento       apre l'apprendimento di nuovi pulsieri (aperto da solo al primo
                        avvio senza stato): un pulsiero senza passo memorizzato è appreso
                        con due trame consecutive; quelli già noti restano controllati
  --apprendimento-secondi N
                        durata dell'apprendimento (predefinita 60)
  --stato FILE          file in cui salvare l'ultimo passo di ogni pulsiero (predefinito
                        $STATE_DIRECTORY/stato o $XDG_STATE_HOME/pulsiero-ricevitore/stato)
  --chiavi FILE         file delle chiavi dei pulsieri abbinati, una riga "pulsiero chiave"
                        (predefinito: "chiavi" nella cartella dello stato); non deve essere
                        leggibile da altri utenti
  --abbina N            crea una chiave casuale per il pulsiero N, la salva nel file delle
                        chiavi e stampa le righe da copiare nel suo file delle impostazioni;
                        da usare a ricevitore fermo
  --tentativi N         trame rifiutate in un minuto da un indirizzo prima del blocco
                        (predefinito 10)
  --blocco-secondi N    durata del blocco di quell'indirizzo (predefinita 30)
  --esegui PROGRAMMA    eseguito a ogni trama accettata con argomenti: tasto, pulsiero, passo
                        (mai attraverso una shell; l'output va sullo standard error)
  --max-programmi N     programmi in esecuzione contemporanea (predefinito 8)
  --esegui-secondi N    un programma ancora attivo dopo N secondi viene ucciso (predefinito 10)
  --json                una riga JSON per connessione invece del testo
  --max-connessioni N   connessioni contemporanee (predefinito 64)
  --max-per-indirizzo N connessioni contemporanee da un indirizzo (predefinito 4)
  --version             la versione del programma
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

// systemd names the folder of StateDirectory=; otherwise the XDG state folder, created by the
// receiver itself when it opens the state.
std::string fileStatoPredefinito() {
    const char* servizio = std::getenv("STATE_DIRECTORY");
    if (servizio && *servizio) {
        const std::string cartelle = servizio;
        return cartelle.substr(0, cartelle.find(':')) + "/stato";
    }
    const char* stato = std::getenv("XDG_STATE_HOME");
    const char* casa = std::getenv("HOME");
    const std::string base =
        stato && *stato ? stato : std::string(casa ? casa : ".") + "/.local/state";
    return base + "/pulsiero-ricevitore/stato";
}

std::int32_t abbina = 0; // --abbina N: pair transmitter N, then exit

pulsiero::ricevitore::Opzioni leggiOpzioni(int argc, char** argv) {
    pulsiero::ricevitore::Opzioni o;
    bool indirizzoDato = false;
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
        } else if (nome == "--version") {
            std::printf("pulsiero-ricevitore %s\n", PULSIERO_VERSIONE);
            std::exit(0);
        } else if (nome == "--indirizzo") {
            if (!indirizzoDato)
                o.indirizzi.clear();
            indirizzoDato = true;
            o.indirizzi.push_back(valore());
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
            o.politica.window = static_cast<int>(numero(valore(), 1, 1024, "--finestra"));
        } else if (nome == "--risincronizzazione") {
            o.politica.resyncSteps = numero(valore(), 0, 30000, "--risincronizzazione");
        } else if (nome == "--tolleranza") {
            const std::string t = valore();
            o.politica.toleranceMinutes =
                t == "no"
                    ? std::nullopt
                    : std::optional(static_cast<int>(numero(t.c_str(), 0, 720, "--tolleranza")));
        } else if (nome == "--apprendimento") {
            o.apprendimento = true;
        } else if (nome == "--apprendimento-secondi") {
            o.apprendimentoSecondi =
                static_cast<int>(numero(valore(), 1, 86400, "--apprendimento-secondi"));
        } else if (nome == "--stato") {
            o.fileStato = valore();
            if (o.fileStato.empty())
                errore("--stato vuoto");
        } else if (nome == "--chiavi") {
            o.fileChiavi = valore();
            if (o.fileChiavi.empty())
                errore("--chiavi vuoto");
        } else if (nome == "--abbina") {
            abbina = static_cast<std::int32_t>(numero(valore(), 1, 128, "--abbina"));
        } else if (nome == "--tentativi") {
            o.tentativi = static_cast<int>(numero(valore(), 1, 100000, "--tentativi"));
        } else if (nome == "--blocco-secondi") {
            o.blocco = std::chrono::seconds(numero(valore(), 1, 86400, "--blocco-secondi"));
        } else if (nome == "--esegui") {
            o.programma = valore();
        } else if (nome == "--max-programmi") {
            o.maxProgrammi = static_cast<std::size_t>(numero(valore(), 1, 64, "--max-programmi"));
        } else if (nome == "--esegui-secondi") {
            o.limiteProgramma = std::chrono::seconds(numero(valore(), 1, 3600, "--esegui-secondi"));
        } else if (nome == "--json") {
            o.json = true;
        } else if (nome == "--max-connessioni") {
            o.maxConnessioni =
                static_cast<std::size_t>(numero(valore(), 1, 65536, "--max-connessioni"));
        } else if (nome == "--max-per-indirizzo") {
            o.maxPerIndirizzo =
                static_cast<std::size_t>(numero(valore(), 1, 65536, "--max-per-indirizzo"));
        } else {
            errore("opzione sconosciuta: " + nome);
        }
    }
    if (o.fileStato.empty())
        o.fileStato = fileStatoPredefinito();
    if (o.fileChiavi.empty())
        o.fileChiavi = pulsiero::ricevitore::cartellaDi(o.fileStato) + "/chiavi";
    return o;
}

// Pairs a transmitter under the state lock, so never beside a running receiver: a new key, then
// the stored counter 0, so that the first press after pasting the lines is accepted at once.
int abbinaPulsiero(const pulsiero::ricevitore::Opzioni& o, std::int32_t numero) {
    using namespace pulsiero::ricevitore;
    const auto fallisce = [](const std::string& testo) {
        std::fprintf(stderr, "pulsiero-ricevitore: %s\n", testo.c_str());
        return 1;
    };
    auto aperto = FileStato::apri(o.fileStato);
    if (auto* problema = std::get_if<std::string>(&aperto))
        return fallisce(*problema + (problema->find("già in uso") != std::string::npos
                                         ? " (fermare il ricevitore, abbinare, riavviarlo)"
                                         : ""));
    auto& stato = std::get<FileStato>(aperto);
    auto chiavi = FileChiavi::apri(o.fileChiavi);
    if (auto* problema = std::get_if<std::string>(&chiavi))
        return fallisce(*problema);
    auto& file = std::get<FileChiavi>(chiavi);
    const auto chiave = pulsiero::autenticazione::chiaveCasuale();
    if (!chiave)
        return fallisce("impossibile ottenere una chiave casuale dal sistema");
    auto nuove = file.chiavi();
    nuove[numero] = *chiave;
    if (!file.salva(nuove))
        return fallisce(o.fileChiavi + ": impossibile scrivere le chiavi: " + std::strerror(errno));
    auto passi = stato.letto().value_or(pulsiero::rolling::Tracker::Steps{});
    passi[numero] = 0;
    if (!stato.salva(pulsiero::rolling::serialize(passi)))
        return fallisce(o.fileStato + ": impossibile scrivere lo stato: " + std::strerror(errno));
    std::printf("[Pulsiero]\nChiave=%s\nCiclo=0\nPasso=0\n",
                pulsiero::autenticazione::scriviChiave(*chiave).c_str());
    std::fflush(stdout);
    std::fprintf(stderr,
                 "pulsiero-ricevitore: pulsiero %d abbinato, chiave in %s. Copiare le righe qui "
                 "sopra nella sezione [Pulsiero] del file delle impostazioni del pulsiero %d.\n",
                 numero, o.fileChiavi.c_str(), numero);
    return 0;
}

pulsiero::ricevitore::Server* attivo = nullptr;

} // namespace

int main(int argc, char** argv) {
    // A full disk or a file-size limit is a failed save, handled as such, never a crash.
    pulsiero::file::ignoraSegnaleDimensione();
    std::signal(SIGPIPE, SIG_IGN);
    const auto opzioni = leggiOpzioni(argc, argv);
    if (abbina)
        return abbinaPulsiero(opzioni, abbina);
    pulsiero::ricevitore::Server server(opzioni);
    if (const auto problema = server.apri()) {
        std::fprintf(stderr, "pulsiero-ricevitore: %s\n", problema->c_str());
        return 1;
    }
    pulsiero::ricevitore::CodaRegistro registro(STDOUT_FILENO, opzioni.json);
    server.impostaRegistro(
        [&registro](pulsiero::ricevitore::Esito e) { registro.aggiungi(std::move(e)); });
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
