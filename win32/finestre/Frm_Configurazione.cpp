#include "win32/finestre/Frm_Configurazione.h"

#include "core/Chiavi.h"
#include "core/CreaComando.h"
#include "core/IniFile.h"
#include "core/LenientNumber.h"
#include "win32/finestre/CaselleNumeriche.h"
#include "win32/finestre/Immagine.h"
#include "win32/finestre/Messaggi.h"
#include "win32/piattaforma/Configurazione.h"
#include "win32/piattaforma/Testi.h"
#include "win32/piattaforma/Utf16.h"
#include "win32/risorse/risorse.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <vector>

namespace pulsiero::win {

namespace {

constexpr SIZE kAreaClient{363, 281};
constexpr RECT kTab{8, 8, 355, 273};
constexpr int kPortaMassima = 65535;
constexpr int kRicevitoreMassimo = 1048575;
constexpr int kPulsieroMassimo = 128;

// Every control's page and place, in pixels at 96 dpi relative to the tab control.
struct Posto {
    int id;
    int pagina;
    RECT r; // left, top, right, bottom
};

constexpr RECT rettangolo(int x, int y, int w, int h) {
    return {x, y, x + w, y + h};
}

const std::vector<Posto>& posti() {
    static const std::vector<Posto> tabella = [] {
        std::vector<Posto> t{
            {IDC_Lab_Pulsiero0, 0, rettangolo(48, 58, 49, 17)},
            {IDC_Txt_NomePul0, 0, rettangolo(96, 56, 185, 19)},
            {IDC_Lin_Pul0, 0, rettangolo(40, 88, 256, 2)},
            {IDC_Lin_Pul0 + 2, 0, rettangolo(40, 208, 256, 2)},
            {IDC_Lab_Pulsiero0 + 5, 0, rettangolo(48, 226, 49, 17)},
            {IDC_Txt_NomePul0 + 5, 0, rettangolo(96, 224, 185, 19)},
            {IDC_Lab_Server0, 1, rettangolo(72, 66, 65, 17)},
            {IDC_Txt_IP, 1, rettangolo(136, 64, 121, 19)},
            {IDC_Lab_Server1, 1, rettangolo(72, 98, 65, 17)},
            {IDC_Txt_Porta, 1, rettangolo(136, 96, 57, 19)},
            {IDC_Lab_Avanzate0, 2, rettangolo(72, 66, 129, 17)},
            {IDC_Txt_NumeroD, 2, rettangolo(200, 64, 81, 19)},
            {IDC_Lab_Avanzate1, 2, rettangolo(72, 98, 129, 17)},
            {IDC_Txt_NumeroT, 2, rettangolo(200, 96, 81, 19)},
            {IDC_Cmd_Reset, 2, rettangolo(248, 216, 73, 25)},
        };
        for (int i = 1; i <= 4; ++i) {
            const int y = 104 + (i - 1) * 24;
            t.push_back({IDC_Lab_Pulsiero0 + i, 0, rettangolo(48, y + 2, 49, 17)});
            t.push_back({IDC_Txt_NomePul0 + i, 0, rettangolo(96, y, 185, 19)});
        }
        return t;
    }();
    return tabella;
}

struct Suggerimento {
    int id;
    UINT testo;
};
constexpr Suggerimento kSuggerimenti[] = {
    {IDC_Txt_NomePul0, IDS_TIP_NOME},
    {IDC_Txt_NomePul0 + 1, IDS_TIP_TASTO1},
    {IDC_Txt_NomePul0 + 2, IDS_TIP_TASTO1 + 1},
    {IDC_Txt_NomePul0 + 3, IDS_TIP_TASTO1 + 2},
    {IDC_Txt_NomePul0 + 4, IDS_TIP_TASTO1 + 3},
    {IDC_Txt_NomePul0 + 5, IDS_TIP_SUONO},
    {IDC_Txt_IP, IDS_TIP_IP},
    {IDC_Txt_Porta, IDS_TIP_PORTA},
    {IDC_Txt_NumeroD, IDS_TIP_NUMEROD},
    {IDC_Txt_NumeroT, IDS_TIP_NUMEROT},
    {IDC_Cmd_Reset, IDS_TIP_RESET},
};

std::wstring testoDi(HWND dialogo, int id) {
    const HWND casella = GetDlgItem(dialogo, id);
    std::wstring testo(static_cast<std::size_t>(GetWindowTextLengthW(casella)) + 1, L'\0');
    testo.resize(static_cast<std::size_t>(
        GetWindowTextW(casella, testo.data(), static_cast<int>(testo.size()))));
    return testo;
}

// The port's fix-up at closing, which also catches a box that is not a number at all.
void correggiPorta(HWND casella) {
    std::wstring testo(static_cast<std::size_t>(GetWindowTextLengthW(casella)) + 1, L'\0');
    testo.resize(static_cast<std::size_t>(
        GetWindowTextW(casella, testo.data(), static_cast<int>(testo.size()))));
    if (!isNumeric(utf8(testo)))
        SetWindowTextW(casella, L"100");
    limita(casella, kPortaMassima);
}

} // namespace

Frm_Configurazione::Frm_Configurazione(Configurazione& configurazione, HWND proprietaria)
    : configurazione_(configurazione), proprietaria_(proprietaria),
      icona_(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                           MAKEINTRESOURCEW(IDI_CONFIGURAZIONE), IMAGE_ICON, 0, 0,
                                           LR_DEFAULTSIZE))) {
    CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_Frm_Configurazione),
                       proprietaria, proceduraDialogo<Frm_Configurazione>,
                       reinterpret_cast<LPARAM>(this));
}

