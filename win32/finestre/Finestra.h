#pragma once

#include <windows.h>
#include <windowsx.h>

namespace pulsiero::win {

// The thin window procedure of a window class T: the object pointer travels in the creation
// parameter, is kept in the window at WM_NCCREATE, and every message goes to T::gestisci.
template <typename T> LRESULT CALLBACK proceduraFinestra(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_NCCREATE) {
        auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = h;
    }
    auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    return self ? self->gestisci(h, m, w, l) : DefWindowProcW(h, m, w, l);
}

// The same for a dialog: the pointer arrives with WM_INITDIALOG; T::gestisci answers as a
// dialog procedure does (TRUE when it handled the message).
template <typename T> INT_PTR CALLBACK proceduraDialogo(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_INITDIALOG) {
        auto* self = reinterpret_cast<T*>(l);
        SetWindowLongPtrW(h, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = h;
    }
    auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(h, DWLP_USER));
    return self ? self->gestisci(h, m, w, l) : FALSE;
}

// The monitor's dots per inch for a window (96 on systems that cannot say).
UINT dpiDi(HWND finestra);

// The system's message font at this dpi.
HFONT fontMessaggi(UINT dpi);

// Resizes a window so that its client area is w x h pixels, whatever its frame and menu bar.
void impostaAreaClient(HWND finestra, int w, int h);

} // namespace pulsiero::win
