#include "win32/piattaforma/SuonoTasto.h"

#include "win32/piattaforma/Percorsi.h"
#include "win32/piattaforma/Utf16.h"

#include <windows.h>

#include <mmsystem.h>
#include <shlwapi.h>

namespace pulsiero::win {

std::wstring percorsoSuono(const std::wstring& fileSuono, const std::wstring& cartellaEseguibile) {
    if (!PathIsRelativeW(fileSuono.c_str()))
        return fileSuono;
    return cartellaEseguibile + L'\\' + fileSuono;
}

void suonaTasto(const std::string& fileSuono) {
    if (fileSuono.empty())
        return;
    const std::wstring percorso = percorsoSuono(utf16(fileSuono), cartellaEseguibile());
    PlaySoundW(percorso.c_str(), nullptr, SND_ASYNC | SND_NODEFAULT | SND_FILENAME);
}

} // namespace pulsiero::win
