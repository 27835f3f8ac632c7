#include "win32/piattaforma/Trasmettitore.h"

#include "core/LenientNumber.h"
#include "win32/piattaforma/Configurazione.h"
#include "win32/piattaforma/SuonoTasto.h"
#include "win32/piattaforma/Testi.h"
#include "win32/risorse/risorse.h"

#include <ws2tcpip.h>

#include <chrono>

namespace pulsiero::win {

namespace {

constexpr UINT kMessaggioSocket = WM_APP + 1;
constexpr UINT_PTR kTimerScadenza = 1;
constexpr wchar_t kClasse[] = L"PulsieroTrasmettitore";

std::optional<int> portaValida(const std::string& porta) {
    const auto numero = readInt32(porta);
    if (!numero || *numero < 1 || *numero > 65535)
        return std::nullopt;
    return *numero;
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

// false when the connection failed at once; its error has been reported.
bool Trasmettitore::avviaConnessione(const std::string& host, const std::string& porta) {
    addrinfo richiesta{};
    richiesta.ai_family = AF_UNSPEC;
    richiesta.ai_socktype = SOCK_STREAM;
    richiesta.ai_protocol = IPPROTO_TCP;
    richiesta.ai_flags = AI_NUMERICSERV;
    addrinfo* indirizzi = nullptr;
    if (const int errore = getaddrinfo(host.c_str(), porta.c_str(), &richiesta, &indirizzi)) {
        Winsock_Error(errore);
        return false;
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> possesso(indirizzi, &freeaddrinfo);
    socket_.reset(::socket(indirizzi->ai_family, indirizzi->ai_socktype, indirizzi->ai_protocol));
    // WSAAsyncSelect makes the socket non-blocking: connect returns at once.
    if (!socket_ || WSAAsyncSelect(socket_.get(), finestra_.get(), kMessaggioSocket,
                                   FD_CONNECT | FD_WRITE | FD_CLOSE) != 0) {
        Winsock_Error(WSAGetLastError());
        return false;
    }
    if (::connect(socket_.get(), indirizzi->ai_addr, static_cast<int>(indirizzi->ai_addrlen)) ==
            0 ||
        WSAGetLastError() == WSAEWOULDBLOCK)
        return true;
    Winsock_Error(WSAGetLastError());
    return false;
}

void Trasmettitore::onSocket(WORD evento, WORD errore) {
    if (!inCorso_)
        return;
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
