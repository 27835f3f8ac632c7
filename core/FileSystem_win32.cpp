#include "core/FileSystem.h"

#include "core/TextEncoding.h"

#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

// The file layer on Windows: wide paths at every call, a byte-range lock (LockFileEx) waited for
// within the caller's bound, and replacement through a flushed temporary file moved over the old
// one with MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH). POSIX modes do not
// apply: a file is private by where it lives (the user's profile), so modes, "ours" and
// "private" are not checked on what is read or written; only a leftover temporary must be this
// user's to be removed.
namespace pulsiero::file {

namespace {

// UTF-8 paths of the core become UTF-16 at the system calls.
std::wstring largo(std::string_view utf8) {
    return text::utf8ToWide(utf8);
}

std::string stretto(std::wstring_view utf16) {
    return text::wideToUtf8(utf16);
}

// A handle closed when it goes out of scope, unless released.
class Maniglia {
public:
    explicit Maniglia(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    Maniglia(Maniglia&& altra) noexcept : h_(std::exchange(altra.h_, INVALID_HANDLE_VALUE)) {}
    Maniglia& operator=(Maniglia&& altra) noexcept {
        if (this != &altra) {
            if (*this)
                CloseHandle(h_);
            h_ = std::exchange(altra.h_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    Maniglia(const Maniglia&) = delete;
    Maniglia& operator=(const Maniglia&) = delete;
    ~Maniglia() {
        if (*this)
            CloseHandle(h_);
    }
    HANDLE get() const { return h_; }
    HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }

private:
    HANDLE h_;
};

// The system's own words for an error, in the user's language.
std::string paroleDelSistema(DWORD numero) {
    wchar_t* testo = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, numero, 0, reinterpret_cast<wchar_t*>(&testo), 0, nullptr);
    std::wstring parole(testo ? testo : L"", n);
    LocalFree(testo);
    while (!parole.empty() && (parole.back() == L'\n' || parole.back() == L'\r' ||
                               parole.back() == L' ' || parole.back() == L'.'))
        parole.pop_back();
    return parole.empty() ? "errore " + std::to_string(numero) : stretto(parole);
}

Errore errore(Causa causa, const std::string& percorso, DWORD numero = 0) {
    Errore e;
    e.causa = causa;
    e.percorso = percorso;
    if (numero != 0)
        e.sistema = paroleDelSistema(numero);
    return e;
}

// The cause of a failed call, from GetLastError().
Errore daUltimo(const std::string& percorso, DWORD numero = GetLastError()) {
    switch (numero) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return errore(Causa::Mancante, percorso, numero);
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return errore(Causa::Negato, percorso, numero);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return errore(Causa::SpazioEsaurito, percorso, numero);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return errore(Causa::Esistente, percorso, numero);
    default:
        return errore(Causa::Sistema, percorso, numero);
    }
}

bool separatore(char c) {
    return c == '\\' || c == '/';
}

std::string unisci(const std::string& cartella, std::string_view nome) {
    if (cartella.empty() || separatore(cartella.back()))
        return cartella + std::string(nome);
    return cartella + "\\" + std::string(nome);
}

constexpr DWORD kCondivisione = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Only a file on a disk is a regular file: a folder, a console, a pipe or a device is not.
Fatto eRegolare(HANDLE h, const std::string& percorso) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(h) != FILE_TYPE_DISK)
        return errore(Causa::NonRegolare, percorso);
    if (!GetFileInformationByHandle(h, &info))
        return daUltimo(percorso);
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return errore(Causa::NonRegolare, percorso);
    return {};
}

Esito<Maniglia> apri(const std::string& percorso, DWORD accesso, DWORD creazione,
                     DWORD attributi = FILE_ATTRIBUTE_NORMAL) {
    const DWORD prima = GetFileAttributesW(largo(percorso).c_str());
    // A folder cannot be opened as a file: say so, rather than "access denied".
    if (prima != INVALID_FILE_ATTRIBUTES && (prima & FILE_ATTRIBUTE_DIRECTORY))
        return errore(Causa::NonRegolare, percorso);
    Maniglia h(CreateFileW(largo(percorso).c_str(), accesso, kCondivisione, nullptr, creazione,
                           attributi, nullptr));
    if (!h)
        return daUltimo(percorso);
    if (auto regolare = eRegolare(h.get(), percorso); !regolare)
        return regolare.errore();
    return h;
}

bool scriviTutto(HANDLE h, std::string_view byte) {
    while (!byte.empty()) {
        DWORD scritti = 0;
        const DWORD quanti = static_cast<DWORD>(std::min<std::size_t>(byte.size(), 1 << 20));
        if (!WriteFile(h, byte.data(), quanti, &scritti, nullptr) || scritti == 0)
            return false;
        byte.remove_prefix(scritti);
    }
    return true;
}

Esito<std::string> leggiAperto(HANDLE h, const std::string& percorso, std::size_t limite) {
    LARGE_INTEGER dimensione{};
    if (!GetFileSizeEx(h, &dimensione))
        return daUltimo(percorso);
    auto troppo = errore(Causa::TroppoGrande, percorso);
    troppo.limite = limite;
    if (static_cast<unsigned long long>(dimensione.QuadPart) > limite)
        return troppo;
    std::string testo;
    char buffer[16384];
    for (;;) {
        DWORD letti = 0;
        if (!ReadFile(h, buffer, sizeof buffer, &letti, nullptr))
            return daUltimo(percorso);
        if (letti == 0)
            return testo;
        testo.append(buffer, letti);
        if (testo.size() > limite) // grew while being read
            return troppo;
    }
}

// A name for a temporary file that nobody else's file has: the program's own infix and a value
// no other writer picks at the same moment; created exclusively all the same.
std::string temporaneoNostro(std::string_view nome) {
    return nomeTemporaneo(nome, GetCurrentProcessId());
}

// The process has ended: one that cannot be opened for being another user's, or whose id may
// belong to a new process, is taken for running.
bool processoFinito(std::uint64_t processo) {
    if (processo == 0 || processo > MAXDWORD)
        return false;
    const Maniglia h(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processo)));
    if (!h)
        return GetLastError() == ERROR_INVALID_PARAMETER; // no process has that id
    return WaitForSingleObject(h.get(), 0) == WAIT_OBJECT_0;
}

