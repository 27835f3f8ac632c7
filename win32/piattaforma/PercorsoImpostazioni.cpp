#include "win32/piattaforma/PercorsoImpostazioni.h"

#include "core/FileSystem.h"
#include "core/IniFile.h"
#include "win32/piattaforma/Percorsi.h"
#include "win32/piattaforma/Utf16.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <string>

namespace pulsiero::win {

namespace {

std::wstring cartellaDi(const std::wstring& percorso) {
    const auto barra = percorso.find_last_of(L"\\/");
    return barra == std::wstring::npos ? L"." : percorso.substr(0, barra);
}

// The name without its last extension: Pulsiero.exe keeps its settings in Pulsiero.ini.
std::wstring nomeSenzaEstensione(const std::wstring& percorso) {
    const auto barra = percorso.find_last_of(L"\\/");
    std::wstring nome = barra == std::wstring::npos ? percorso : percorso.substr(barra + 1);
    const auto punto = nome.find_last_of(L'.');
    return punto == std::wstring::npos || punto == 0 ? nome : nome.substr(0, punto);
}

bool eFile(const std::wstring& percorso) {
    const DWORD attributi = GetFileAttributesW(percorso.c_str());
    return attributi != INVALID_FILE_ATTRIBUTES && !(attributi & FILE_ATTRIBUTE_DIRECTORY);
}

bool apribile(const std::wstring& percorso, DWORD accesso) {
    const HANDLE file = CreateFileW(percorso.c_str(), accesso,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// The read-only attribute first: an administrator's way of saying "not this file".
bool sostituibile(const std::wstring& percorso) {
    const DWORD attributi = GetFileAttributesW(percorso.c_str());
    return attributi != INVALID_FILE_ATTRIBUTES && !(attributi & FILE_ATTRIBUTE_READONLY) &&
           apribile(percorso, GENERIC_WRITE);
}

// Whether the folder takes new files: only trying tells, the folder's security descriptor being
// the file system's to interpret. The trial file goes away when it is closed.
bool accettaFileNuovi(const std::wstring& cartella) {
    const std::wstring prova = cartella + L"\\.pulsiero-prova-" +
                               std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetTickCount64()) + L".tmp";
    const HANDLE file = CreateFileW(
        prova.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::wstring cartellaUtente() {
    PWSTR appData = nullptr;
    std::wstring cartella;
    if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &appData) == S_OK)
        cartella = std::wstring(appData) + L"\\Pulsiero";
    CoTaskMemFree(appData);
    return cartella;
}

} // namespace

SceltaImpostazioni scegliImpostazioni(const std::wstring& eseguibile,
                                      const std::wstring& cartellaUtente) {
    const std::wstring cartella = cartellaDi(eseguibile);
    const std::wstring accanto = cartella + L'\\' + nomeSenzaEstensione(eseguibile) + L".ini";
    const std::wstring utente = cartellaUtente + L"\\pulsiero.ini";
    const bool esiste = eFile(accanto);
    const bool occupato = GetFileAttributesW(accanto.c_str()) != INVALID_FILE_ATTRIBUTES;
    const bool esisteUtente = eFile(utente);
    if (esiste ? sostituibile(accanto) && accettaFileNuovi(cartella)
               : !occupato && !esisteUtente && accettaFileNuovi(cartella))
        return {accanto, {}};
    const bool seme = esiste && !esisteUtente && apribile(accanto, GENERIC_READ);
    return {utente, seme ? accanto : std::wstring()};
}

SceltaImpostazioni scegliImpostazioni() {
    return scegliImpostazioni(percorsoEseguibile(), cartellaUtente());
}

// Through the file layer, as every file of the program: the copy is a new file of the user's,
// never read-only as a seed often is, and never over a file that appeared meanwhile.
std::wstring percorsoImpostazioni(const SceltaImpostazioni& scelta) {
    const std::string percorso = utf8(scelta.percorso);
    (void)file::creaCartelle(file::cartellaDi(percorso));
    if (!scelta.seme.empty())
        (void)ini::copiaSeMancante(utf8(scelta.seme), percorso);
    return scelta.percorso;
}

std::wstring percorsoImpostazioni() {
    return percorsoImpostazioni(scegliImpostazioni());
}

} // namespace pulsiero::win
