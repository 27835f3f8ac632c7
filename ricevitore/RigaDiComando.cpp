#include "ricevitore/RigaDiComando.h"

#include "core/LenientNumber.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cmath>
#include <functional>
#include <getopt.h>
#include <set>
#include <vector>

namespace pulsiero::ricevitore {

const char* const kAiuto = R"(Uso: pulsiero-ricevitore [OPZIONI]

Ricevitore di riferimento per Pulsiero Rolling Code: ascolta le trame inviate dal
programma, le decodifica, controlla il codice variabile e stampa una riga per connessione.
Non invia mai nulla al programma.

Consigliato: abbinare ogni pulsiero a una chiave (--abbina). La trama di un pulsiero senza
chiave non contiene segreti: chi ne ha vista una costruisce le successive, e chi conosce solo
i numeri del ricevitore e del pulsiero ne fa accettare una in media dopo 17,5 tentativi. I
limiti per indirizzo e per pulsiero rallentano questi tentativi, non li fermano. Una trama con
la chiave giusta è sempre giudicata, anche da un indirizzo bloccato.

Opzioni (il valore dopo uno spazio o dopo "=": --porta 10100 o --porta=10100):
  --indirizzo IP        indirizzo IPv4 o IPv6 su cui ascoltare (predefinito 127.0.0.1, che
                        il primo --indirizzo sostituisce); ripetibile
  --porta N             porta TCP (predefinita 100, come il programma; sotto 1024 servono
                        privilegi: per esempio usare 10100 anche nella configurazione)
  --ricevitore N        numero di questo ricevitore, 1-1048575 (predefinito 1)
  --pulsieri A,B,...    accetta solo questi numeri di pulsiero (predefinito: tutti)
  --finestra N          passi accettati oltre l'ultimo memorizzato (predefinito 16)
  --risincronizzazione N
                        passi oltre la finestra entro cui due trame consecutive
                        risincronizzano un pulsiero (predefinito 4096; per un pulsiero
                        con chiave vale qualunque distanza in avanti)
  --avanzamento-orario N
                        passi di cui un pulsiero senza chiave può avanzare in un'ora
                        (predefinito 256): trame false non lo spingono più avanti di così
  --tolleranza N|no     minuti di scarto ammessi rispetto all'orologio locale
                        (predefinito 5; al massimo 10 se qualche pulsiero ha una chiave;
                        "no" disattiva il controllo, non ammesso con le chiavi)
  --apprendimento       apre l'apprendimento di nuovi pulsieri (aperto da solo al primo
                        avvio senza stato): un pulsiero senza passo memorizzato è appreso
                        con due trame consecutive, al massimo 8 per apertura (tutti quelli
                        di --pulsieri); quelli già noti restano controllati
  --apprendimento-secondi N
                        durata dell'apprendimento (predefinita 60)
  --stato FILE          file in cui salvare l'ultimo passo di ogni pulsiero (predefinito
                        $STATE_DIRECTORY/stato o $XDG_STATE_HOME/pulsiero-ricevitore/stato)
  --chiavi FILE         file delle chiavi dei pulsieri abbinati, una riga "pulsiero chiave"
                        (predefinito: "chiavi" nella cartella dello stato); non deve essere
                        leggibile da altri utenti
  --abbina N            crea una chiave casuale per il pulsiero N, la salva e stampa le
                        righe da copiare nel suo file delle impostazioni; a ricevitore fermo
  --dimentica N         dimentica il pulsiero N (passo, chiave e abbinamento), per esempio
                        uno bloccato da trame false; a ricevitore fermo
  --tentativi N         trame rifiutate in un minuto da un indirizzo, o per un pulsiero,
                        prima del blocco (predefinito 10)
  --blocco-secondi N    durata del blocco (predefinita 30); non ferma le trame con la chiave
  --esegui PROGRAMMA    eseguito a ogni trama accettata con argomenti: tasto, pulsiero, passo
                        (mai attraverso una shell; l'output va sullo standard error); una
                        trama il cui programma non può partire è rifiutata senza usare il passo
  --max-programmi N     programmi in esecuzione contemporanea (predefinito 8; un pulsiero
                        ne usa al massimo la metà)
  --esegui-secondi N    un programma ancora attivo dopo N secondi viene ucciso (predefinito 10)
  --json                una riga JSON per connessione invece del testo
  --max-connessioni N   connessioni contemporanee (predefinito 64)
  --max-per-indirizzo N connessioni contemporanee da un indirizzo (predefinito 4); oltre,
                        la più vecchia di quell'indirizzo lascia il posto
  --version             la versione del programma
  --help                questo aiuto
)";

