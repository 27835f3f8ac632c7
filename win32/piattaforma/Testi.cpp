#include "win32/piattaforma/Testi.h"

namespace pulsiero::win {

std::wstring Testo(UINT id) {
    const wchar_t* risorsa = nullptr;
    const int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&risorsa), 0);
    return n > 0 ? std::wstring(risorsa, static_cast<std::size_t>(n)) : std::wstring();
}

std::wstring Testo(UINT id, const std::wstring& primo, const std::wstring& secondo) {
    std::wstring testo = Testo(id);
    // One pass, so an argument that itself holds "%2" is not replaced again.
    std::wstring risultato;
    for (std::size_t i = 0; i < testo.size(); ++i) {
        if (testo[i] == L'%' && i + 1 < testo.size() &&
            (testo[i + 1] == L'1' || testo[i + 1] == L'2')) {
            risultato += testo[i + 1] == L'1' ? primo : secondo;
            ++i;
        } else {
            risultato += testo[i];
        }
    }
    return risultato;
}

} // namespace pulsiero::win
