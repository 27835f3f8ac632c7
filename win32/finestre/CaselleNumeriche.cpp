#include "win32/finestre/CaselleNumeriche.h"

#include "core/LenientNumber.h"
#include "win32/piattaforma/Utf16.h"

#include <commctrl.h>

#include <string>

namespace pulsiero::win {

namespace {

struct Regola {
    HWND prossima;
    int massimo;
};

std::wstring testoDi(HWND casella) {
    std::wstring testo(static_cast<std::size_t>(GetWindowTextLengthW(casella)) + 1, L'\0');
    testo.resize(static_cast<std::size_t>(
        GetWindowTextW(casella, testo.data(), static_cast<int>(testo.size()))));
    return testo;
}

// Pasted text keeps its digits only, and goes in as one step Ctrl+Z can undo.
void incollaCifre(HWND casella) {
    if (!OpenClipboard(casella))
        return;
    std::wstring cifre;
    if (const HANDLE dati = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* testo = static_cast<const wchar_t*>(GlobalLock(dati))) {
            for (const wchar_t* c = testo; *c; ++c)
                if (*c >= L'0' && *c <= L'9')
                    cifre += *c;
            GlobalUnlock(dati);
        }
    }
    CloseClipboard();
    SendMessageW(casella, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(cifre.c_str()));
}

LRESULT CALLBACK sottoclasse(HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR dati) {
    const auto* regola = reinterpret_cast<const Regola*>(dati);
    switch (m) {
    case WM_GETDLGCODE:
        // Enter belongs to the box, not to the dialog's default button.
        if (l && reinterpret_cast<const MSG*>(l)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(l)->wParam == VK_RETURN)
            return DefSubclassProc(h, m, w, l) | DLGC_WANTMESSAGE;
        break;
    case WM_CHAR:
        if (w == VK_RETURN) {
            if (regola->massimo > 0)
                limita(h, regola->massimo);
            SetFocus(regola->prossima);
            SendMessageW(regola->prossima, EM_SETSEL, 0, -1);
            return 0;
        }
        // The editing keys as every box has them: select all, undo, paste through the filter.
        if (w == 0x01) {
            SendMessageW(h, EM_SETSEL, 0, -1);
            return 0;
        }
        if (w == 0x1A) {
            SendMessageW(h, EM_UNDO, 0, 0);
            return 0;
        }
        if (w == 0x16) {
            SendMessageW(h, WM_PASTE, 0, 0);
            return 0;
        }
        // Only printable characters meet the digit rule: control codes are the editing keys.
        if (regola->massimo > 0 && w >= 0x20 && w != 0x7F && (w < L'0' || w > L'9'))
            return 0;
        break;
    case WM_PASTE:
        if (regola->massimo > 0) {
            incollaCifre(h);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(h, sottoclasse, 1);
        delete regola;
        break;
    default:
        break;
    }
    return DefSubclassProc(h, m, w, l);
}

} // namespace

void regoleCasella(HWND casella, HWND prossima, int massimo) {
    SetWindowSubclass(casella, sottoclasse, 1,
                      reinterpret_cast<DWORD_PTR>(new Regola{prossima, massimo}));
}

void limita(HWND casella, int massimo) {
    if (numericValue(utf8(testoDi(casella))) > massimo)
        SetWindowTextW(casella, std::to_wstring(massimo).c_str());
    if (numericValue(utf8(testoDi(casella))) < 1)
        SetWindowTextW(casella, L"1");
}

} // namespace pulsiero::win