Frm_Configurazione::~Frm_Configurazione() {
    if (hwnd_)
        DestroyWindow(hwnd_);
}

BOOL Frm_Configurazione::onInitDialog(HWND h, HWND, LPARAM) {
    SendMessageW(h, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icona_.get()));
    SendMessageW(h, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icona_.get()));
    const HWND tab = GetDlgItem(h, IDC_SSTab);
    const UINT pagine[] = {IDS_PAGINA_PULSIERO, IDS_PAGINA_RICEVITORE, IDS_PAGINA_CODIFICA};
    for (int i = 0; i < 3; ++i) {
        std::wstring titolo = Testo(pagine[i]);
        TCITEMW voce{};
        voce.mask = TCIF_TEXT;
        voce.pszText = titolo.data();
        SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&voce));
    }
    // Enter moves the focus round each page: name, keys 1 to 4, sound and back to the name;
    // address and port; receiver and transmitter number.
    for (int i = 0; i < 6; ++i)
        regoleCasella(GetDlgItem(h, IDC_Txt_NomePul0 + i),
                      GetDlgItem(h, IDC_Txt_NomePul0 + (i + 1) % 6), 0);
    regoleCasella(GetDlgItem(h, IDC_Txt_IP), GetDlgItem(h, IDC_Txt_Porta), 0);
    regoleCasella(GetDlgItem(h, IDC_Txt_Porta), GetDlgItem(h, IDC_Txt_IP), kPortaMassima);
    regoleCasella(GetDlgItem(h, IDC_Txt_NumeroD), GetDlgItem(h, IDC_Txt_NumeroT),
                  kRicevitoreMassimo);
    regoleCasella(GetDlgItem(h, IDC_Txt_NumeroT), GetDlgItem(h, IDC_Txt_NumeroD), kPulsieroMassimo);
    creaTooltip();
    posiziona();
    mostraPagina(0);
    return TRUE;
}

void Frm_Configurazione::creaTooltip() {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    for (const auto& s : kSuggerimenti) {
        std::wstring testo = Testo(s.testo);
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(hwnd_, s.id));
        tool.lpszText = testo.data();
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
}

