// The Win32 front-end's services without windows, on real sockets (127.0.0.1), files, the
// registry and shortcuts under Wine: the transmitter, the command line, auto-start, the desktop
// shortcut and the texts of the tray and the About window.
#include "tests/win32/CartellaProva.h"

#include "win32/app/RigaDiComando.h"
#include "win32/finestre/Frm_About.h"
#include "win32/piattaforma/AvvioAutomatico.h"
#include "win32/piattaforma/CollegamentoDesktop.h"
#include "win32/piattaforma/Configurazione.h"
#include "win32/piattaforma/ErroriWinsock.h"
#include "win32/piattaforma/IconaTray.h"
#include "win32/piattaforma/Trasmettitore.h"
#include "win32/piattaforma/Utf16.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <thread>
#include <vector>

using namespace pulsiero;
using namespace pulsiero::win;
using prova::CartellaProva;

namespace {

// A receiver on 127.0.0.1 that takes one connection and keeps its bytes.
class Ricevitore {
public:
    Ricevitore() {
        ascolto_.reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in indirizzo{};
        indirizzo.sin_family = AF_INET;
        indirizzo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int lunghezza = sizeof indirizzo;
        ::bind(ascolto_.get(), reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo);
        ::getsockname(ascolto_.get(), reinterpret_cast<sockaddr*>(&indirizzo), &lunghezza);
        porta_ = ntohs(indirizzo.sin_port);
    }
    int porta() const { return porta_; }
    void ascolta() {
        ::listen(ascolto_.get(), 1);
        filo_ = std::thread([this] {
            // A press that never connects must not hang the test.
            fd_set pronti;
            FD_ZERO(&pronti);
            FD_SET(ascolto_.get(), &pronti);
            timeval attesa{10, 0};
            if (::select(0, &pronti, nullptr, nullptr, &attesa) != 1)
                return;
            Socket conn(::accept(ascolto_.get(), nullptr, nullptr));
            char buffer[256];
            for (int n; (n = ::recv(conn.get(), buffer, sizeof buffer, 0)) > 0;)
                ricevuto_.append(buffer, static_cast<std::size_t>(n));
        });
    }
    std::string ricevuto() {
        if (filo_.joinable())
            filo_.join();
        return ricevuto_;
    }
    ~Ricevitore() {
        ascolto_.reset(); // a pending accept ends
        if (filo_.joinable())
            filo_.join();
    }

private:
    Socket ascolto_;
    int porta_ = 0;
    std::thread filo_;
    std::string ricevuto_;
};

struct Pressione {
    EsitoPressione esito;
    std::vector<std::wstring> messaggi; // "title: text"
};

// One click on key 0 at 10:30 with random value 5, run on this thread's message loop.
Pressione premi(const std::filesystem::path& ini) {
    Configurazione configurazione(ini.wstring());
    configurazione.CaricaConfigurazione(false);
    Trasmettitore trasmettitore(configurazione);
    trasmettitore.impostaOrologio([] { return Momento{10 * 60 + 30, 5}; });
    Pressione p;
    bool finita = false;
    trasmettitore.quandoMessaggio(
        [&p](const Avviso& a) { p.messaggi.push_back(a.titolo + L": " + a.testo); });
    trasmettitore.quandoConclusa([&](const EsitoPressione& e) {
        p.esito = e;
        finita = true;
    });
    trasmettitore.Img_Pulsante_Click(0);
    if (!finita)
        trasmettitore.Img_Pulsante_Click(1); // while the first is on its way: ignored
    for (MSG msg; !finita && GetMessageW(&msg, nullptr, 0, 0) > 0;)
        DispatchMessageW(&msg);
    return p;
}

class Trasmissione : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa_), 0); }
    void TearDown() override { WSACleanup(); }
    void impostazioni(const std::string& server) {
        prova::scrivi(ini_, "[Server]\r\nIndirizzo=127.0.0.1\r\n" + server);
    }
    WSADATA wsa_{};
    CartellaProva cartella_;
    std::filesystem::path ini_ = cartella_ / u8"pulsiero è.ini";
};

const std::wstring kNonInviato = L"Invio dati TCP/IP: Attenzione il comando non è stato inviato a "
                                 L"causa di un problema di connessione.";

