#include "win32/piattaforma/IconaTray.h"

#include "win32/piattaforma/Metadati.h"
#include "win32/piattaforma/Testi.h"
#include "win32/risorse/risorse.h"

#include <shellapi.h>

#include <cwchar>

namespace pulsiero::win {

namespace {

HMENU CreaMenuTray() {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, IconaTray::kIdApri, Testo(IDS_TRAY_APRI).c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IconaTray::kIdFine, Testo(IDS_TRAY_FINE).c_str());
    SetMenuDefaultItem(menu, IconaTray::kIdApri, FALSE);
    return menu;
}

} // namespace

std::wstring IconaTray::tooltip() {
    const std::wstring testo =
        std::wstring(metadati::kTitolo) + L' ' + std::to_wstring(metadati::kVersioneMaggiore) +
        L'.' + std::to_wstring(metadati::kVersioneMinore) + std::to_wstring(metadati::kRevisione) +
        L" - " + metadati::kCopyright;
    return testo.substr(0, kLunghezzaMassimaTooltip);
}

IconaTray::IconaTray(HWND proprietaria, HICON icona)
    : proprietaria_(proprietaria), icona_(icona),
      taskbarCreata_(RegisterWindowMessageW(L"TaskbarCreated")), menu_(CreaMenuTray()) {}

IconaTray::~IconaTray() {
    RimuoviIcona();
}

bool IconaTray::AggiungiIcona() {
    NOTIFYICONDATAW dati{};
    dati.cbSize = sizeof dati;
    dati.hWnd = proprietaria_;
    dati.uID = 1;
    dati.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    dati.uCallbackMessage = kMessaggio;
    dati.hIcon = icona_;
    wcsncpy(dati.szTip, tooltip().c_str(), std::size(dati.szTip) - 1);
    presente_ = Shell_NotifyIconW(NIM_ADD, &dati) != FALSE;
    if (presente_) {
        dati.uVersion = NOTIFYICON_VERSION_4;
        versione4_ = Shell_NotifyIconW(NIM_SETVERSION, &dati) != FALSE;
    }
    return presente_;
}

void IconaTray::RimuoviIcona() {
    if (!presente_)
        return;
    NOTIFYICONDATAW dati{};
    dati.cbSize = sizeof dati;
    dati.hWnd = proprietaria_;
    dati.uID = 1;
    Shell_NotifyIconW(NIM_DELETE, &dati);
    presente_ = false;
}

bool IconaTray::gestisci(UINT messaggio, WPARAM, LPARAM l) {
    if (messaggio == taskbarCreata_) {
        // The shell restarted and lost every icon.
        presente_ = false;
        AggiungiIcona();
        return true;
    }
    if (messaggio != kMessaggio)
        return false;
    // Version 4 puts the event in the low word; older shells send the mouse message itself.
    const UINT evento = LOWORD(l);
    if (evento == WM_LBUTTONDOWN || evento == NIN_SELECT || evento == NIN_KEYSELECT) {
        if (apri_)
            apri_();
    } else if (versione4_ ? evento == WM_CONTEXTMENU : evento == WM_RBUTTONUP) {
        MostraMenuTray();
    }
    return true;
}

void IconaTray::MostraMenuTray() {
    POINT punto{};
    GetCursorPos(&punto);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(proprietaria_);
    const UINT scelta = static_cast<UINT>(
        TrackPopupMenuEx(menu_.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, punto.x,
                         punto.y, proprietaria_, nullptr));
    PostMessageW(proprietaria_, WM_NULL, 0, 0);
    if (scelta == kIdApri && apri_)
        apri_();
    else if (scelta == kIdFine && fine_)
        fine_();
}

} // namespace pulsiero::win