namespace {

using Errore = std::string;

// A whole number within bounds: a decimal numeral (exponent allowed, "1e+2" is 100) with no
// fraction and nothing after it.
std::variant<long, Errore> intero(const std::string& testo, long minimo, long massimo,
                                  const std::string& opzione) {
    if (testo.empty())
        return "valore vuoto per " + opzione;
    if (!isNumeric(testo))
        return "valore non numerico per " + opzione + ": " + testo;
    const double valore = numericValue(testo);
    if (valore != std::floor(valore))
        return "valore non intero per " + opzione + ": " + testo;
    if (valore < minimo || valore > massimo)
        return opzione + " deve essere tra " + std::to_string(minimo) + " e " +
               std::to_string(massimo);
    return static_cast<long>(valore);
}

bool indirizzoValido(const std::string& testo) {
    std::string indirizzo = testo;
    if (indirizzo.size() > 2 && indirizzo.front() == '[' && indirizzo.back() == ']')
        indirizzo = indirizzo.substr(1, indirizzo.size() - 2);
    unsigned char spazio[sizeof(in6_addr)];
    return inet_pton(AF_INET, indirizzo.c_str(), spazio) == 1 ||
           inet_pton(AF_INET6, indirizzo.c_str(), spazio) == 1;
}

std::optional<Errore> elenco(const std::string& testo, std::set<std::int32_t>& numeri) {
    if (testo.empty())
        return "valore vuoto per --pulsieri";
    std::size_t inizio = 0;
    while (inizio <= testo.size()) {
        const auto fine = std::min(testo.find(',', inizio), testo.size());
        if (fine == inizio)
            return "numero mancante in --pulsieri: " + testo;
        const auto numero = intero(testo.substr(inizio, fine - inizio), 1, 128, "--pulsieri");
        if (auto* errore = std::get_if<Errore>(&numero))
            return *errore;
        numeri.insert(static_cast<std::int32_t>(std::get<long>(numero)));
        inizio = fine + 1;
    }
    return std::nullopt;
}

struct Voce {
    const char* nome;
    bool conValore;
    // Applies the value (nullptr for an option without one); an error, or nothing.
    std::function<std::optional<Errore>(RigaDiComando&, const std::string&)> applica;
};

// A numeric option: its bounds and where the value goes.
Voce numerica(const char* nome, long minimo, long massimo,
              std::function<void(RigaDiComando&, long)> metti) {
    return {nome, true, [=](RigaDiComando& r, const std::string& v) -> std::optional<Errore> {
                const auto n = intero(v, minimo, massimo, std::string("--") + nome);
                if (auto* errore = std::get_if<Errore>(&n))
                    return *errore;
                metti(r, std::get<long>(n));
                return std::nullopt;
            }};
}

Voce testo(const char* nome, std::function<void(RigaDiComando&, const std::string&)> metti) {
    return {nome, true, [=](RigaDiComando& r, const std::string& v) -> std::optional<Errore> {
                if (v.empty())
                    return std::string("valore vuoto per --") + nome;
                metti(r, v);
                return std::nullopt;
            }};
}

Voce azione(const char* nome, RigaDiComando::Azione a) {
    return {nome, false, [=](RigaDiComando& r, const std::string&) -> std::optional<Errore> {
                r.azione = a;
                return std::nullopt;
            }};
}

const std::vector<Voce>& voci() {
    using A = RigaDiComando::Azione;
    using std::chrono::seconds;
    static const std::vector<Voce> tabella = {
        azione("help", A::Aiuto),
        azione("version", A::Versione),
        {"indirizzo", true,
         [](RigaDiComando& r, const std::string& v) -> std::optional<Errore> {
             if (!indirizzoValido(v))
                 return "indirizzo non valido per --indirizzo: " + v +
                        " (serve un indirizzo IPv4 o IPv6)";
             r.opzioni.indirizzi.push_back(v);
             return std::nullopt;
         }},
        numerica("porta", 0, 65535,
                 [](RigaDiComando& r, long n) { r.opzioni.porta = static_cast<std::uint16_t>(n); }),
        numerica("ricevitore", 1, 1048575,
                 [](RigaDiComando& r, long n) {
                     r.opzioni.numeroRicevitore = static_cast<std::int32_t>(n);
                 }),
        {"pulsieri", true,
         [](RigaDiComando& r, const std::string& v) {
             return elenco(v, r.opzioni.politica.enrolled);
         }},
        numerica("finestra", 1, 1024,
                 [](RigaDiComando& r, long n) { r.opzioni.politica.window = static_cast<int>(n); }),
        numerica("risincronizzazione", 0, 30000,
                 [](RigaDiComando& r, long n) { r.opzioni.politica.resyncSteps = n; }),
        numerica("avanzamento-orario", 1, 65535,
                 [](RigaDiComando& r, long n) { r.opzioni.politica.hourlyAdvance = n; }),
        {"tolleranza", true,
         [](RigaDiComando& r, const std::string& v) -> std::optional<Errore> {
             if (v == "no") {
                 r.opzioni.politica.toleranceMinutes = std::nullopt;
                 return std::nullopt;
             }
             const auto n = intero(v, 0, 720, "--tolleranza");
             if (auto* errore = std::get_if<Errore>(&n))
                 return *errore;
             r.opzioni.politica.toleranceMinutes = static_cast<int>(std::get<long>(n));
             return std::nullopt;
         }},
        {"apprendimento", false,
         [](RigaDiComando& r, const std::string&) -> std::optional<Errore> {
             r.opzioni.apprendimento = true;
             return std::nullopt;
         }},
        numerica(
            "apprendimento-secondi", 1, 86400,
            [](RigaDiComando& r, long n) { r.opzioni.apprendimentoSecondi = static_cast<int>(n); }),
        testo("stato", [](RigaDiComando& r, const std::string& v) { r.opzioni.fileStato = v; }),
        testo("chiavi", [](RigaDiComando& r, const std::string& v) { r.opzioni.fileChiavi = v; }),
        numerica("abbina", 1, 128,
                 [](RigaDiComando& r, long n) {
                     r.azione = A::Abbina;
                     r.pulsiero = static_cast<std::int32_t>(n);
                 }),
        numerica("dimentica", 1, 128,
                 [](RigaDiComando& r, long n) {
                     r.azione = A::Dimentica;
                     r.pulsiero = static_cast<std::int32_t>(n);
                 }),
        numerica("tentativi", 1, 100000,
                 [](RigaDiComando& r, long n) { r.opzioni.tentativi = static_cast<int>(n); }),
        numerica("blocco-secondi", 1, 86400,
                 [](RigaDiComando& r, long n) { r.opzioni.blocco = seconds(n); }),
        testo("esegui", [](RigaDiComando& r, const std::string& v) { r.opzioni.programma = v; }),
        numerica(
            "max-programmi", 1, 64,
            [](RigaDiComando& r, long n) { r.opzioni.maxProgrammi = static_cast<std::size_t>(n); }),
        numerica("esegui-secondi", 1, 3600,
                 [](RigaDiComando& r, long n) { r.opzioni.limiteProgramma = seconds(n); }),
        {"json", false,
         [](RigaDiComando& r, const std::string&) -> std::optional<Errore> {
             r.opzioni.json = true;
             return std::nullopt;
         }},
        numerica("max-connessioni", 1, 65536,
                 [](RigaDiComando& r, long n) {
                     r.opzioni.maxConnessioni = static_cast<std::size_t>(n);
                 }),
        numerica("max-per-indirizzo", 1, 65536,
                 [](RigaDiComando& r, long n) {
                     r.opzioni.maxPerIndirizzo = static_cast<std::size_t>(n);
                 }),
    };
    return tabella;
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

} // namespace

std::variant<RigaDiComando, std::string> leggiRigaDiComando(int argc, char** argv) {
    const auto& tabella = voci();
    std::vector<option> lunghe;
    for (std::size_t i = 0; i < tabella.size(); ++i)
        lunghe.push_back({tabella[i].nome, tabella[i].conValore ? required_argument : no_argument,
                          nullptr, static_cast<int>(256 + i)});
    lunghe.push_back({nullptr, 0, nullptr, 0});
    RigaDiComando r;
    r.opzioni.indirizzi.clear(); // the default only when none is given
    std::set<std::size_t> date;
    opterr = 0;
    optind = 0; // a fresh scan, also when called again
    for (;;) {
        const int trovata = getopt_long(argc, argv, "+:h", lunghe.data(), nullptr);
        if (trovata == -1)
            break;
        const std::string scritta = argv[optind - 1];
        if (trovata == 'h') {
            r.azione = RigaDiComando::Azione::Aiuto;
            continue;
        }
        if (trovata == ':')
            return "manca il valore di " + scritta.substr(0, scritta.find('='));
        if (trovata == '?') {
            const auto nome = scritta.substr(0, scritta.find('='));
            const bool nota = std::any_of(tabella.begin(), tabella.end(), [&](const Voce& v) {
                return "--" + std::string(v.nome) == nome;
            });
            return nota ? nome + " non vuole un valore" : "opzione sconosciuta: " + nome;
        }
        const auto indice = static_cast<std::size_t>(trovata - 256);
        const auto& voce = tabella[indice];
        if (!date.insert(indice).second && std::string(voce.nome) != "indirizzo")
            return std::string("opzione ripetuta: --") + voce.nome;
        if (auto errore = voce.applica(r, optarg ? optarg : ""))
            return *errore;
    }
    if (optind < argc)
        return std::string("argomento inatteso: ") + argv[optind];
    auto& o = r.opzioni;
    if (o.indirizzi.empty())
        o.indirizzi.push_back("127.0.0.1");
    if (o.fileStato.empty())
        o.fileStato = fileStatoPredefinito();
    if (o.fileChiavi.empty())
        o.fileChiavi = cartellaDi(o.fileStato) + "/chiavi";
    return r;
}

} // namespace pulsiero::ricevitore
