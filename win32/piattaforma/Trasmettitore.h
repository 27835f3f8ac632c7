#pragma once

#include "core/CreaComando.h"
#include "core/EsitoTasto.h"
#include "win32/piattaforma/Avviso.h"
#include "win32/piattaforma/ErroriWinsock.h"
#include "win32/piattaforma/Handle.h"

#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <variant>
#include <vector>

namespace pulsiero::win {

class Configurazione;

// How one press ended, for callers that read no message boxes.
struct EsitoPressione {
    using Tipo = EsitoTasto;
    Tipo tipo = Tipo::NienteInviato;
    std::optional<ErroreSocket> errore; // the socket's error, when it raised one
};

// Delivers one key press: builds its frame, plays the key sound and hands the frame to the
// receiver over a connection of its own, then closes it. The socket is non-blocking and its
// events arrive as window messages of this thread (a message-only window), so the window never
// waits on the network. Nothing is ever read from the receiver.
class Trasmettitore {
public:
    using Orologio = std::function<Momento()>;
    using Messaggio = std::function<void(const Avviso&)>;
    using Conclusione = std::function<void(const EsitoPressione&)>;

    // A connection not up by then counts as not connected.
    static constexpr UINT kAttesaConnessioneMs = 400;
    // Once connected, the longest the frame may take to leave before the press counts as failed.
    static constexpr UINT kAttesaConsegnaMs = 2000;

    explicit Trasmettitore(const Configurazione& configurazione);
    Trasmettitore(const Trasmettitore&) = delete;
    Trasmettitore& operator=(const Trasmettitore&) = delete;
    ~Trasmettitore();

    void quandoMessaggio(Messaggio f) { messaggio_ = std::move(f); }
    void quandoConclusa(Conclusione f) { conclusa_ = std::move(f); }
    void impostaOrologio(Orologio f) { orologio_ = std::move(f); }

    void Img_Pulsante_Click(int indice);
    bool inCorso() const { return inCorso_; }
    bool connesso() const { return inCorso_ && connesso_; }
    // Ends any connection; a press still under way counts as not delivered.
    void chiudi();

    // One address of the receiver, as the system resolved it.
    struct Indirizzo {
        sockaddr_storage indirizzo;
        int lunghezza;
        int famiglia;
    };

private:
    // A host name's lookup, done on a thread of its own, for the press it was made for.
    struct Risoluzione {
        unsigned generazione;
        std::variant<int, std::vector<Indirizzo>> esito;
    };

    static LRESULT CALLBACK procedura(HWND h, UINT m, WPARAM w, LPARAM l);
    Momento momentoAttuale();
    bool avviaConnessione(const std::string& host, const std::string& porta);
    void onRisolto(std::unique_ptr<Risoluzione> risposta);
    bool connettiProssimo();
    void onSocket(WORD evento, WORD errore);
    void inviaResto();
    void Winsock_Error(int numero);
    void concludi(bool inviato);

    const Configurazione& configurazione_;
    Finestra finestra_;
    Socket socket_;
    std::mt19937 generatore_;
    Orologio orologio_;
    Messaggio messaggio_;
    Conclusione conclusa_;
    std::vector<Indirizzo> indirizzi_;
    std::size_t prossimo_ = 0;
    unsigned generazione_ = 0; // a new one for each press: late lookups are told apart
    std::string comando_;
    std::size_t inviati_ = 0;
    EsitoPressione esito_;
    bool inCorso_ = false;
    bool connesso_ = false;
};

} // namespace pulsiero::win