TEST_F(Trasmissione, ConsegnaLaTramaESalvaIlPasso) {
    Ricevitore ricevitore;
    ricevitore.ascolta();
    impostazioni("Porta=" + std::to_string(ricevitore.porta()) + "\r\n");
    const Pressione p = premi(ini_);
    EXPECT_EQ(p.esito.tipo, EsitoPressione::Tipo::Consegnato);
    EXPECT_TRUE(p.messaggi.empty());
    EXPECT_EQ(ricevitore.ricevuto(), "FFFFE7E1F589AFFFFE8");
    EXPECT_NE(prova::contenuto(ini_).find("Passo=1\r\n"), std::string::npos);
}

// A name is looked up off the window's thread, and each of its addresses is tried in turn:
// "localhost" may give ::1 first, where this receiver does not listen.
TEST_F(Trasmissione, UnNomeSiRisolveSenzaFermareLaFinestra) {
    Ricevitore ricevitore;
    ricevitore.ascolta();
    prova::scrivi(ini_, "[Server]\r\nIndirizzo=localhost\r\nPorta=" +
                            std::to_string(ricevitore.porta()) + "\r\n");
    const Pressione p = premi(ini_);
    EXPECT_EQ(p.esito.tipo, EsitoPressione::Tipo::Consegnato);
    EXPECT_EQ(ricevitore.ricevuto(), "FFFFE7E1F589AFFFFE8");
}

TEST_F(Trasmissione, UnRifiutoDiceErroreWinsockEPoiAvviso) {
    const int chiusa = Ricevitore().porta(); // bound, then closed: nobody listens there
    impostazioni("Porta=" + std::to_string(chiusa) + "\r\n");
    const Pressione p = premi(ini_);
    EXPECT_EQ(p.esito.tipo, EsitoPressione::Tipo::NonConsegnato);
    ASSERT_TRUE(p.esito.errore);
    EXPECT_EQ(p.esito.errore->numero, 10061);
    EXPECT_EQ(p.messaggi, (std::vector<std::wstring>{
                              L"Errore di comunicazione: Errore 10061 - Connessione rifiutata dal "
                              L"ricevitore",
                              kNonInviato}));
    // The step is used all the same: the receiver never sees one twice.
    EXPECT_NE(prova::contenuto(ini_).find("Passo=1\r\n"), std::string::npos);
}

// The same words as the Linux build for the same failure; Windows' own text for the rest.
TEST(ErroriWinsock, DescrizioniDelProgrammaPoiDiSistema) {
    const std::pair<int, const wchar_t*> righe[] = {
        {WSAECONNREFUSED, L"Connessione rifiutata dal ricevitore"},
        {WSAENETUNREACH, L"Rete non raggiungibile"},
        {WSAEHOSTUNREACH, L"Host non raggiungibile"},
        {WSAETIMEDOUT, L"Tempo di connessione scaduto"},
        {WSAECONNRESET, L"Connessione interrotta dal ricevitore"},
        {WSAEACCES, L"Accesso alla rete negato"},
        {WSAEADDRNOTAVAIL, L"Indirizzo non valido"},
        {WSAEAFNOSUPPORT, L"Famiglia di indirizzi non supportata"},
        {WSAENOBUFS, L"Risorse di sistema insufficienti"},
        {WSAENETDOWN, L"Rete non disponibile"},
        {WSAHOST_NOT_FOUND, L"Host non trovato"},
    };
    for (const auto& [numero, testo] : righe)
        EXPECT_EQ(win::erroreSocket(numero).descrizione, testo) << numero;
    EXPECT_FALSE(win::erroreSocket(WSAEWOULDBLOCK).descrizione.empty());
}

TEST_F(Trasmissione, PortaNonValidaNonConnetteMaConsumaIlPasso) {
    for (const char* porta : {"0", "70000", "abc", ""}) {
        SCOPED_TRACE(porta);
        impostazioni(std::string("Porta=") + porta + "\r\n[Pulsiero]\r\nPasso=7\r\n");
        const Pressione p = premi(ini_);
        EXPECT_EQ(p.esito.tipo, EsitoPressione::Tipo::NienteInviato);
        EXPECT_EQ(p.messaggi, std::vector<std::wstring>{kNonInviato});
        EXPECT_NE(prova::contenuto(ini_).find("Passo=8\r\n"), std::string::npos);
    }
}

TEST_F(Trasmissione, UnContatoreNonSalvabileNonMandaNulla) {
    std::filesystem::create_directory(ini_); // a folder where the settings file should be
    const Pressione p = premi(ini_);
    EXPECT_EQ(p.esito.tipo, EsitoPressione::Tipo::NienteInviato);
    ASSERT_EQ(p.messaggi.size(), 1u);
    EXPECT_NE(p.messaggi[0].find(L"contatore dei passi"), std::wstring::npos);
}

