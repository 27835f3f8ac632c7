#include "win32/finestre/Frm_About.h"

#include "win32/piattaforma/Metadati.h"
#include "win32/piattaforma/Testi.h"
#include "win32/risorse/risorse.h"

#include <shellapi.h>

#include <algorithm>

namespace pulsiero::win {

namespace {

constexpr SIZE kAreaClient{413, 219};
constexpr COLORREF kBluScuro = RGB(0, 0, 128);
constexpr COLORREF kBianco = RGB(255, 255, 255);
constexpr COLORREF kGrigio = RGB(128, 128, 128);
constexpr RECT kLogo{0, 0, 413, 77};
constexpr RECT kEMailArea{0, 176, 305, 217}; // Img_EMail: the pointer leaving the link crosses it
constexpr RECT kEMail{8, 200, 108, 214};

struct Posto {
    int id;
    RECT r;
};
constexpr Posto kPosti[] = {
    {IDC_cmdOK, {320, 190, 404, 213}},     {IDC_Lab_EMail, kEMail},
    {IDC_Lab_copy, {0, 85, 417, 104}},     {IDC_lblVersion, {0, 48, 414, 64}},
    {IDC_lblProductName, {0, 8, 409, 57}}, {IDC_Lab_Warning, {8, 120, 305, 201}},
};

HFONT arial(double punti, bool grassetto, bool sottolineato, UINT dpi) {
    const int altezza = -static_cast<int>(punti * dpi / 72.0 + 0.5);
    return CreateFontW(altezza, 0, 0, 0, grassetto ? FW_BOLD : FW_NORMAL, FALSE, sottolineato,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Arial");
}

} // namespace

std::wstring Frm_About::testoVersione(int maggiore, int minore, int revisione) {
    return Testo(IDS_VERSIONE, std::to_wstring(maggiore) + L'.' + std::to_wstring(minore) +
                                   std::to_wstring(revisione));
}

Frm_About::Frm_About(HWND proprietaria)
    : proprietaria_(proprietaria),
      icona_(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                           MAKEINTRESOURCEW(IDI_INFORMAZIONI), IMAGE_ICON, 0, 0,
                                           LR_DEFAULTSIZE))),
      Img_Logo_(IDB_BANNER, 413, 77) {
    // Owned by the main window, so it has no taskbar button of its own.
    CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_Frm_About), proprietaria,
                       proceduraDialogo<Frm_About>, reinterpret_cast<LPARAM>(this));
}

Frm_About::~Frm_About() {
    if (hwnd_)
        DestroyWindow(hwnd_);
}

void Frm_About::Form_Load() {
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icona_.get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icona_.get()));
    SetDlgItemTextW(
        hwnd_, IDC_lblVersion,
        testoVersione(metadati::kVersioneMaggiore, metadati::kVersioneMinore, metadati::kRevisione)
            .c_str());
    SetDlgItemTextW(hwnd_, IDC_lblProductName, metadati::kTitolo);
    SetDlgItemTextW(hwnd_, IDC_Lab_copy,
                    (std::wstring(metadati::kCopyright) + L" - " + Testo(IDS_DIRITTI)).c_str());
    SetDlgItemTextW(hwnd_, IDC_Lab_Warning, Testo(IDS_AVVERTENZA).c_str());
    SetDlgItemTextW(hwnd_, IDC_Lab_EMail, metadati::kEmail);
    posiziona();
}

void Frm_About::posiziona() {
    const UINT dpi = dpiDi(hwnd_);
    impostaAreaClient(hwnd_, scala(kAreaClient.cx, dpi), scala(kAreaClient.cy, dpi));
    Img_Logo_.carica(dpi);
    fontNome_.reset(arial(20.25, true, false, dpi));
    fontVersione_.reset(arial(8.25, true, false, dpi));
    fontCopy_.reset(arial(9.75, true, false, dpi));
    fontTesto_.reset(arial(8.25, false, false, dpi));
    fontLink_.reset(arial(8.25, false, true, dpi));
    for (const Posto& p : kPosti) {
        const RECT r = scala(p.r, dpi);
        MoveWindow(GetDlgItem(hwnd_, p.id), r.left, r.top, r.right - r.left, r.bottom - r.top,
                   TRUE);
    }
    allargaEMail(dpi);
    const auto font = [this](int id, HFONT f) {
        SendDlgItemMessageW(hwnd_, id, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
    };
    font(IDC_lblProductName, fontNome_.get());
    font(IDC_lblVersion, fontVersione_.get());
    font(IDC_Lab_copy, fontCopy_.get());
    font(IDC_Lab_Warning, fontTesto_.get());
    font(IDC_Lab_EMail, sottolineato_ ? fontLink_.get() : fontTesto_.get());
    font(IDC_cmdOK, fontTesto_.get());
}

// The address is the build's own: the label grows to show all of it, within the link's area.
void Frm_About::allargaEMail(UINT dpi) {
    const HWND label = GetDlgItem(hwnd_, IDC_Lab_EMail);
    std::wstring testo(metadati::kEmail);
    const HDC dc = GetDC(label);
    const HGDIOBJ prima = SelectObject(dc, fontLink_.get());
    SIZE misura{};
    GetTextExtentPoint32W(dc, testo.c_str(), static_cast<int>(testo.size()), &misura);
    SelectObject(dc, prima);
    ReleaseDC(label, dc);
    const RECT r = scala(kEMail, dpi);
    const int massima = scala(kEMailArea.right, dpi) - r.left;
    const int larghezza = std::clamp<int>(misura.cx + scala(2, dpi), r.right - r.left, massima);
    MoveWindow(label, r.left, r.top, larghezza, r.bottom - r.top, TRUE);
    emailDestra_ = r.left + larghezza;
}

void Frm_About::mostra() {
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(GetDlgItem(hwnd_, IDC_cmdOK));
}

bool Frm_About::preTraduci(MSG& msg) {
    if (!hwnd_ || !IsWindowVisible(hwnd_) || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)))
        return false;
    return IsDialogMessageW(hwnd_, &msg);
}

