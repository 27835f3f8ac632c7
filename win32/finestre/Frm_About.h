#pragma once

#include "win32/finestre/Finestra.h"
#include "win32/finestre/Immagine.h"
#include "win32/piattaforma/Handle.h"

#include <functional>
#include <string>

namespace pulsiero::win {

// Product name, version, copyright, the legal warning and the contact link that opens a new
// e-mail. Created hidden at start-up, shown and hidden again as often as asked.
class Frm_About {
public:
    explicit Frm_About(HWND proprietaria);
    Frm_About(const Frm_About&) = delete;
    Frm_About& operator=(const Frm_About&) = delete;
    ~Frm_About();

    // "Versione 1.00": the minor number and the revision run together.
    static std::wstring testoVersione(int maggiore, int minore, int revisione);

    void quandoChiuso(std::function<void()> f) { chiuso_ = std::move(f); }
    void mostra();
    bool preTraduci(MSG& msg);
    HWND hwnd() const { return hwnd_; }

private:
    friend INT_PTR CALLBACK proceduraDialogo<Frm_About>(HWND, UINT, WPARAM, LPARAM);
    INT_PTR gestisci(HWND h, UINT m, WPARAM w, LPARAM l);

    void Form_Load();
    void posiziona();
    void onPaint(HWND h);
    void onMouseMove(int x, int y);
    void onClick(bool giu, int x, int y);
    INT_PTR onColoreStatico(HDC dc, HWND controllo);
    void sottolineaEMail(bool sottolineato);
    void allargaEMail(UINT dpi);
    void cmdOK_Click();

    HWND proprietaria_;
    HWND hwnd_ = nullptr;
    Icona icona_;
    Immagine Img_Logo_;
    Font fontNome_, fontVersione_, fontCopy_, fontTesto_, fontLink_;
    int emailDestra_ = 0; // the link label's right edge, in client pixels
    bool sottolineato_ = false;
    bool premutoSullEMail_ = false;
    std::function<void()> chiuso_;
};

} // namespace pulsiero::win
