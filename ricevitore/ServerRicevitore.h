#pragma once

#include "core/CodiceVariabile.h"
#include "core/Decodifica.h"
#include "ricevitore/FileChiavi.h"
#include "ricevitore/FileStato.h"
#include "ricevitore/Programmi.h"
#include "ricevitore/Registro.h"
#include "ricevitore/Tentativi.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace pulsiero::ricevitore {

struct Opzioni {
    std::vector<std::string> indirizzi{"127.0.0.1"}; // IPv4 or IPv6, one listener each
    std::uint16_t porta = 100;
    std::int32_t numeroRicevitore = 1;
    rolling::Policy politica;
    bool apprendimento = false; // --apprendimento; a first start with no state learns anyway
    int apprendimentoSecondi = 60;
    std::string fileStato;  // empty: state kept in memory only
    std::string fileChiavi; // the keys of paired transmitters; empty: none
    std::string programma;  // run for each accepted frame, never through a shell
    std::size_t maxProgrammi = 8;
    std::chrono::milliseconds limiteProgramma{10000};
    bool json = false;
    std::size_t maxConnessioni = 64;
    std::size_t maxPerIndirizzo = 4;
    std::size_t maxByte = 64;
    std::chrono::milliseconds tempoMassimo{250}; // the transmitter sends at once, then closes
    int tentativi = 10;                          // refusals per minute before a block
    std::chrono::seconds blocco{30};
};

// A poll() loop: accepts connections, reads at most maxByte bytes for at most tempoMassimo
// each, judges the frame at end of stream and never writes anything back. The state is written
// by a second thread; results are logged and acted on once the state they produced is on disk,
// and a frame whose state could not be written is refused and leaves the state where it was.
class Server {
public:
    using Registro = std::function<void(Esito)>;

    explicit Server(Opzioni opzioni);
    ~Server();

    // Reads the keys, opens the state, then binds and listens; on failure, a message for the user.
    std::optional<std::string> apri();
    std::uint16_t porta() const { return porta_; }
    bool apprendimentoAperto() const;
    // What the user should know at start-up, one line each (a keyed transmitter without its key).
    const std::vector<std::string>& avvisi() const { return avvisi_; }

    void esegui(); // until ferma()
    void ferma() { fermo_ = true; }

    void impostaRegistro(Registro registro) { registro_ = std::move(registro); }
    const rolling::Tracker& tracker() const { return tracker_; }

private:
    using Orologio = std::chrono::steady_clock;
    struct Connessione;
    struct Ascolto {
        int fd;
        int famiglia;
    };

    std::optional<std::string> apriChiavi();
    std::optional<std::string> apriStato();
    std::optional<std::string> scriviStatoIniziale();
    std::optional<std::string> apriAscolti();
    std::optional<std::string> apriAscolto(const std::string& indirizzo);
    std::optional<std::string> controllaLimiteFile();
    void chiudiPiuVecchia(std::vector<Connessione>& connessioni, const std::string& chiave,
                          std::vector<Esito>& conclusi);
    void valuta(const frame::Decoded& d, Esito& e, const std::string& origine);
    void accetta(const Ascolto& ascolto, std::vector<Connessione>& connessioni,
                 std::vector<Esito>& conclusi, std::size_t& accettate);
    bool leggi(Connessione& c, std::vector<Esito>& conclusi);
    void chiudi(Connessione& c, const char* motivo, const char* codice,
                std::vector<Esito>& conclusi);
    Esito giudica(const std::string& trama, const std::string& peer, const std::string& chiave);
    bool giudicaChiave(const std::string& trama, const frame::Decoded& d, Esito& e) const;
    void concludi(std::vector<Esito>& conclusi);
    void pubblica();
    void scrivi();
    void avviaProgramma(const Esito& e);
    void controllaProgrammi();
    void registra(Esito e);

    Opzioni opzioni_;
    rolling::Tracker tracker_;
    std::optional<FileStato> stato_;
    FileChiavi::Chiavi chiavi_;
    Registro registro_;
    std::vector<std::string> avvisi_;
    std::vector<Ascolto> ascolti_;
    std::uint16_t porta_ = 0;
    bool portaOccupata_ = false; // the last listener failed on a port in use
    std::atomic<bool> fermo_{false};
    Tentativi tentativi_;   // refusals per address (an IPv6 /64)
    Tentativi perPulsiero_; // refusals per transmitter, whatever the address
    Programmi programmi_;
    std::unordered_map<std::string, std::size_t> aperte_; // open connections per address
    Orologio::time_point pausaAccettazione_{};            // after EMFILE, until then

    // The state is written on a thread of its own, so that the network loop goes on meanwhile.
    // Results wait in order until the state they depend on is on disk, then the loop logs them.
    std::thread scrittore_;
    std::mutex mutex_;
    std::condition_variable lavoro_;
    std::optional<rolling::Tracker::Steps> daScrivere_; // the newest state not yet on its way
    rolling::Tracker::Steps durevole_;                  // the newest state known to be on disk
    bool scrivendo_ = false;
    bool scrittoreFermo_ = false;
    bool fallito_ = false;        // a write failed: the loop goes back to durevole_
    std::vector<Esito> inAttesa_; // waiting for a write
    std::vector<Esito> pronti_;   // durable: to be logged and acted on
    int sveglia_[2] = {-1, -1};   // the writer wakes the loop through this pipe
};

} // namespace pulsiero::ricevitore
