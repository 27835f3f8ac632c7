#include "win32/piattaforma/Trasmettitore.h"

#include "core/LenientNumber.h"
#include "win32/piattaforma/Configurazione.h"
#include "win32/piattaforma/SuonoTasto.h"
#include "win32/piattaforma/Testi.h"
#include "win32/risorse/risorse.h"

#include <ws2tcpip.h>

#include <cstring>

#include <chrono>
#include <thread>

namespace pulsiero::win {

namespace {

constexpr UINT kMessaggioSocket = WM_APP + 1;
constexpr UINT kMessaggioRisolto = WM_APP + 2;
constexpr UINT_PTR kTimerScadenza = 1;
constexpr wchar_t kClasse[] = L"PulsieroTrasmettitore";

std::optional<int> portaValida(const std::string& porta) {
    const auto numero = readInt32(porta);
    if (!numero || *numero < 1 || *numero > 65535)
        return std::nullopt;
    return *numero;
}

// The addresses of a host and port; the getaddrinfo error number when there are none.
std::variant<int, std::vector<Trasmettitore::Indirizzo>>
risolvi(const std::string& host, const std::string& porta, int opzioni) {
    addrinfo richiesta{};
    richiesta.ai_family = AF_UNSPEC;
    richiesta.ai_socktype = SOCK_STREAM;
    richiesta.ai_protocol = IPPROTO_TCP;
    richiesta.ai_flags = AI_NUMERICSERV | opzioni;
    addrinfo* lista = nullptr;
    if (const int errore = getaddrinfo(host.c_str(), porta.c_str(), &richiesta, &lista))
        return errore;
    std::vector<Trasmettitore::Indirizzo> indirizzi;
    for (const addrinfo* a = lista; a; a = a->ai_next) {
        Trasmettitore::Indirizzo i{};
        std::memcpy(&i.indirizzo, a->ai_addr, a->ai_addrlen);
        i.lunghezza = static_cast<int>(a->ai_addrlen);
        i.famiglia = a->ai_family;
        indirizzi.push_back(i);
    }
    freeaddrinfo(lista);
    return indirizzi;
}

HWND creaFinestraMessaggi(void* proprietario) {
    WNDCLASSEXW classe{};
    classe.cbSize = sizeof classe;
    classe.lpfnWndProc = DefWindowProcW;
    classe.hInstance = GetModuleHandleW(nullptr);
    classe.lpszClassName = kClasse;
    RegisterClassExW(&classe); // a second registration fails harmlessly
    return CreateWindowExW(0, kClasse, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), proprietario);
}

} // namespace

Trasmettitore::Trasmettitore(const Configurazione& configurazione)
    : configurazione_(configurazione), finestra_(creaFinestraMessaggi(this)),
      // Seeded once per run from the clock.
      generatore_(static_cast<std::mt19937::result_type>(
          std::chrono::steady_clock::now().time_since_epoch().count())) {
    SetWindowLongPtrW(finestra_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(finestra_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&procedura));
}

Trasmettitore::~Trasmettitore() {
    socket_.reset();
    // A lookup that finished meanwhile left its answer in the queue.
    for (MSG msg;
         PeekMessageW(&msg, finestra_.get(), kMessaggioRisolto, kMessaggioRisolto, PM_REMOVE);)
        delete reinterpret_cast<Risoluzione*>(msg.lParam);
    SetWindowLongPtrW(finestra_.get(), GWLP_USERDATA, 0);
}

LRESULT CALLBACK Trasmettitore::procedura(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<Trasmettitore*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(h, m, w, l);
    if (m == kMessaggioSocket) {
        // Events of a socket closed since they were queued are stale.
        if (self->socket_ && static_cast<SOCKET>(w) == self->socket_.get())
            self->onSocket(WSAGETSELECTEVENT(l), WSAGETSELECTERROR(l));
        return 0;
    }
    if (m == kMessaggioRisolto) {
        self->onRisolto(std::unique_ptr<Risoluzione>(reinterpret_cast<Risoluzione*>(l)));
        return 0;
    }
    if (m == WM_TIMER && w == kTimerScadenza) {
        KillTimer(h, kTimerScadenza);
        self->concludi(self->inviati_ == self->comando_.size() && self->connesso_);
        return 0;
    }
    return DefWindowProcW(h, m, w, l);
}

