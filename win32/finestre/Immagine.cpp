#include "win32/finestre/Immagine.h"

#include <cstring>

namespace pulsiero::win {

namespace {

constexpr int kScale[] = {100, 150, 200};

// The rendered set closest to the monitor's scale, rounding up so a picture is shrunk rather
// than blown up.
int indiceScala(UINT dpi) {
    const int percento = MulDiv(static_cast<int>(dpi), 100, 96);
    if (percento <= 100)
        return 0;
    return percento <= 150 ? 1 : 2;
}

int dimensione(int base, int percento) {
    return (base * percento + 50) / 100; // as the build rounds it
}

} // namespace

Immagine::Immagine(int risorsa, int larghezza, int altezza)
    : risorsa_(risorsa), larghezza_(larghezza), altezza_(altezza) {}

bool Immagine::carica(UINT dpi) {
    const int indice = indiceScala(dpi);
    if (bitmap_ && caricataScala_ == kScale[indice])
        return true;
    const HMODULE modulo = GetModuleHandleW(nullptr);
    HRSRC trovata = FindResourceW(modulo, MAKEINTRESOURCEW(risorsa_ + indice), RT_RCDATA);
    const int w = dimensione(larghezza_, kScale[indice]);
    const int h = dimensione(altezza_, kScale[indice]);
    if (!trovata || SizeofResource(modulo, trovata) != static_cast<DWORD>(w * h * 4))
        return false;
    const auto* rgba = static_cast<const BYTE*>(LockResource(LoadResource(modulo, trovata)));

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top-down, as the rows are stored
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixel = nullptr;
    Bitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixel, nullptr, 0));
    if (!bitmap)
        return false;
    // AlphaBlend wants blue, green, red, alpha, with the colours premultiplied by alpha.
    auto* bgra = static_cast<BYTE*>(pixel);
    for (int i = 0; i < w * h; ++i) {
        const BYTE a = rgba[i * 4 + 3];
        bgra[i * 4 + 0] = static_cast<BYTE>(rgba[i * 4 + 2] * a / 255);
        bgra[i * 4 + 1] = static_cast<BYTE>(rgba[i * 4 + 1] * a / 255);
        bgra[i * 4 + 2] = static_cast<BYTE>(rgba[i * 4 + 0] * a / 255);
        bgra[i * 4 + 3] = a;
    }
    bitmap_ = std::move(bitmap);
    caricataLarghezza_ = w;
    caricataAltezza_ = h;
    caricataScala_ = kScale[indice];
    return true;
}

void Immagine::disegna(HDC dc, const RECT& dove) const {
    if (!bitmap_)
        return;
    HDC memoria = CreateCompatibleDC(dc);
    const HGDIOBJ prima = SelectObject(memoria, bitmap_.get());
    SetStretchBltMode(dc, HALFTONE);
    const BLENDFUNCTION fusione{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, dove.left, dove.top, dove.right - dove.left, dove.bottom - dove.top, memoria, 0,
               0, caricataLarghezza_, caricataAltezza_, fusione);
    SelectObject(memoria, prima);
    DeleteDC(memoria);
}

} // namespace pulsiero::win
