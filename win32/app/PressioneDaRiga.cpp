#include "win32/app/PressioneDaRiga.h"

#include "win32/app/Console.h"
#include "win32/piattaforma/Configurazione.h"
#include "win32/piattaforma/Trasmettitore.h"

#include <windows.h>

namespace pulsiero::win {

int premiTasto(int indice, const std::wstring& percorsoIni) {
    Configurazione configurazione(percorsoIni);
    configurazione.CaricaConfigurazione(false);
    Trasmettitore trasmettitore(configurazione);
    trasmettitore.quandoMessaggio([](const Avviso& avviso) {
        std::wstring riga = avviso.testo;
        for (wchar_t& c : riga)
            if (c == L'\n' || c == L'\r')
                c = L' ';
        scriviErrore(riga + L'\n');
    });
    int stato = -1;
    trasmettitore.quandoConclusa([&stato](const EsitoPressione& esito) {
        stato = statoUscita(esito.tipo);
        PostQuitMessage(0);
    });
    trasmettitore.Img_Pulsante_Click(indice);
    // The press may have ended already (a counter that cannot be stored).
    MSG msg;
    while (stato < 0 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return stato < 0 ? kNienteInviato : stato;
}

} // namespace pulsiero::win
