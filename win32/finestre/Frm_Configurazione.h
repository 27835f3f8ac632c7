#pragma once

#include "win32/finestre/Finestra.h"
#include "win32/piattaforma/Handle.h"

#include <array>
#include <functional>
#include <string>

namespace pulsiero::win {

class Configurazione;

// The settings editor: three pages of boxes, filled from the loaded settings when it opens and
// written back, all of them, when it closes. There is no OK or Cancel: closing saves.
class Frm_Configurazione {
public:
    // What the dialog takes from the main window: its name label and key descriptions.
    struct TestiFinestra {
        std::wstring nome;
        std::array<std::wstring, 4> tasti;
    };

    Frm_Configurazione(Configurazione& configurazione, HWND proprietaria);
    Frm_Configurazione(const Frm_Configurazione&) = delete;
    Frm_Configurazione& operator=(const Frm_Configurazione&) = delete;
    ~Frm_Configurazione();

    void quandoChiuso(std::function<void()> f) { chiuso_ = std::move(f); }
    void apri(const TestiFinestra& testi);
    // The dialog's keyboard (Tab, Enter, Ctrl+Tab) for messages meant for it.
    bool preTraduci(MSG& msg);
    HWND hwnd() const { return hwnd_; }

private:
    friend INT_PTR CALLBACK proceduraDialogo<Frm_Configurazione>(HWND, UINT, WPARAM, LPARAM);
    INT_PTR gestisci(HWND h, UINT m, WPARAM w, LPARAM l);

    BOOL onInitDialog(HWND h, HWND focus, LPARAM l);
    void onCommand(HWND h, int id, HWND controllo, UINT codice);
    LRESULT onNotify(HWND h, int id, NMHDR* nm);
    void posiziona();
    void creaTooltip();
    void mostraPagina(int pagina);
    void Form_QueryUnload();
    bool SalvaConfigurazione();
    void Cmd_Reset_Click();

    Configurazione& configurazione_;
    HWND proprietaria_;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    Icona icona_;
    Font font_;
    std::function<void()> chiuso_;
};

} // namespace pulsiero::win
