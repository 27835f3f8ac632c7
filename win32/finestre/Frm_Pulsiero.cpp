#include "win32/finestre/Frm_Pulsiero.h"

#include "win32/finestre/Frm_About.h"
#include "win32/finestre/Frm_Configurazione.h"
#include "win32/finestre/Messaggi.h"
#include "win32/piattaforma/Testi.h"
#include "win32/piattaforma/Utf16.h"
#include "win32/risorse/risorse.h"

#include <commctrl.h>
#include <shellapi.h>

#include <functional>

namespace pulsiero::win {

namespace {

constexpr wchar_t kClasse[] = L"Frm_Pulsiero";
constexpr SIZE kAreaClient{203, 304};
constexpr RECT kSfondo{0, 0, 202, 310};
constexpr RECT kInvio{88, 16, 120, 48};
constexpr RECT kEtichetta{32, 216, 169, 233};
constexpr std::array<RECT, 4> kTasti{
    {{50, 73, 86, 110}, {112, 73, 148, 110}, {50, 136, 86, 173}, {112, 136, 148, 173}}};
constexpr std::array<RECT, 4> kContorni{
    {{55, 80, 80, 105}, {117, 80, 142, 105}, {55, 143, 80, 168}, {117, 143, 142, 168}}};
constexpr COLORREF kTeal = RGB(0, 192, 192);
constexpr COLORREF kAcquaChiaro = RGB(128, 255, 255);
constexpr COLORREF kGrigioChiaro = RGB(192, 192, 192);

// The keys 1 to 4 of the keyboard, main row or keypad, match the keys of the picture.
int tastoDaTastiera(UINT vk) {
    if (vk >= '1' && vk <= '4')
        return static_cast<int>(vk - '1');
    if (vk >= VK_NUMPAD1 && vk <= VK_NUMPAD4)
        return static_cast<int>(vk - VK_NUMPAD1);
    return -1;
}

bool conModificatori() {
    return GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0 || GetKeyState(VK_LWIN) < 0 ||
           GetKeyState(VK_RWIN) < 0;
}

// The program's icon, as the executable carries it.
void iconeProgramma(const std::wstring& eseguibile, Icona& grande, Icona& piccola) {
    HICON g = nullptr;
    HICON p = nullptr;
    ExtractIconExW(eseguibile.c_str(), 0, &g, &p, 1);
    grande.reset(g ? g : CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)));
    piccola.reset(p ? p : CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)));
}

} // namespace

Frm_Pulsiero::Frm_Pulsiero(Ambiente ambiente)
    : ambiente_(std::move(ambiente)),
      acceleratori_(
          LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORI))),
      configurazione_(ambiente_.percorsoIni), trasmettitore_(configurazione_),
      avvioAutomatico_(ambiente_.nomeBase,
                       AvvioAutomatico::comandoPer(ambiente_.eseguibile, ambiente_.argomenti)),
      collegamento_(ambiente_.cartellaDesktop, ambiente_.eseguibile, ambiente_.argomenti),
      Img_Sfondo_(IDB_TELECOMANDO, 202, 310), Img_Invio_(IDB_INVIO, 32, 32) {
    coloreContorno_.fill(kTeal);
    for (int i = 0; i < 4; ++i)
        descrizioni_[i] = Testo(IDS_TASTO_N, std::to_wstring(i + 1));
    iconeProgramma(ambiente_.eseguibile, iconaGrande_, iconaPiccola_);
    configurazione_.quandoCaricata([this](const auto& testi) { applicaTesti(testi); });
    configurazione_.quandoMessaggio([this](const Avviso& a) { mostraAvviso(a); });
    trasmettitore_.quandoMessaggio([this](const Avviso& a) { mostraAvviso(a); });
}

Frm_Pulsiero::~Frm_Pulsiero() {
    dialogo_.reset();
    about_.reset();
    tray_.reset();
    if (hwnd_)
        DestroyWindow(hwnd_);
}