// Positions are given relative to the tab control, in pixels scaled to the monitor.
void Frm_Configurazione::posiziona() {
    const UINT dpi = dpiDi(hwnd_);
    font_.reset(fontMessaggi(dpi));
    impostaAreaClient(hwnd_, scala(kAreaClient.cx, dpi), scala(kAreaClient.cy, dpi));
    const RECT tab = scala(kTab, dpi);
    const auto colloca = [this](int id, const RECT& r) {
        const HWND controllo = GetDlgItem(hwnd_, id);
        MoveWindow(controllo, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        SendMessageW(controllo, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    };
    colloca(IDC_SSTab, tab);
    for (const Posto& p : posti()) {
        RECT r = scala(p.r, dpi);
        OffsetRect(&r, tab.left, tab.top);
        colloca(p.id, r);
    }
}

void Frm_Configurazione::mostraPagina(int pagina) {
    SendDlgItemMessageW(hwnd_, IDC_SSTab, TCM_SETCURSEL, static_cast<WPARAM>(pagina), 0);
    for (const Posto& p : posti())
        ShowWindow(GetDlgItem(hwnd_, p.id), p.pagina == pagina ? SW_SHOW : SW_HIDE);
}

void Frm_Configurazione::apri(const TestiFinestra& testi) {
    const Impostazioni& imp = configurazione_.impostazioni();
    SetDlgItemTextW(hwnd_, IDC_Txt_IP, utf16(imp.IndirizzoIP).c_str());
    SetDlgItemTextW(hwnd_, IDC_Txt_Porta, utf16(imp.PortaIP).c_str());
    SetDlgItemTextW(hwnd_, IDC_Txt_NomePul0, testi.nome.c_str());
    for (int i = 1; i <= 4; ++i)
        SetDlgItemTextW(hwnd_, IDC_Txt_NomePul0 + i, testi.tasti[i - 1].c_str());
    SetDlgItemTextW(hwnd_, IDC_Txt_NomePul0 + 5, utf16(imp.FileSuono).c_str());
    SetDlgItemTextW(hwnd_, IDC_Txt_NumeroD, std::to_wstring(imp.NumeroRicevitore).c_str());
    SetDlgItemTextW(hwnd_, IDC_Txt_NumeroT, std::to_wstring(imp.NumeroTrasmettitore).c_str());
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
}

bool Frm_Configurazione::preTraduci(MSG& msg) {
    if (!hwnd_ || !IsWindowVisible(hwnd_) || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)))
        return false;
    // Ctrl+Tab and Ctrl+PgDn turn the page forwards, with Shift or PgUp backwards.
    if (msg.message == WM_KEYDOWN && GetKeyState(VK_CONTROL) < 0 &&
        (msg.wParam == VK_TAB || msg.wParam == VK_NEXT || msg.wParam == VK_PRIOR)) {
        const bool indietro =
            msg.wParam == VK_PRIOR || (msg.wParam == VK_TAB && GetKeyState(VK_SHIFT) < 0);
        const int attuale =
            static_cast<int>(SendDlgItemMessageW(hwnd_, IDC_SSTab, TCM_GETCURSEL, 0, 0));
        mostraPagina((attuale + (indietro ? 2 : 1)) % 3);
        SetFocus(GetDlgItem(hwnd_, IDC_SSTab));
        return true;
    }
    return IsDialogMessageW(hwnd_, &msg);
}

INT_PTR Frm_Configurazione::gestisci(HWND h, UINT m, WPARAM wParam, LPARAM lParam) {
    switch (m) {
    case WM_INITDIALOG:
        return onInitDialog(h, reinterpret_cast<HWND>(wParam), lParam);
    case WM_COMMAND:
        HANDLE_WM_COMMAND(h, wParam, lParam, onCommand);
        return TRUE;
    case WM_NOTIFY:
        SetWindowLongPtrW(h, DWLP_MSGRESULT,
                          onNotify(h, static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam)));
        return TRUE;
    case WM_CLOSE:
        Form_QueryUnload();
        return TRUE;
    case WM_DPICHANGED:
        posiziona();
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        // The labels take the colour of the page they sit on: the window colour on a themed tab
        // control, the dialog colour on a classic one.
        const int colore = IsThemeActive() ? COLOR_WINDOW : COLOR_BTNFACE;
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(colore));
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(colore));
    }
    default:
        return FALSE;
    }
}

