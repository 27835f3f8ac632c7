#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace pulsiero::ricevitore {

// What happened to one connection, or to a program run for a frame; one line of the log.
struct Esito {
    std::string peer;      // address and port
    std::string indirizzo; // address alone: repeated refusals from it are summed up
    std::string trama;     // the bytes received, as they came
    std::string verdetto;  // for people, in Italian
    std::string motivo;    // a short code for tools
    bool accettato = false;
    bool autenticato = false; // the frame's MAC was checked with its transmitter's key
    bool prenotato = false;   // holds a slot for the program of --esegui
    std::optional<std::int32_t> pulsiero, tasto, minuto, casuale;
    std::optional<std::int64_t> passo, passoMemorizzato;
    std::int64_t ripetizioni = 0; // a summary line: this many more like it in the last second
    std::time_t quando = 0;
};

std::string rigaTesto(const Esito& e, const std::string& ora);
// Valid JSON whatever bytes the peer sent: each byte outside printable ASCII is \u00XX.
std::string rigaJson(const Esito& e, const std::string& ora);

// The log, written by a thread of its own so that a slow terminal or a full pipe never stalls the
// receiver's loop. The queue is bounded: when it is full, lines are dropped and counted, and a
// line says how many once there is room. Identical refusals from one address (same reason) are
// summed up: the first is written at once, the rest as one line per second with their count.
class CodaRegistro {
public:
    CodaRegistro(int fd, bool json, std::size_t capacita = 4096);
    ~CodaRegistro(); // writes what is queued, then stops
    CodaRegistro(const CodaRegistro&) = delete;
    CodaRegistro& operator=(const CodaRegistro&) = delete;

    void aggiungi(Esito e); // never waits for the output

private:
    struct Gruppo {
        Esito ultimo;
        std::int64_t altri = 0;
    };

    void lavora();
    void scriviRiga(const Esito& e);
    void scriviRiepiloghi();
    bool daRiassumere(const Esito& e);

    const int fd_;
    const bool json_;
    const std::size_t capacita_;
    std::mutex mutex_;
    std::condition_variable lavoro_;
    std::deque<Esito> coda_;
    std::uint64_t perse_ = 0;
    bool fermo_ = false;
    std::map<std::string, Gruppo> gruppi_; // only the writer thread touches these
    std::size_t rifiutiInteri_ = 0;        // refusals written whole in this second
    std::thread scrittore_;
};

} // namespace pulsiero::ricevitore