INT_PTR Frm_About::gestisci(HWND h, UINT m, WPARAM wParam, LPARAM lParam) {
    switch (m) {
    case WM_INITDIALOG:
        Form_Load();
        return TRUE;
    case WM_PAINT:
        onPaint(h);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return onColoreStatico(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_MOUSEMOVE:
        onMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        onClick(m == WM_LBUTTONDOWN, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return TRUE;
    case WM_COMMAND:
        // OK, Enter, Esc and the close box all hide the window.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            cmdOK_Click();
        return TRUE;
    case WM_CLOSE:
        cmdOK_Click();
        return TRUE;
    case WM_DPICHANGED:
        posiziona();
        return TRUE;
    default:
        return FALSE;
    }
}

void Frm_About::onPaint(HWND h) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(h, &ps);
    const UINT dpi = dpiDi(h);
    Img_Logo_.disegna(dc, scala(kLogo, dpi));
    // An etched separator below the copyright line: grey, then white one pixel lower.
    RECT grigia = scala(RECT{8, 109, 405, 110}, dpi);
    RECT bianca = scala(RECT{8, 110, 405, 111}, dpi);
    const Pennello pennelloGrigio(CreateSolidBrush(kGrigio));
    const Pennello pennelloBianco(CreateSolidBrush(kBianco));
    FillRect(dc, &grigia, pennelloGrigio.get());
    FillRect(dc, &bianca, pennelloBianco.get());
    EndPaint(h, &ps);
}

// The product name and version are white over the banner; the other texts dark blue.
INT_PTR Frm_About::onColoreStatico(HDC dc, HWND controllo) {
    const int id = GetDlgCtrlID(controllo);
    if (id == IDC_lblProductName || id == IDC_lblVersion) {
        SetTextColor(dc, kBianco);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    SetTextColor(dc, kBluScuro);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    if (id == IDC_Lab_copy)
        SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

// The link underlines under the pointer; the area round it takes the underline away.
void Frm_About::onMouseMove(int x, int y) {
    const UINT dpi = dpiDi(hwnd_);
    RECT link = scala(kEMail, dpi);
    link.right = emailDestra_;
    const RECT area = scala(kEMailArea, dpi);
    if (PtInRect(&link, POINT{x, y}))
        sottolineaEMail(true);
    else if (PtInRect(&area, POINT{x, y}))
        sottolineaEMail(false);
}

// A click is a left press and release both on the link.
void Frm_About::onClick(bool giu, int x, int y) {
    RECT link = scala(kEMail, dpiDi(hwnd_));
    link.right = emailDestra_;
    const bool sulLink = PtInRect(&link, POINT{x, y});
    if (giu) {
        premutoSullEMail_ = sulLink;
        return;
    }
    if (premutoSullEMail_ && sulLink) {
        const std::wstring indirizzo = std::wstring(L"mailto:") + metadati::kEmail;
        // Whatever the mail program does, the window goes on.
        ShellExecuteW(hwnd_, L"open", indirizzo.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    premutoSullEMail_ = false;
}

void Frm_About::sottolineaEMail(bool sottolineato) {
    if (sottolineato_ == sottolineato)
        return;
    sottolineato_ = sottolineato;
    SendDlgItemMessageW(hwnd_, IDC_Lab_EMail, WM_SETFONT,
                        reinterpret_cast<WPARAM>(sottolineato ? fontLink_.get() : fontTesto_.get()),
                        TRUE);
}

void Frm_About::cmdOK_Click() {
    if (chiuso_)
        chiuso_();
    ShowWindow(hwnd_, SW_HIDE);
}

} // namespace pulsiero::win
