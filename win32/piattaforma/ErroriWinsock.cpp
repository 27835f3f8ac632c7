#include "win32/piattaforma/ErroriWinsock.h"

#include "core/ErroriWinsock.h"
#include "core/TextEncoding.h"
#include "win32/piattaforma/Testi.h"
#include "win32/risorse/risorse.h"

#include <windows.h>

namespace pulsiero::win {

namespace {

std::wstring testoDiSistema(int numero) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(numero), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring testo(buffer ? buffer : L"", n);
    LocalFree(buffer);
    while (!testo.empty() &&
           (testo.back() == L'\n' || testo.back() == L'\r' || testo.back() == L' '))
        testo.pop_back();
    return testo;
}

} // namespace

ErroreSocket erroreSocket(int numero) {
    std::wstring descrizione = text::utf8ToWide(descrizioneWinsock(numero));
    if (descrizione.empty())
        descrizione = testoDiSistema(numero);
    if (descrizione.empty())
        descrizione = Testo(IDS_ERRORE_RETE_GENERICO);
    return {numero, descrizione};
}

} // namespace pulsiero::win