bool Frm_Pulsiero::creaFinestra() {
    WNDCLASSEXW classe{};
    classe.cbSize = sizeof classe;
    classe.lpfnWndProc = proceduraFinestra<Frm_Pulsiero>;
    classe.hInstance = GetModuleHandleW(nullptr);
    classe.hIcon = iconaGrande_.get();
    classe.hIconSm = iconaPiccola_.get();
    classe.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    classe.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    classe.lpszClassName = kClasse;
    RegisterClassExW(&classe);
    const HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_PRINCIPALE));
    // Fixed single border: no sizing frame, no maximise box.
    return CreateWindowExW(0, kClasse, Testo(IDS_TITOLO_FINESTRA).c_str(),
                           WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                               WS_CLIPCHILDREN,
                           CW_USEDEFAULT, CW_USEDEFAULT, 300, 400, nullptr, menu,
                           GetModuleHandleW(nullptr), this) != nullptr;
}

bool Frm_Pulsiero::Form_Load() {
    caricamento_ = true;
    if (!creaFinestra())
        return false;
    creaTooltip();
    adattaAlDpi(dpiDi(hwnd_));
    about_ = std::make_unique<Frm_About>(hwnd_);
    about_->quandoChiuso([this] { riprendiControllo(); });
    dialogo_ = std::make_unique<Frm_Configurazione>(configurazione_, hwnd_);
    dialogo_->quandoChiuso([this] { riprendiControllo(); });
    configurazione_.CaricaConfigurazione(false);
    NascondiContorni();
    // The random generator was seeded from the clock when the transmitter was made.
    tray_ = std::make_unique<IconaTray>(hwnd_, iconaPiccola_.get());
    tray_->quandoApri([this] { NascondiFinestra(false); });
    tray_->quandoFine([this] { FineProgramma(); });
    tray_->AggiungiIcona();
    const bool avvioAuto = avvioAutomatico_.LeggiAvvioAuto();
    spuntaAvvioAuto(avvioAuto);
    NascondiFinestra(avvioAuto);
    caricamento_ = false;
    return true;
}

