#pragma once

#include "win32/piattaforma/Handle.h"

namespace pulsiero::win {

// A picture of the resources, rendered at build time from its SVG for 100, 150 and 200 per
// cent; the set nearest the monitor's scale is the one loaded, then drawn with its transparency
// at any size.
class Immagine {
public:
    // risorsa: the first of three RCDATA resources (raw RGBA); larghezza and altezza at 100 %.
    Immagine(int risorsa, int larghezza, int altezza);

    // Loads the set for dpi (96 is 100 %); false when the resource is missing.
    bool carica(UINT dpi);
    void disegna(HDC dc, const RECT& dove) const;

private:
    int risorsa_;
    int larghezza_;
    int altezza_;
    int caricataLarghezza_ = 0;
    int caricataAltezza_ = 0;
    int caricataScala_ = 0;
    Bitmap bitmap_;
};

// A length of the 96-dpi layout at this dpi.
inline int scala(int pixel, UINT dpi) {
    return MulDiv(pixel, static_cast<int>(dpi), 96);
}
inline RECT scala(const RECT& r, UINT dpi) {
    return {scala(r.left, dpi), scala(r.top, dpi), scala(r.right, dpi), scala(r.bottom, dpi)};
}

} // namespace pulsiero::win