Momento Trasmettitore::momentoAttuale() {
    if (orologio_)
        return orologio_();
    SYSTEMTIME ora{};
    GetLocalTime(&ora);
    std::uniform_int_distribution<std::int32_t> casuale(0, 15);
    return {static_cast<std::int16_t>(ora.wHour * 60 + ora.wMinute), casuale(generatore_)};
}

void Trasmettitore::Img_Pulsante_Click(int indice) {
    // A press still being delivered owns the socket: a further click is ignored.
    if (inCorso_)
        return;
    const Impostazioni& imp = configurazione_.impostazioni();
    auto esito = PreparaComando(static_cast<std::int16_t>(indice), imp,
                                configurazione_.percorsoFile(), momentoAttuale());
    auto* comando = std::get_if<std::string>(&esito);
    if (!comando) {
        const bool chiave = std::get<ErroreComando>(esito) == ErroreComando::Chiave;
        if (messaggio_)
            messaggio_({Avviso::Tipo::Attenzione, Testo(IDS_TITOLO_INVIO),
                        Testo(chiave ? IDS_CHIAVE_NON_VALIDA : IDS_CONTATORE_NON_SALVATO)});
        if (conclusa_)
            conclusa_({EsitoPressione::Tipo::NienteInviato, std::nullopt});
        return;
    }
    suonaTasto(imp.FileSuono);

    inCorso_ = true;
    connesso_ = false;
    comando_ = std::move(*comando);
    inviati_ = 0;
    esito_ = {EsitoPressione::Tipo::NonConsegnato, std::nullopt};
    const auto porta = portaValida(imp.PortaIP);
    // Without an address or a port there is nothing to connect to: the press just fails, with
    // no socket error of its own before the warning.
    if (!porta || imp.IndirizzoIP.empty()) {
        esito_.tipo = EsitoPressione::Tipo::NienteInviato;
        concludi(false);
        return;
    }
    SetTimer(finestra_.get(), kTimerScadenza, kAttesaConnessioneMs, nullptr);
    if (!avviaConnessione(imp.IndirizzoIP, std::to_string(*porta)))
        concludi(false);
}

// An address is used at once; a host name is looked up on a thread of its own, so a slow name
// server never holds the window: its answer comes back as a message. false when the connection
// failed at once; its error has been reported.
bool Trasmettitore::avviaConnessione(const std::string& host, const std::string& porta) {
    auto numerico = risolvi(host, porta, AI_NUMERICHOST);
    if (auto* indirizzi = std::get_if<std::vector<Indirizzo>>(&numerico)) {
        indirizzi_ = std::move(*indirizzi);
        prossimo_ = 0;
        return connettiProssimo();
    }
    const HWND finestra = finestra_.get();
    const unsigned generazione = generazione_;
    std::thread([finestra, generazione, host, porta] {
        auto risposta =
            std::make_unique<Risoluzione>(Risoluzione{generazione, risolvi(host, porta, 0)});
        if (PostMessageW(finestra, kMessaggioRisolto, 0, reinterpret_cast<LPARAM>(risposta.get())))
            risposta.release();
    }).detach();
    return true;
}

void Trasmettitore::onRisolto(std::unique_ptr<Risoluzione> risposta) {
    // The answer of a press already over (given up, or closed) is dropped.
    if (!inCorso_ || risposta->generazione != generazione_)
        return;
    if (const int* errore = std::get_if<int>(&risposta->esito)) {
        Winsock_Error(*errore);
        concludi(false);
        return;
    }
    indirizzi_ = std::move(std::get<std::vector<Indirizzo>>(risposta->esito));
    prossimo_ = 0;
    if (!connettiProssimo())
        concludi(false);
}