void Frm_Configurazione::onCommand(HWND, int id, HWND, UINT codice) {
    if (id == IDCANCEL) // Esc, like the close box
        Form_QueryUnload();
    else if (id == IDC_Cmd_Reset && codice == BN_CLICKED)
        Cmd_Reset_Click();
}

LRESULT Frm_Configurazione::onNotify(HWND, int id, NMHDR* nm) {
    if (id == IDC_SSTab && nm->code == TCN_SELCHANGE)
        mostraPagina(static_cast<int>(SendDlgItemMessageW(hwnd_, IDC_SSTab, TCM_GETCURSEL, 0, 0)));
    return 0;
}

// The window is never destroyed: closing saves, reloads and hides it.
void Frm_Configurazione::Form_QueryUnload() {
    if (!SalvaConfigurazione()) {
        // The edits stay in the open dialog; the next close tries again.
        Messaggi::mostra(hwnd_,
                         {Avviso::Tipo::Attenzione, Testo(IDS_TITOLO_CONFIGURAZIONE),
                          Testo(IDS_CONFIGURAZIONE_NON_SALVATA, configurazione_.percorso())});
        return;
    }
    configurazione_.CaricaConfigurazione(false);
    // The main window is enabled first, so the system hands it the activation.
    if (chiuso_)
        chiuso_();
    ShowWindow(hwnd_, SW_HIDE);
}

bool Frm_Configurazione::SalvaConfigurazione() {
    correggiPorta(GetDlgItem(hwnd_, IDC_Txt_Porta));
    // Numbers out of range would make every frame malformed: they get Enter's fix-up too.
    limita(GetDlgItem(hwnd_, IDC_Txt_NumeroD), kRicevitoreMassimo);
    limita(GetDlgItem(hwnd_, IDC_Txt_NumeroT), kPulsieroMassimo);
    const auto valore = [this](const Chiave& chiave, int id) {
        return ini::Valore{std::string(chiave.sezione), std::string(chiave.nome),
                           utf8(testoDi(hwnd_, id))};
    };
    std::vector<ini::Valore> valori{
        valore(chiavi::Indirizzo, IDC_Txt_IP), valore(chiavi::Porta, IDC_Txt_Porta),
        valore(chiavi::Nome, IDC_Txt_NomePul0), valore(chiavi::IdPulsiero, IDC_Txt_NumeroT),
        valore(chiavi::IdRicevitore, IDC_Txt_NumeroD)};
    for (int i = 0; i < 4; ++i)
        valori.push_back(valore(chiavi::Tasti[i], IDC_Txt_NomePul0 + 1 + i));
    valori.push_back({std::string(chiavi::Suono.sezione), std::string(chiavi::SuonoScritto),
                      utf8(testoDi(hwnd_, IDC_Txt_NomePul0 + 5))});
    // One write for all ten: the file holds either all of them or none.
    return static_cast<bool>(ScriviIni(valori, configurazione_.percorsoFile()));
}

void Frm_Configurazione::Cmd_Reset_Click() {
    const std::wstring titolo = Testo(IDS_TITOLO_RESET);
    if (!Messaggi::domanda(hwnd_, titolo, Testo(IDS_DOMANDA_RESET)))
        return;
    if (!AzzeraPasso(configurazione_.percorsoFile())) {
        Messaggi::mostra(hwnd_, {Avviso::Tipo::Attenzione, titolo, Testo(IDS_RESET_FALLITO)});
        return;
    }
    Messaggi::mostra(hwnd_, {Avviso::Tipo::Informazione, titolo, Testo(IDS_RESET_ESEGUITO)});
}

} // namespace pulsiero::win
