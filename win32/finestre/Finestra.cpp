#include "win32/finestre/Finestra.h"

namespace pulsiero::win {

UINT dpiDi(HWND finestra) {
    // Windows 10's per-monitor answer, looked up so the program still starts on older systems.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi)
        if (const UINT dpi = getDpi(finestra))
            return dpi;
    const HDC dc = GetDC(finestra);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(finestra, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

HFONT fontMessaggi(UINT dpi) {
    NONCLIENTMETRICSW metriche{};
    metriche.cbSize = sizeof metriche;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metriche, &metriche, 0);
    // The system gives the font at its own dpi; the window may be on a monitor with another.
    const HDC schermo = GetDC(nullptr);
    const int dpiSistema = GetDeviceCaps(schermo, LOGPIXELSY);
    ReleaseDC(nullptr, schermo);
    metriche.lfMessageFont.lfHeight = MulDiv(metriche.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                             dpiSistema > 0 ? dpiSistema : 96);
    return CreateFontIndirectW(&metriche.lfMessageFont);
}

void impostaAreaClient(HWND finestra, int w, int h) {
    // Twice: a menu bar may wrap onto a second line at the first width.
    for (int volta = 0; volta < 2; ++volta) {
        RECT finestraRect{};
        RECT client{};
        GetWindowRect(finestra, &finestraRect);
        GetClientRect(finestra, &client);
        const int dw = w - client.right;
        const int dh = h - client.bottom;
        if (dw == 0 && dh == 0)
            return;
        SetWindowPos(finestra, nullptr, 0, 0, finestraRect.right - finestraRect.left + dw,
                     finestraRect.bottom - finestraRect.top + dh,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

} // namespace pulsiero::win
