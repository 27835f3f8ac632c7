#include "win32/app/Console.h"

#include "win32/piattaforma/Utf16.h"

#include <windows.h>

namespace pulsiero::win {

namespace {

// The handle for stdout or stderr: the one inherited (a file or a pipe), else the parent's
// console, attached on first use.
HANDLE uscita(DWORD quale) {
    HANDLE h = GetStdHandle(quale);
    if (h && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN)
        return h;
    // One handle for the run, shared by both: the process ends with it.
    static const HANDLE console = AttachConsole(ATTACH_PARENT_PROCESS)
                                      ? CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE,
                                                    nullptr, OPEN_EXISTING, 0, nullptr)
                                      : nullptr;
    return console;
}

void scrivi(DWORD quale, const std::wstring& testo) {
    const HANDLE h = uscita(quale);
    if (!h || h == INVALID_HANDLE_VALUE)
        return;
    DWORD scritti = 0;
    DWORD modo = 0;
    // A console takes UTF-16 as it is; a file or a pipe gets UTF-8 bytes.
    if (GetConsoleMode(h, &modo)) {
        WriteConsoleW(h, testo.data(), static_cast<DWORD>(testo.size()), &scritti, nullptr);
        return;
    }
    const std::string byte = utf8(testo);
    WriteFile(h, byte.data(), static_cast<DWORD>(byte.size()), &scritti, nullptr);
}

} // namespace

void scriviOutput(const std::wstring& testo) {
    scrivi(STD_OUTPUT_HANDLE, testo);
}

void scriviErrore(const std::wstring& testo) {
    scrivi(STD_ERROR_HANDLE, testo);
}

} // namespace pulsiero::win