// Each address of the host in turn ("localhost" may give ::1 before 127.0.0.1): false when none
// is left to try; the last error has been reported.
bool Trasmettitore::connettiProssimo() {
    int errore = WSAEADDRNOTAVAIL;
    while (prossimo_ < indirizzi_.size()) {
        const Indirizzo& a = indirizzi_[prossimo_++];
        socket_.reset(::socket(a.famiglia, SOCK_STREAM, IPPROTO_TCP));
        // WSAAsyncSelect makes the socket non-blocking: connect returns at once.
        if (socket_ &&
            WSAAsyncSelect(socket_.get(), finestra_.get(), kMessaggioSocket,
                           FD_CONNECT | FD_WRITE | FD_CLOSE) == 0 &&
            (::connect(socket_.get(), reinterpret_cast<const sockaddr*>(&a.indirizzo),
                       a.lunghezza) == 0 ||
             WSAGetLastError() == WSAEWOULDBLOCK))
            return true;
        errore = WSAGetLastError();
        socket_.reset();
    }
    Winsock_Error(errore);
    return false;
}

void Trasmettitore::onSocket(WORD evento, WORD errore) {
    if (!inCorso_)
        return;
    if (errore != 0 && evento == FD_CONNECT && prossimo_ < indirizzi_.size()) {
        socket_.reset();
        if (!connettiProssimo())
            concludi(false);
        return;
    }
    if (errore != 0) {
        // A receiver that hangs up once it has the whole frame is no fault of ours.
        const bool consegnato = connesso_ && inviati_ == comando_.size();
        if (!consegnato)
            Winsock_Error(errore);
        concludi(consegnato);
        return;
    }
    if (evento == FD_CONNECT) {
        connesso_ = true;
        KillTimer(finestra_.get(), kTimerScadenza);
        SetTimer(finestra_.get(), kTimerScadenza, kAttesaConsegnaMs, nullptr);
        inviaResto();
    } else if (evento == FD_WRITE && connesso_) {
        inviaResto();
    } else if (evento == FD_CLOSE) {
        concludi(connesso_ && inviati_ == comando_.size());
    }
}

void Trasmettitore::inviaResto() {
    while (inviati_ < comando_.size()) {
        const int n = ::send(socket_.get(), comando_.data() + inviati_,
                             static_cast<int>(comando_.size() - inviati_), 0);
        if (n == SOCKET_ERROR) {
            const int errore = WSAGetLastError();
            if (errore == WSAEWOULDBLOCK)
                return; // FD_WRITE says when there is room again
            Winsock_Error(errore);
            concludi(false);
            return;
        }
        inviati_ += static_cast<std::size_t>(n);
    }
    // Every byte is with the system, which sends them before its orderly close.
    ::shutdown(socket_.get(), SD_SEND);
    concludi(true);
}

void Trasmettitore::Winsock_Error(int numero) {
    esito_.errore = erroreSocket(numero);
}

void Trasmettitore::chiudi() {
    if (inCorso_)
        concludi(false);
    socket_.reset();
}

void Trasmettitore::concludi(bool inviato) {
    if (!inCorso_)
        return;
    inCorso_ = false;
    connesso_ = false;
    ++generazione_;
    indirizzi_.clear();
    KillTimer(finestra_.get(), kTimerScadenza);
    // A pending connection is dropped so the next press starts from a closed socket.
    socket_.reset();
    if (inviato)
        esito_.tipo = EsitoPressione::Tipo::Consegnato;
    // Everything is settled before the user is told: a message box runs its own message loop.
    const EsitoPressione esito = esito_;
    if (messaggio_ && esito.errore)
        messaggio_({Avviso::Tipo::Attenzione, Testo(IDS_TITOLO_ERRORE_COMUNICAZIONE),
                    Testo(IDS_ERRORE_COMUNICAZIONE, std::to_wstring(esito.errore->numero),
                          esito.errore->descrizione)});
    if (messaggio_ && !inviato)
        messaggio_({Avviso::Tipo::Attenzione, Testo(IDS_TITOLO_INVIO), Testo(IDS_NON_INVIATO)});
    if (conclusa_)
        conclusa_(esito);
}

} // namespace pulsiero::win
