#include "win32/piattaforma/CollegamentoDesktop.h"

#include "win32/piattaforma/Handle.h"
#include "win32/piattaforma/Testi.h"
#include "win32/risorse/risorse.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace pulsiero::win {

CollegamentoDesktop::CollegamentoDesktop(std::wstring cartella, std::wstring eseguibile,
                                         std::wstring argomenti)
    : cartella_(std::move(cartella)), eseguibile_(std::move(eseguibile)),
      argomenti_(std::move(argomenti)) {}

std::wstring CollegamentoDesktop::cartellaPredefinita() {
    wchar_t* cartella = nullptr;
    std::wstring risultato;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Desktop, KF_FLAG_CREATE, nullptr, &cartella)))
        risultato = cartella;
    CoTaskMemFree(cartella);
    return risultato;
}

namespace {

bool nuovoLink(ComPtr<IShellLinkW>& link) {
    return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkW, link.indirizzo()));
}

} // namespace

// A shortcut of that name is ours when it starts this executable; one the user made for
// something else keeps its place.
bool CollegamentoDesktop::altrui() const {
    if (GetFileAttributesW(percorso().c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    wchar_t destinazione[MAX_PATH] = L"";
    if (!nuovoLink(link) || FAILED(link->QueryInterface(IID_IPersistFile, file.indirizzo())) ||
        FAILED(file->Load(percorso().c_str(), STGM_READ)) ||
        FAILED(link->GetPath(destinazione, MAX_PATH, nullptr, 0)))
        return true;
    return CompareStringOrdinal(destinazione, -1, eseguibile_.c_str(), -1, TRUE) != CSTR_EQUAL;
}

bool CollegamentoDesktop::crea() const {
    if (cartella_.empty())
        return false;
    const ComAttivo com;
    ComPtr<IShellLinkW> link;
    if (altrui() || !nuovoLink(link))
        return false;
    const std::wstring cartellaExe = eseguibile_.substr(0, eseguibile_.find_last_of(L"\\/"));
    link->SetPath(eseguibile_.c_str());
    link->SetArguments(argomenti_.c_str());
    link->SetWorkingDirectory(cartellaExe.c_str());
    link->SetIconLocation(eseguibile_.c_str(), 0);
    link->SetDescription(Testo(IDS_DESCRIZIONE_COLLEGAMENTO).c_str());
    ComPtr<IPersistFile> file;
    return SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.indirizzo())) &&
           SUCCEEDED(file->Save(percorso().c_str(), TRUE));
}

bool CollegamentoDesktop::elimina() const {
    const ComAttivo com;
    if (altrui())
        return false;
    return DeleteFileW(percorso().c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

} // namespace pulsiero::win