void Frm_Pulsiero::creaTooltip() {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    for (UINT i = 0; i < 4; ++i) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = i;
        tool.lpszText = descrizioni_[i].data();
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void Frm_Pulsiero::adattaAlDpi(UINT dpi) {
    dpi_ = dpi;
    Img_Sfondo_.carica(dpi);
    Img_Invio_.carica(dpi);
    font_.reset(fontMessaggi(dpi));
    for (UINT i = 0; i < 4; ++i) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = hwnd_;
        tool.uId = i;
        tool.rect = scala(kTasti[i], dpi);
        SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    impostaAreaClient(hwnd_, scala(kAreaClient.cx, dpi), scala(kAreaClient.cy, dpi));
    ridisegna();
}

bool Frm_Pulsiero::preTraduci(MSG& msg) {
    if (dialogo_ && dialogo_->preTraduci(msg))
        return true;
    if (about_ && about_->preTraduci(msg))
        return true;
    // The shortcuts work while this window is active and enabled.
    return GetActiveWindow() == hwnd_ && IsWindowEnabled(hwnd_) &&
           TranslateAcceleratorW(hwnd_, acceleratori_.get(), &msg);
}

LRESULT Frm_Pulsiero::gestisci(HWND h, UINT m, WPARAM wParam, LPARAM lParam) {
    if (tray_ && tray_->gestisci(m, wParam, lParam))
        return 0;
    switch (m) {
        HANDLE_MSG(h, WM_PAINT, onPaint);
        HANDLE_MSG(h, WM_MOUSEMOVE, onMouseMove);
        HANDLE_MSG(h, WM_KEYDOWN, onKey);
        HANDLE_MSG(h, WM_KEYUP, onKey);
        HANDLE_MSG(h, WM_COMMAND, onCommand);
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        onButtonDown(h, FALSE, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                     static_cast<UINT>(wParam),
                     m == WM_LBUTTONDOWN   ? 1
                     : m == WM_RBUTTONDOWN ? 2
                                           : 3);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        onButtonUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                   m == WM_LBUTTONUP   ? 1
                   : m == WM_RBUTTONUP ? 2
                                       : 3);
        return 0;
    case WM_CAPTURECHANGED:
    case WM_KILLFOCUS:
        // A key held while the window loses the mouse or the keyboard is let go, unsent.
        if (tastoPremuto_ >= 0 && (m == WM_KILLFOCUS) == (bottonePremuto_ == 4))
            rilasciaTasto(false);
        break;
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers it all
    case WM_DPICHANGED: {
        const auto* proposto = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(h, nullptr, proposto->left, proposto->top, proposto->right - proposto->left,
                     proposto->bottom - proposto->top, SWP_NOZORDER | SWP_NOACTIVATE);
        adattaAlDpi(HIWORD(wParam));
        return 0;
    }
    case WM_CLOSE:
        // While the dialog or the About window is open the edits there are not thrown away.
        if (!secondariaAperta())
            FineProgramma();
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            FineProgramma();
        return 0;
    case WM_DESTROY:
        if (tray_)
            tray_->RimuoviIcona();
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(h, m, wParam, lParam);
}

void Frm_Pulsiero::onPaint(HWND h) {
    PAINTSTRUCT ps;
    const HDC schermo = BeginPaint(h, &ps);
    RECT client{};
    GetClientRect(h, &client);
    // Drawn off screen first, so nothing flickers as the outline moves.
    const HDC dc = CreateCompatibleDC(schermo);
    const Bitmap tela(CreateCompatibleBitmap(schermo, client.right, client.bottom));
    const HGDIOBJ telaPrima = SelectObject(dc, tela.get());
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    Img_Sfondo_.disegna(dc, scala(kSfondo, dpi_));

    RECT etichetta = scala(kEtichetta, dpi_);
    const HGDIOBJ fontPrima = SelectObject(dc, font_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kGrigioChiaro);
    // A name that fits is centred; a longer one shows its beginning, cut at the label's edge.
    SIZE misura{};
    GetTextExtentPoint32W(dc, nome_.c_str(), static_cast<int>(nome_.size()), &misura);
    const UINT allinea = misura.cx <= etichetta.right - etichetta.left ? DT_CENTER : DT_LEFT;
    DrawTextW(dc, nome_.c_str(), static_cast<int>(nome_.size()), &etichetta,
              allinea | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, fontPrima);

    if (invioVisibile_)
        Img_Invio_.disegna(dc, scala(kInvio, dpi_));
    if (contornoVisibile_ >= 0) {
        const RECT r = scala(kContorni[contornoVisibile_], dpi_);
        const Pennello nessuno(nullptr);
        HPEN penna = CreatePen(PS_SOLID, scala(2, dpi_), coloreContorno_[contornoVisibile_]);
        const HGDIOBJ pennaPrima = SelectObject(dc, penna);
        const HGDIOBJ pennelloPrima = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Ellipse(dc, r.left, r.top, r.right, r.bottom);
        SelectObject(dc, pennelloPrima);
        SelectObject(dc, pennaPrima);
        DeleteObject(penna);
    }
    BitBlt(schermo, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, telaPrima);
    DeleteDC(dc);
    EndPaint(h, &ps);
}

int Frm_Pulsiero::tastoIn(int x, int y) const {
    for (int i = 0; i < 4; ++i) {
        const RECT r = scala(kTasti[i], dpi_);
        if (PtInRect(&r, POINT{x, y}))
            return i;
    }
    return -1;
}

void Frm_Pulsiero::ridisegna() {
    InvalidateRect(hwnd_, nullptr, FALSE);
}

// While a button is held the pressed key gets every movement, wherever the pointer is.
void Frm_Pulsiero::onMouseMove(HWND, int x, int y, UINT) {
    if (tastoPremuto_ >= 0 && bottonePremuto_ != 4) {
        Img_Pulsante_MouseMove(tastoPremuto_);
        return;
    }
    const int tasto = tastoIn(x, y);
    if (tasto >= 0)
        Img_Pulsante_MouseMove(tasto);
    else
        Img_Sfondo_MouseMove();
}

void Frm_Pulsiero::onButtonDown(HWND h, BOOL, int x, int y, UINT, int bottone) {
    const int tasto = tastoIn(x, y);
    if (tasto < 0 || tastoPremuto_ >= 0)
        return;
    tastoPremuto_ = tasto;
    bottonePremuto_ = bottone;
    SetCapture(h);
    Img_Pulsante_MouseDown(tasto);
}

// A click is the left button pressed and released on the same key.
void Frm_Pulsiero::onButtonUp(int x, int y, int bottone) {
    if (tastoPremuto_ < 0 || bottone != bottonePremuto_)
        return;
    rilasciaTasto(bottone == 1 && tastoIn(x, y) == tastoPremuto_);
}

void Frm_Pulsiero::rilasciaTasto(bool invia) {
    const int tasto = tastoPremuto_;
    const bool mouse = bottonePremuto_ != 4;
    tastoPremuto_ = -1;
    bottonePremuto_ = 0;
    if (mouse && GetCapture() == hwnd_)
        ReleaseCapture();
    Img_Pulsante_MouseUp(tasto);
    if (invia)
        trasmettitore_.Img_Pulsante_Click(tasto);
}

void Frm_Pulsiero::onKey(HWND, UINT vk, BOOL giu, int, UINT flags) {
    const int tasto = tastoDaTastiera(vk);
    if (tasto < 0)
        return;
    const bool ripetuto = (flags & KF_REPEAT) != 0;
    if (giu && !ripetuto && tastoPremuto_ < 0 && !conModificatori()) {
        tastoPremuto_ = tasto;
        bottonePremuto_ = 4;
        Img_Pulsante_MouseMove(tasto);
        Img_Pulsante_MouseDown(tasto);
    } else if (!giu && tastoPremuto_ == tasto && bottonePremuto_ == 4) {
        rilasciaTasto(!conModificatori());
    }
}

void Frm_Pulsiero::Img_Sfondo_MouseMove() {
    VisualizzaInvio(false);
    NascondiContorni();
}

void Frm_Pulsiero::Img_Pulsante_MouseMove(int indice) {
    if (contornoVisibile_ == indice)
        return;
    contornoVisibile_ = indice;
    ridisegna();
}

void Frm_Pulsiero::Img_Pulsante_MouseDown(int indice) {
    VisualizzaInvio(true);
    ColoreContorno(indice, kAcquaChiaro);
}

void Frm_Pulsiero::Img_Pulsante_MouseUp(int indice) {
    VisualizzaInvio(false);
    ColoreContorno(indice, kTeal);
}

void Frm_Pulsiero::NascondiContorni() {
    if (contornoVisibile_ < 0)
        return;
    contornoVisibile_ = -1;
    ridisegna();
}

void Frm_Pulsiero::ColoreContorno(int indice, COLORREF colore) {
    coloreContorno_[indice] = colore;
    ridisegna();
    UpdateWindow(hwnd_); // the press shows before the transmission starts
}

void Frm_Pulsiero::VisualizzaInvio(bool visibile) {
    if (invioVisibile_ == visibile)
        return;
    invioVisibile_ = visibile;
    ridisegna();
}

void Frm_Pulsiero::applicaTesti(const Impostazioni::TestiPulsiero& testi) {
    VisualizzaInvio(false);
    nome_ = utf16(testi.nome);
    for (int i = 0; i < 4; ++i)
        if (!testi.tasti[i].empty()) // an empty description keeps the one shown so far
            impostaDescrizione(i, utf16(testi.tasti[i]));
    ridisegna();
}

void Frm_Pulsiero::impostaDescrizione(int indice, const std::wstring& descrizione) {
    descrizioni_[indice] = descrizione;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = hwnd_;
    tool.uId = static_cast<UINT_PTR>(indice);
    tool.lpszText = descrizioni_[indice].data();
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Frm_Pulsiero::mostraAvviso(const Avviso& avviso) {
    if (finito_)
        return;
    HWND proprietaria = hwnd_;
    if (dialogo_ && IsWindowVisible(dialogo_->hwnd()))
        proprietaria = dialogo_->hwnd();
    Messaggi::mostra(proprietaria, avviso);
}

void Frm_Pulsiero::NascondiFinestra(bool nascondi) {
    if (nascondi && tray_ && tray_->presente()) {
        ShowWindow(hwnd_, SW_HIDE);
        return;
    }
    if (nascondi) {
        // Nothing could bring a hidden window back: an ordinary minimised window instead.
        ShowWindow(hwnd_, SW_SHOWMINNOACTIVE);
        return;
    }
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOWNORMAL);
    // With the dialog or the About window open, that window comes to the front instead.
    HWND davanti = hwnd_;
    if (dialogo_ && IsWindowVisible(dialogo_->hwnd()))
        davanti = dialogo_->hwnd();
    else if (about_ && IsWindowVisible(about_->hwnd()))
        davanti = about_->hwnd();
    SetForegroundWindow(davanti);
    UpdateWindow(hwnd_);
}

void Frm_Pulsiero::FineProgramma() {
    if (finito_)
        return;
    finito_ = true;
    if (tray_)
        tray_->RimuoviIcona();
    trasmettitore_.chiudi();
    DestroyWindow(hwnd_);
}

bool Frm_Pulsiero::secondariaAperta() const {
    return (dialogo_ && IsWindowVisible(dialogo_->hwnd())) ||
           (about_ && IsWindowVisible(about_->hwnd()));
}

// The About window or the dialog has closed: this window takes input again.
void Frm_Pulsiero::riprendiControllo() {
    EnableWindow(hwnd_, TRUE);
    SetForegroundWindow(hwnd_);
    SetFocus(hwnd_);
    ridisegna();
}

void Frm_Pulsiero::onCommand(HWND, int id, HWND, UINT) {
    switch (id) {
    case ID_MenuFine:
        FineProgramma();
        break;
    case ID_MenuAvvioAuto:
        MenuAvvioAuto_Click();
        break;
    case ID_MenuCreaCollegamento:
        collegamento_.crea(); // the user sees the outcome on the desktop
        break;
    case ID_MenuEliminaCollegamento:
        collegamento_.elimina();
        break;
    case ID_MenuInitCom:
        // Reloads the settings; the next press connects with the address and port just loaded.
        configurazione_.CaricaConfigurazione(true);
        break;
    case ID_MenuConfigura:
        MenuConfigura_Click();
        break;
    case ID_MenuInformazioni:
        MenuInformazioni_Click();
        break;
    default:
        break;
    }
}

void Frm_Pulsiero::spuntaAvvioAuto(bool spuntato) {
    CheckMenuItem(GetMenu(hwnd_), ID_MenuAvvioAuto, spuntato ? MF_CHECKED : MF_UNCHECKED);
}

void Frm_Pulsiero::MenuAvvioAuto_Click() {
    if (caricamento_)
        return;
    const bool spuntato = GetMenuState(GetMenu(hwnd_), ID_MenuAvvioAuto, MF_BYCOMMAND) & MF_CHECKED;
    if (spuntato)
        DisattivaAvvioAuto();
    else
        AttivaAvvioAuto();
}

void Frm_Pulsiero::AttivaAvvioAuto() {
    if (cambiaAvvioAutomatico(avvioAutomatico_, true,
                              std::bind_front(&Frm_Pulsiero::spuntaAvvioAuto, this)))
        return;
    mostraAvviso(
        {Avviso::Tipo::Attenzione, Testo(IDS_TITOLO_PULSIERO), Testo(IDS_AVVIO_NON_INSERITO)});
}

void Frm_Pulsiero::DisattivaAvvioAuto() {
    if (cambiaAvvioAutomatico(avvioAutomatico_, false,
                              std::bind_front(&Frm_Pulsiero::spuntaAvvioAuto, this)))
        return;
    mostraAvviso({Avviso::Tipo::Errore, Testo(IDS_TITOLO_PULSIERO), Testo(IDS_AVVIO_GIA_INSERITO)});
}

void Frm_Pulsiero::MenuConfigura_Click() {
    trasmettitore_.chiudi();
    EnableWindow(hwnd_, FALSE);
    dialogo_->apri({nome_, descrizioni_});
}

void Frm_Pulsiero::MenuInformazioni_Click() {
    EnableWindow(hwnd_, FALSE);
    about_->mostra();
}

} // namespace pulsiero::win
