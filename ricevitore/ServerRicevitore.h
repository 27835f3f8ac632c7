#pragma once

#include "protocol/CodiceVariabile.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pulsiero::ricevitore {

struct Opzioni {
    std::string indirizzo = "127.0.0.1";
    std::uint16_t porta = 100;
    std::int32_t numeroRicevitore = 1;
    rolling::Policy politica;
    bool apprendimentoEsplicito = false;
    std::string fileStato; // empty: state kept in memory only
    std::string programma; // run for each accepted frame, never through a shell
    bool json = false;
    std::size_t maxConnessioni = 64;
    std::size_t maxByte = 64;
    std::chrono::milliseconds tempoMassimo{2000};
};

// What happened to one connection; one line of the log.
struct Esito {
    std::string peer;
    std::string trama;
    std::string verdetto;
    bool accettato = false;
    std::optional<std::int32_t> pulsiero, tasto, minuto, casuale, passo, passoMemorizzato;
};

std::string rigaTesto(const Esito& e, const std::string& ora);
std::string rigaJson(const Esito& e, const std::string& ora);

// A poll() loop: accepts connections, reads at most maxByte bytes for at most tempoMassimo
// each, judges the frame at end of stream and never writes anything back. The state is written
// by a second thread; results are logged once the state they produced is on disk.
class Server {
public:
    using Registro = std::function<void(const Esito&)>;

    explicit Server(Opzioni opzioni);
    ~Server();

    // Binds and listens; on failure, a message for the user.
    std::optional<std::string> apri();
    std::uint16_t porta() const { return porta_; }

    void esegui(); // until ferma()
    void ferma() { fermo_ = true; }

    void impostaRegistro(Registro registro) { registro_ = std::move(registro); }
    rolling::Tracker& tracker() { return tracker_; }

private:
    struct Connessione;

    void accetta(std::vector<Connessione>& connessioni);
    bool leggi(Connessione& c, std::vector<Esito>& conclusi);
    void chiudi(Connessione& c, const char* motivo, std::vector<Esito>& conclusi);
    Esito giudica(const std::string& trama, const std::string& peer);
    void concludi(std::vector<Esito>& conclusi);
    void pubblica();
    void scrivi();
    void avviaProgramma(const Esito& e);

    Opzioni opzioni_;
    rolling::Tracker tracker_;
    Registro registro_;
    int ascolto_ = -1;
    std::uint16_t porta_ = 0;
    std::atomic<bool> fermo_{false};

    // The state is written on a thread of its own, so that the network loop goes on meanwhile.
    // Results wait in order until the state they depend on is on disk, then the loop logs them.
    std::thread scrittore_;
    std::mutex mutex_;
    std::condition_variable lavoro_;
    std::optional<std::string> daScrivere_; // the newest state not yet handed to the disk
    bool scrivendo_ = false;
    bool scrittoreFermo_ = false;
    std::vector<Esito> inAttesa_; // waiting for a write
    std::vector<Esito> pronti_;   // durable: to be logged and acted on
    int sveglia_[2] = {-1, -1};   // the writer wakes the loop through this pipe
};

} // namespace pulsiero::ricevitore
