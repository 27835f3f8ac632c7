#include "win32/piattaforma/Percorsi.h"

#include <windows.h>

namespace pulsiero::win {

std::wstring percorsoEseguibile() {
    std::wstring percorso(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, percorso.data(), static_cast<DWORD>(percorso.size()));
        if (n < percorso.size()) {
            percorso.resize(n);
            return percorso;
        }
        percorso.resize(percorso.size() * 2); // a long path: try again with room for it
    }
}

std::wstring cartellaEseguibile() {
    const std::wstring exe = percorsoEseguibile();
    return exe.substr(0, exe.find_last_of(L"\\/"));
}

std::wstring nomeBaseEseguibile() {
    const std::wstring exe = percorsoEseguibile();
    std::wstring nome = exe.substr(exe.find_last_of(L"\\/") + 1);
    const auto punto = nome.find_last_of(L'.');
    return punto == std::wstring::npos || punto == 0 ? nome : nome.substr(0, punto);
}

std::wstring percorsoAssoluto(const std::wstring& percorso) {
    const DWORD n = GetFullPathNameW(percorso.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return percorso;
    std::wstring assoluto(n, L'\0');
    const DWORD scritti = GetFullPathNameW(percorso.c_str(), n, assoluto.data(), nullptr);
    assoluto.resize(scritti);
    return assoluto;
}

} // namespace pulsiero::win