struct CasoRiga {
    std::vector<std::wstring> argomenti;
    RigaDiComando::Azione azione;
    int tasto;
    std::wstring errore;
};

TEST(RigaDiComando, OpzioniEdErrori) {
    using A = RigaDiComando::Azione;
    const CasoRiga casi[] = {
        {{}, A::Finestra, 0, L""},
        {{L"--tasto", L"3"}, A::Tasto, 3, L""},
        {{L"-t", L"1"}, A::Tasto, 1, L""},
        {{L"--tasto=4"}, A::Tasto, 4, L""},
        {{L"--help", L"--tasto", L"9"}, A::Aiuto, 0, L""},
        {{L"--version"}, A::Versione, 0, L""},
        {{L"--tasto", L"5"}, A::Errore, 0, L"--tasto vuole un numero da 1 a 4, non «5»"},
        {{L"--tasto"}, A::Errore, 0, L"manca il valore di --tasto"},
        {{L"--boh"}, A::Errore, 0, L"opzione sconosciuta: --boh"},
        {{L"file.ini"}, A::Errore, 0, L"argomento inatteso: file.ini"},
        {{L"--impostazioni="}, A::Errore, 0, L"--impostazioni vuole il nome di un file"},
    };
    for (const CasoRiga& c : casi) {
        SCOPED_TRACE(c.argomenti.empty() ? std::string("(nessuno)") : utf8(c.argomenti[0]));
        const RigaDiComando r = RigaDiComando::leggi(c.argomenti);
        EXPECT_EQ(r.azione, c.azione);
        EXPECT_EQ(r.tasto, c.tasto);
        EXPECT_EQ(r.errore, c.errore);
    }
    const RigaDiComando r = RigaDiComando::leggi({L"-i", L"altro.ini"});
    EXPECT_EQ(r.argomentiDelleVoci(), L"--impostazioni \"" + r.impostazioni + L"\"");
    EXPECT_NE(r.impostazioni.find(L":\\"), std::wstring::npos); // made absolute
}

TEST(AvvioAutomatico, ValoreRunScrittoLettoETolto) {
    const std::wstring nome = L"pulsiero prova " + std::to_wstring(GetCurrentProcessId());
    const std::wstring comando = AvvioAutomatico::comandoPer(L"C:\\Program Files\\P\\p.exe", L"");
    EXPECT_EQ(comando, L"\"C:\\Program Files\\P\\p.exe\"");
    const AvvioAutomatico avvio(nome, comando);
    EXPECT_FALSE(avvio.LeggiAvvioAuto());
    EXPECT_TRUE(avvio.scrivi());
    EXPECT_TRUE(avvio.LeggiAvvioAuto());
    EXPECT_TRUE(avvio.elimina());
    EXPECT_FALSE(avvio.LeggiAvvioAuto());
    // A value with empty data counts as off.
    EXPECT_TRUE(AvvioAutomatico(nome, L"").scrivi() == false);
    EXPECT_TRUE(AvvioAutomatico(nome, L"").elimina());
}

TEST(CollegamentoDesktop, CreatoEliminatoEQuelloAltruiIntatto) {
    CartellaProva cartella;
    const std::wstring exe = L"C:\\windows\\system32\\notepad.exe";
    const CollegamentoDesktop nostro(cartella.percorso().wstring(), exe, L"--impostazioni \"x\"");
    ASSERT_TRUE(nostro.crea());
    EXPECT_TRUE(std::filesystem::exists(nostro.percorso()));
    EXPECT_TRUE(nostro.elimina());
    EXPECT_FALSE(std::filesystem::exists(nostro.percorso()));

    ASSERT_TRUE(CollegamentoDesktop(cartella.percorso().wstring(),
                                    L"C:\\windows\\system32\\winver.exe", L"")
                    .crea());
    const std::string altrui = prova::contenuto(nostro.percorso());
    EXPECT_FALSE(nostro.crea());
    EXPECT_FALSE(nostro.elimina());
    EXPECT_EQ(prova::contenuto(nostro.percorso()), altrui);
}

TEST(Testi, TooltipEVersione) {
    const std::wstring tooltip = IconaTray::tooltip();
    EXPECT_EQ(tooltip.rfind(L"Pulsiero Rolling Code 1.00 - ", 0), 0u);
    EXPECT_LE(tooltip.size(), IconaTray::kLunghezzaMassimaTooltip);
    EXPECT_EQ(Frm_About::testoVersione(1, 0, 0), L"Versione 1.00");
    EXPECT_EQ(Frm_About::testoVersione(2, 3, 10), L"Versione 2.310");
}

} // namespace
