#pragma once

#include "core/Impostazioni.h"
#include "win32/finestre/Finestra.h"
#include "win32/finestre/Immagine.h"
#include "win32/piattaforma/AvvioAutomatico.h"
#include "win32/piattaforma/CollegamentoDesktop.h"
#include "win32/piattaforma/Configurazione.h"
#include "win32/piattaforma/Handle.h"
#include "win32/piattaforma/IconaTray.h"
#include "win32/piattaforma/Trasmettitore.h"

#include <array>
#include <memory>
#include <string>

namespace pulsiero::win {

class Frm_About;
class Frm_Configurazione;

// Where the program keeps its files and what its entries start it with.
struct Ambiente {
    std::wstring percorsoIni;
    std::wstring eseguibile;
    std::wstring nomeBase;        // the auto-start value's name
    std::wstring cartellaDesktop; // where the shortcut goes
    std::wstring argomenti;       // the options the auto-start entry and the shortcut repeat
};

// The remote control: the transmitter's picture with its four keys, the menu bar, and the
// start-up of the whole program.
class Frm_Pulsiero {
public:
    explicit Frm_Pulsiero(Ambiente ambiente);
    Frm_Pulsiero(const Frm_Pulsiero&) = delete;
    Frm_Pulsiero& operator=(const Frm_Pulsiero&) = delete;
    ~Frm_Pulsiero();

    // Creates the window and runs the start-up sequence; false when no window could be made.
    bool Form_Load();
    // The message loop's look at each message first: shortcuts and the dialogs' keyboard.
    bool preTraduci(MSG& msg);

    HWND hwnd() const { return hwnd_; }

private:
    friend LRESULT CALLBACK proceduraFinestra<Frm_Pulsiero>(HWND, UINT, WPARAM, LPARAM);
    LRESULT gestisci(HWND h, UINT m, WPARAM w, LPARAM l);

    bool creaFinestra();
    void creaTooltip();
    void adattaAlDpi(UINT dpi);
    void applicaTesti(const Impostazioni::TestiPulsiero& testi);
    void impostaDescrizione(int indice, const std::wstring& descrizione);
    int tastoIn(int x, int y) const;
    void ridisegna();
    void mostraAvviso(const Avviso& avviso);
    void riprendiControllo();
    bool secondariaAperta() const;

    // Message handlers
    void onPaint(HWND h);
    void onMouseMove(HWND h, int x, int y, UINT flags);
    void onButtonDown(HWND h, BOOL doppio, int x, int y, UINT flags, int bottone);
    void onButtonUp(int x, int y, int bottone);
    void onKey(HWND h, UINT vk, BOOL giu, int ripetizioni, UINT flags);
    void onCommand(HWND h, int id, HWND controllo, UINT codice);
    void rilasciaTasto(bool invia);

    // The routines of the keypad
    void Img_Sfondo_MouseMove();
    void Img_Pulsante_MouseMove(int indice);
    void Img_Pulsante_MouseDown(int indice);
    void Img_Pulsante_MouseUp(int indice);
    void NascondiContorni();
    void ColoreContorno(int indice, COLORREF colore);
    void VisualizzaInvio(bool visibile);
    void NascondiFinestra(bool nascondi);
    void FineProgramma();

    // Menu commands
    void MenuAvvioAuto_Click();
    void AttivaAvvioAuto();
    void DisattivaAvvioAuto();
    void MenuConfigura_Click();
    void MenuInformazioni_Click();
    void spuntaAvvioAuto(bool spuntato);

    Ambiente ambiente_;
    HWND hwnd_ = nullptr;
    Icona iconaGrande_;
    Icona iconaPiccola_;
    Acceleratori acceleratori_;
    Configurazione configurazione_;
    Trasmettitore trasmettitore_;
    AvvioAutomatico avvioAutomatico_;
    CollegamentoDesktop collegamento_;
    std::unique_ptr<IconaTray> tray_;
    std::unique_ptr<Frm_About> about_;
    std::unique_ptr<Frm_Configurazione> dialogo_;
    HWND tooltip_ = nullptr;

    UINT dpi_ = 96;
    Immagine Img_Sfondo_;
    Immagine Img_Invio_;
    Font font_;
    std::wstring nome_;
    std::array<std::wstring, 4> descrizioni_;
    std::array<COLORREF, 4> coloreContorno_{};
    int contornoVisibile_ = -1; // the one outline shown, -1 for none
    bool invioVisibile_ = false;
    int tastoPremuto_ = -1;  // key held with the mouse (captured) or the keyboard
    int bottonePremuto_ = 0; // 1 left, 2 right, 3 middle, 4 keyboard
    bool caricamento_ = false;
    bool finito_ = false;
};

} // namespace pulsiero::win
