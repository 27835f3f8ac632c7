#include "win32/app/Console.h"
#include "win32/app/PressioneDaRiga.h"
#include "win32/app/RigaDiComando.h"
#include "win32/finestre/Frm_Pulsiero.h"
#include "win32/piattaforma/Metadati.h"
#include "win32/piattaforma/Percorsi.h"
#include "win32/piattaforma/PercorsoImpostazioni.h"
#include "win32/piattaforma/Testi.h"
#include "win32/risorse/risorse.h"

#include <commctrl.h>
#include <winsock2.h>

namespace {

using namespace pulsiero::win;

// Winsock for the life of the program.
class WinsockAttivo {
public:
    WinsockAttivo() { ok_ = WSAStartup(MAKEWORD(2, 2), &dati_) == 0; }
    WinsockAttivo(const WinsockAttivo&) = delete;
    WinsockAttivo& operator=(const WinsockAttivo&) = delete;
    ~WinsockAttivo() {
        if (ok_)
            WSACleanup();
    }

private:
    WSADATA dati_{};
    bool ok_ = false;
};

std::wstring fileImpostazioni(const RigaDiComando& riga) {
    return riga.impostazioni.empty() ? percorsoImpostazioni() : riga.impostazioni;
}

// Help, version, an error or one key press, with no window and no tray icon.
int senzaFinestra(const RigaDiComando& riga) {
    switch (riga.azione) {
    case RigaDiComando::Azione::Aiuto:
        scriviOutput(Testo(IDS_RIGA_AIUTO, riga.impostazioni.empty() ? scegliImpostazioni().percorso
                                                                     : riga.impostazioni));
        return 0;
    case RigaDiComando::Azione::Versione:
        scriviOutput(Testo(IDS_RIGA_VERSIONE,
                           std::to_wstring(pulsiero::metadati::kVersioneMaggiore) + L'.' +
                               std::to_wstring(pulsiero::metadati::kVersioneMinore) + L'.' +
                               std::to_wstring(pulsiero::metadati::kRevisione),
                           pulsiero::metadati::kCopyright));
        return 0;
    case RigaDiComando::Azione::Tasto:
        return premiTasto(riga.tasto - 1, fileImpostazioni(riga));
    case RigaDiComando::Azione::Errore:
    case RigaDiComando::Azione::Finestra:
        break;
    }
    scriviErrore(Testo(IDS_RIGA_ERRORE, riga.errore));
    return pulsiero::kNienteInviato;
}

int cicloMessaggi(Frm_Pulsiero& finestra) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (finestra.preTraduci(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const WinsockAttivo winsock;
    const auto riga = RigaDiComando::leggi(argomentiDelProcesso());
    if (riga.azione != RigaDiComando::Azione::Finestra)
        return senzaFinestra(riga);

    const INITCOMMONCONTROLSEX controlli{sizeof(INITCOMMONCONTROLSEX),
                                         ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controlli);
    Frm_Pulsiero finestra({fileImpostazioni(riga), percorsoEseguibile(), nomeBaseEseguibile(),
                           CollegamentoDesktop::cartellaPredefinita(), riga.argomentiDelleVoci()});
    if (!finestra.Form_Load())
        return 1;
    return cicloMessaggi(finestra);
}