// The file belongs to this user: to the user of this process, or to whom this process gives
// the files it makes (an elevated administrator gives them to the Administrators group).
bool diQuestoUtente(HANDLE file) {
    PSID proprietario = nullptr;
    PSECURITY_DESCRIPTOR descrittore = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &proprietario, nullptr,
                        nullptr, nullptr, &descrittore) != ERROR_SUCCESS)
        return false;
    const std::unique_ptr<void, HLOCAL(WINAPI*)(HLOCAL)> libera(descrittore, &LocalFree);
    HANDLE gettone = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &gettone))
        return false;
    const Maniglia token(gettone);
    for (const auto classe : {TokenUser, TokenOwner}) {
        DWORD n = 0;
        GetTokenInformation(token.get(), classe, nullptr, 0, &n);
        std::vector<BYTE> dati(n);
        if (n == 0 || !GetTokenInformation(token.get(), classe, dati.data(), n, &n))
            continue;
        const PSID nostro = classe == TokenUser
                                ? reinterpret_cast<TOKEN_USER*>(dati.data())->User.Sid
                                : reinterpret_cast<TOKEN_OWNER*>(dati.data())->Owner;
        if (EqualSid(nostro, proprietario))
            return true;
    }
    return false;
}

// Deletes the temporary when it is a regular file of this user, judged and deleted through one
// handle that no link is followed by and that nobody else holds open.
void rimuoviSeNostro(const std::string& percorso) {
    const Maniglia h(CreateFileW(largo(percorso).c_str(), DELETE | READ_CONTROL, 0, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h || !GetFileInformationByHandle(h.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        !diQuestoUtente(h.get()))
        return;
    FILE_DISPOSITION_INFO elimina{TRUE};
    SetFileInformationByHandle(h.get(), FileDispositionInfo, &elimina, sizeof elimina);
}

// Removes the temporaries that writers of destinazione, killed before their move, left beside
// it. A folder that cannot be listed keeps them: the write goes on all the same.
void rimuoviAbbandonati(const std::string& destinazione) {
    const std::string cartella = cartellaDi(destinazione);
    const std::string nome = nomeDi(destinazione);
    WIN32_FIND_DATAW voce{};
    const std::wstring filtro = largo(unisci(cartella, std::string(".").append(nome).append(".*")));
    const HANDLE trovata =
        FindFirstFileExW(filtro.c_str(), FindExInfoBasic, &voce, FindExSearchNameMatch, nullptr, 0);
    if (trovata == INVALID_HANDLE_VALUE)
        return;
    const std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> ricerca(trovata, &FindClose);
    do {
        const std::string trovato = stretto(voce.cFileName);
        const auto processo = processoDelTemporaneo(nome, trovato);
        if (processo && processoFinito(*processo))
            rimuoviSeNostro(unisci(cartella, trovato));
    } while (FindNextFileW(trovata, &voce));
}

// A scanner or an indexer may hold a file for a moment: a rename refused for sharing is tried
// again for up to about half a second.
bool sposta(const std::wstring& da, const std::wstring& a, DWORD opzioni) {
    for (int tentativo = 0;; ++tentativo) {
        if (MoveFileExW(da.c_str(), a.c_str(), opzioni))
            return true;
        const DWORD numero = GetLastError();
        if (tentativo >= 10 || (numero != ERROR_SHARING_VIOLATION && numero != ERROR_ACCESS_DENIED))
            return false;
        Sleep(50);
        SetLastError(numero);
    }
}

// Writes byte to a new file in the folder of destinazione and moves it there: over the old file
// when sostituire, only where nothing is when not. attributi: the old file's, kept.
Fatto scriviEMuovi(const std::string& destinazione, std::string_view byte, bool sostituire,
                   DWORD attributi) {
    const std::string cartella = cartellaDi(destinazione);
    rimuoviAbbandonati(destinazione);
    std::string temporaneo;
    Maniglia h;
    for (int tentativo = 0; tentativo < 16 && !h; ++tentativo) {
        temporaneo = unisci(cartella, temporaneoNostro(nomeDi(destinazione)));
        h = Maniglia(CreateFileW(largo(temporaneo).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 attributi, nullptr));
        if (!h && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (!h)
        return daUltimo(cartella);
    const bool scritto = scriviTutto(h.get(), byte) && FlushFileBuffers(h.get());
    const DWORD numero = GetLastError();
    CloseHandle(h.release());
    const std::wstring da = largo(temporaneo);
    if (!scritto) {
        DeleteFileW(da.c_str());
        return daUltimo(destinazione, numero);
    }
    const DWORD opzioni = MOVEFILE_WRITE_THROUGH | (sostituire ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!sposta(da, largo(destinazione), opzioni)) {
        const DWORD errore = GetLastError();
        DeleteFileW(da.c_str());
        return daUltimo(destinazione, errore);
    }
    return {};
}

} // namespace

// A path through a symbolic link or a junction: the file it leads to.
std::string percorsoReale(const std::string& percorso) {
    // Opened (following any link) and asked its final name: the attribute of a link is not
    // reliable on every file system.
    Maniglia h(CreateFileW(largo(percorso).c_str(), 0, kCondivisione, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h)
        return percorso;
    std::wstring finale(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h.get(), finale.data(), static_cast<DWORD>(finale.size()),
                                        FILE_NAME_NORMALIZED);
    if (n >= finale.size()) {
        finale.resize(n + 1);
        n = GetFinalPathNameByHandleW(h.get(), finale.data(), static_cast<DWORD>(finale.size()),
                                      FILE_NAME_NORMALIZED);
    }
    if (n == 0 || n >= finale.size())
        return percorso;
    finale.resize(n);
    // Without the "\\?\" prefix, so that the callers' paths built from it accept '/' too.
    if (finale.rfind(L"\\\\?\\UNC\\", 0) == 0)
        finale = L"\\\\" + finale.substr(8);
    else if (finale.rfind(L"\\\\?\\", 0) == 0)
        finale.erase(0, 4);
    return stretto(finale);
}

namespace {

// Takes the lock on h within attesa, polling with growing pauses: a lock that fails at once is
// the only kind a synchronous handle can give up on.
Fatto aspettaBlocco(HANDLE h, const std::string& percorso, std::chrono::milliseconds attesa) {
    using namespace std::chrono;
    const auto scadenza = steady_clock::now() + attesa;
    auto pausa = milliseconds(1);
    for (;;) {
        OVERLAPPED inizio{};
        if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &inizio))
            return {};
        const DWORD numero = GetLastError();
        if (numero != ERROR_LOCK_VIOLATION && numero != ERROR_IO_PENDING)
            return daUltimo(percorso, numero);
        const auto adesso = steady_clock::now();
        if (adesso >= scadenza) {
            auto e = errore(Causa::InUso, percorso);
            e.attesa = attesa;
            return e;
        }
        std::this_thread::sleep_for(std::min<steady_clock::duration>(pausa, scadenza - adesso));
        pausa = std::min(pausa * 2, milliseconds(50));
    }
}

void chiudiBlocco(std::intptr_t maniglia) {
    if (maniglia == -1)
        return;
    const HANDLE h = reinterpret_cast<HANDLE>(maniglia);
    OVERLAPPED inizio{};
    UnlockFileEx(h, 0, 1, 0, &inizio);
    CloseHandle(h);
}

} // namespace

Blocco::Blocco(Blocco&& altro) noexcept : maniglia_(std::exchange(altro.maniglia_, -1)) {}

Blocco& Blocco::operator=(Blocco&& altro) noexcept {
    if (this != &altro) {
        chiudiBlocco(maniglia_);
        maniglia_ = std::exchange(altro.maniglia_, -1);
    }
    return *this;
}

Blocco::~Blocco() {
    chiudiBlocco(maniglia_);
}

// The lock file is shared for reading and writing but not for deletion: while anyone holds it
// open, nobody can replace it with another file that others would lock instead.
Esito<Blocco> Blocco::prendi(const std::string& percorso, std::chrono::milliseconds attesa,
                             unsigned) {
    const std::wstring largoPercorso = largo(percorso);
    const DWORD prima = GetFileAttributesW(largoPercorso.c_str());
    if (prima != INVALID_FILE_ATTRIBUTES && (prima & FILE_ATTRIBUTE_DIRECTORY))
        return errore(Causa::NonRegolare, percorso);
    Maniglia h(CreateFileW(largoPercorso.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!h && GetLastError() == ERROR_ACCESS_DENIED) // a read-only medium or lock file
        h = Maniglia(CreateFileW(largoPercorso.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h)
        return daUltimo(percorso);
    if (auto regolare = eRegolare(h.get(), percorso); !regolare)
        return regolare.errore();
    if (auto preso = aspettaBlocco(h.get(), percorso, attesa); !preso)
        return preso.errore();
    return Blocco(reinterpret_cast<std::intptr_t>(h.release()));
}

Cartella::Cartella(Cartella&& altro) noexcept
    : percorso_(std::move(altro.percorso_)), maniglia_(std::exchange(altro.maniglia_, -1)) {}

Cartella& Cartella::operator=(Cartella&& altro) noexcept {
    if (this != &altro) {
        if (maniglia_ != -1)
            CloseHandle(reinterpret_cast<HANDLE>(maniglia_));
        percorso_ = std::move(altro.percorso_);
        maniglia_ = std::exchange(altro.maniglia_, -1);
    }
    return *this;
}

Cartella::~Cartella() {
    if (maniglia_ != -1)
        CloseHandle(reinterpret_cast<HANDLE>(maniglia_));
}

// The open handle (without delete sharing) keeps the folder from being renamed or removed, and
// so from being swapped for another, while it is in use.
Esito<Cartella> Cartella::apri(const std::string& percorso, RegoleCartella) {
    Maniglia h(CreateFileW(largo(percorso).c_str(), FILE_LIST_DIRECTORY,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h)
        return daUltimo(percorso);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h.get(), &info))
        return daUltimo(percorso);
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return errore(Causa::NonRegolare, percorso);
    return Cartella(percorso, reinterpret_cast<std::intptr_t>(h.release()));
}

Esito<std::string> Cartella::leggi(std::string_view nome, std::size_t limite,
                                   Requisiti requisiti) const {
    return leggiTutto(unisci(percorso_, nome), limite, requisiti);
}

Fatto Cartella::sostituisci(std::string_view nome, std::string_view byte, Permessi permessi) const {
    return file::sostituisci(unisci(percorso_, nome), byte, permessi);
}

Esito<Blocco> Cartella::blocca(std::string_view nome, std::chrono::milliseconds attesa,
                               unsigned modo) const {
    return Blocco::prendi(unisci(percorso_, nome), attesa, modo);
}

Esito<std::string> leggiTutto(const std::string& percorso, std::size_t limite, Requisiti) {
    auto h = apri(percorso, GENERIC_READ, OPEN_EXISTING);
    if (!h)
        return h.errore();
    return leggiAperto(h->get(), percorso, limite);
}

Fatto sostituisci(const std::string& percorso, std::string_view byte, Permessi) {
    // Through a link, the file it leads to is replaced, so that the link stays.
    const std::string bersaglio = percorsoReale(percorso);
    const DWORD attributi = GetFileAttributesW(largo(bersaglio).c_str());
    if (attributi == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return daUltimo(bersaglio);
        return scriviEMuovi(bersaglio, byte, true, FILE_ATTRIBUTE_NORMAL);
    }
    // The move would otherwise get round a read-only file, or put a file in place of a folder
    // or a device; opening it for writing asks the file's own security too.
    if (attributi & FILE_ATTRIBUTE_READONLY)
        return errore(Causa::Negato, bersaglio, ERROR_ACCESS_DENIED);
    auto h = apri(bersaglio, GENERIC_WRITE, OPEN_EXISTING);
    if (!h)
        return h.errore();
    CloseHandle(h->release());
    constexpr DWORD kMantenuti = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD mantenuti = attributi & kMantenuti;
    return scriviEMuovi(bersaglio, byte, true, mantenuti ? mantenuti : FILE_ATTRIBUTE_NORMAL);
}

Fatto copiaSeManca(const std::string& origine, const std::string& destinazione, std::size_t limite,
                   Permessi) {
    auto byte = leggiTutto(origine, limite);
    if (!byte)
        return byte.errore();
    // Moved without replacing: a file that appeared meanwhile is kept as it is.
    return scriviEMuovi(destinazione, *byte, false, FILE_ATTRIBUTE_NORMAL);
}

Fatto creaCartelle(const std::string& percorso, unsigned modo) {
    const DWORD attributi = GetFileAttributesW(largo(percorso).c_str());
    if (attributi != INVALID_FILE_ATTRIBUTES)
        return (attributi & FILE_ATTRIBUTE_DIRECTORY) ? Fatto()
                                                      : Fatto(errore(Causa::NonRegolare, percorso));
    const std::string genitore = cartellaDi(percorso);
    if (genitore != percorso && genitore != ".")
        if (auto fatto = creaCartelle(genitore, modo); !fatto)
            return fatto;
    if (!CreateDirectoryW(largo(percorso).c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS)
        return daUltimo(percorso);
    return {};
}

// "C:\a\b" -> "C:\a", "b"; "C:\b" -> "C:\", "b"; "b" -> ".", "b". Both separators count.
std::string cartellaDi(const std::string& percorso) {
    const auto barra = percorso.find_last_of("\\/");
    if (barra == std::string::npos)
        return percorso.size() >= 2 && percorso[1] == ':' ? percorso.substr(0, 2) : ".";
    // The root of a drive ("C:\") or of the current drive ("\") keeps its separator.
    if (barra == 0 || (barra == 2 && percorso[1] == ':'))
        return percorso.substr(0, barra + 1);
    return percorso.substr(0, barra);
}

std::string nomeDi(const std::string& percorso) {
    const auto barra = percorso.find_last_of("\\/");
    if (barra != std::string::npos)
        return percorso.substr(barra + 1);
    return percorso.size() >= 2 && percorso[1] == ':' ? percorso.substr(2) : percorso;
}

// Windows has no file-size signal.
void ignoraSegnaleDimensione() {}

} // namespace pulsiero::file
