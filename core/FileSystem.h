#pragma once

// The one file layer of both programs: everything they do with files and folders goes through
// here, so a platform needs one port of this header (FileSystem_posix.cpp, FileSystem_win32.cpp)
// and the rules below hold the same on each. Paths are UTF-8; a port converts them at the OS
// boundary. Every failure is a value (Errore) that says in Italian words what went wrong, for
// the message the user sees; nothing here throws.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

namespace pulsiero::file {

// Why an operation failed. The code decides on the cause; the user reads perche(errore).
enum class Causa {
    Mancante,           // no such file or folder
    NonRegolare,        // a folder, a FIFO, a device... where a regular file was expected
    TroppoGrande,       // over the caller's size limit (limite)
    Negato,             // the system refused access (permissions, read-only medium)
    AltroUtente,        // owned by another user: not ours to use, or to replace keeping its owner
    AccessibileAdAltri, // a private file that group or others may read or write (modo)
    ScrivibileDaAltri,  // a folder that others may write, without the sticky bit
    Collegamento,       // a symbolic link where none is followed
    Esistente,          // the target exists already (a copy never replaces)
    InUso,              // the lock is held by another process beyond the wait allowed (attesa)
    SpazioEsaurito,     // the disk, or this user's quota on it, is full
    Sistema,            // any other failure of the system: see Errore::sistema
};

struct Errore {
    Causa causa = Causa::Sistema;
    std::string percorso;                // the file or folder concerned
    std::string sistema;                 // the system's own words, when it gave any (strerror...)
    std::uint64_t limite = 0;            // TroppoGrande: the limit in bytes
    unsigned modo = 0;                   // AccessibileAdAltri: the file's permissions
    std::chrono::milliseconds attesa{0}; // InUso: how long the lock was waited for
};

// The cause in words, without the path: "il file è bloccato da un altro programma".
std::string perche(const Errore& errore);
// The path, a colon, the cause: what a message box or stderr shows.
std::string messaggio(const Errore& errore);

// A value, or why there is none.
template <class T = std::monostate> class [[nodiscard]] Esito {
public:
    Esito() requires std::is_default_constructible_v<T>
    = default;
    Esito(T valore) : stato_(std::move(valore)) {}
    Esito(Errore errore) : stato_(std::move(errore)) {}

    explicit operator bool() const { return stato_.index() == 0; }
    T& operator*() { return std::get<0>(stato_); }
    const T& operator*() const { return std::get<0>(stato_); }
    T* operator->() { return &std::get<0>(stato_); }
    const T* operator->() const { return &std::get<0>(stato_); }
    const Errore& errore() const { return std::get<1>(stato_); }

private:
    std::variant<T, Errore> stato_;
};
using Fatto = Esito<>;

// Sizes and waits the programs agree on.
inline constexpr std::size_t kLimiteImpostazioni = 1024 * 1024; // a settings file is never bigger
inline constexpr std::chrono::milliseconds kAttesaBlocco{2000}; // a press waits no longer

// Permissions of a written file, as POSIX modes (0600...). A platform without them keeps a file
// private by where it lives, and ignores them.
struct Permessi {
    // nullopt: an existing file keeps its mode; a new one gets the ordinary mode of a new file.
    std::optional<unsigned> modo;
};

// What a read insists on beyond "a regular file, at most limite bytes".
struct Requisiti {
    bool nostro = false;  // owned by this user (Causa::AltroUtente otherwise)
    bool privato = false; // no access for group or others (Causa::AccessibileAdAltri)
};

// An exclusive lock shared by every process that locks the same file, held until destruction.
// The lock file is a regular file, made if missing and never truncated; a FIFO or a device
// planted under its name is refused (Causa::NonRegolare), never waited on.
class Blocco {
public:
    // Waits up to attesa (zero: just tries) for the lock; Causa::InUso when another holds it.
    // modo: the new lock file's permissions (0644 lets every user of a shared file take it).
    static Esito<Blocco> prendi(const std::string& percorso, std::chrono::milliseconds attesa,
                                unsigned modo = 0644);

    Blocco(Blocco&& altro) noexcept;
    Blocco& operator=(Blocco&& altro) noexcept;
    Blocco(const Blocco&) = delete;
    Blocco& operator=(const Blocco&) = delete;
    ~Blocco();

private:
    friend class Cartella;
    explicit Blocco(std::intptr_t maniglia) : maniglia_(maniglia) {}
    std::intptr_t maniglia_ = -1; // a descriptor, or a HANDLE
};

struct RegoleCartella {
    // Refuse a folder of another user (AltroUtente), or one that group or others may write
    // without the sticky bit (ScrivibileDaAltri): whoever controls it controls what is read there.
    bool soloNostra = false;
};

// A folder opened once: every name below is resolved in it, never through a symbolic link, so
// swapping the folder's path for a link after it was opened changes nothing. The receiver keeps
// its state and keys here.
class Cartella {
public:
    static Esito<Cartella> apri(const std::string& percorso, RegoleCartella regole = {});

    Cartella(Cartella&& altro) noexcept;
    Cartella& operator=(Cartella&& altro) noexcept;
    Cartella(const Cartella&) = delete;
    Cartella& operator=(const Cartella&) = delete;
    ~Cartella();

    const std::string& percorso() const { return percorso_; }

    // The whole content of the regular file nome; Causa::Mancante when there is none.
    Esito<std::string> leggi(std::string_view nome, std::size_t limite,
                             Requisiti requisiti = {}) const;
    // Durable, atomic replacement of nome (see file::sostituisci).
    Fatto sostituisci(std::string_view nome, std::string_view byte, Permessi permessi = {}) const;
    // The lock file nome in this folder, which must also be owned by this user.
    Esito<Blocco> blocca(std::string_view nome, std::chrono::milliseconds attesa,
                         unsigned modo = 0600) const;

private:
    Cartella(std::string percorso, std::intptr_t maniglia)
        : percorso_(std::move(percorso)), maniglia_(maniglia) {}
    std::string percorso_;
    std::intptr_t maniglia_ = -1;
};

// The whole content of a regular file of at most limite bytes, read without blocking (a FIFO is
// refused, not waited on). Causa::Mancante when the file does not exist.
Esito<std::string> leggiTutto(const std::string& percorso, std::size_t limite,
                              Requisiti requisiti = {});

// Replaces the file with byte, durably and atomically: the bytes go to a temporary file that
// only this program makes (never a name someone else's file may have), flushed to disk, then
// renamed over the file, and the folder is flushed too; any failure, that of the folder's flush
// included, is returned and leaves the old file as it was. A path through a symbolic link
// replaces the link's target. An existing file keeps its owner, group and mode (unless
// permessi.modo sets the mode); one that cannot keep them (another user's file, for anyone but
// the administrator) is refused with Causa::AltroUtente, as is anything but a regular file this
// user may write (NonRegolare, Negato). The temporaries of this file that writers killed before
// their rename left behind are removed: regular files of this user whose process has ended (a
// process id still in use may be another writer's, and is left alone).
Fatto sostituisci(const std::string& percorso, std::string_view byte, Permessi permessi = {});

// Creates destinazione as a copy of the regular file origine (at most limite bytes), with mode
// permessi.modo from its first byte on (so a secret is never readable by others, even for a
// moment); Causa::Esistente when destinazione exists, which is then left as it is.
Fatto copiaSeManca(const std::string& origine, const std::string& destinazione, std::size_t limite,
                   Permessi permessi = {});

// The name of a new temporary file of process processo for the file nome, beside it:
// ".nome.pulsiero-PROCESSO-N-T", N and T making it unique within the process.
std::string nomeTemporaneo(std::string_view nome, std::uint64_t processo);
// The process that made candidato, when candidato is exactly such a name for nome.
std::optional<std::uint64_t> processoDelTemporaneo(std::string_view nome,
                                                   std::string_view candidato);

// Creates the folder and any missing parent, each with modo; done when it is a folder already.
Fatto creaCartelle(const std::string& percorso, unsigned modo = 0700);

// The folder part and the name part of a path ("/a/b" -> "/a", "b"; "b" -> ".", "b"), with
// the platform's separators.
std::string cartellaDi(const std::string& percorso);
std::string nomeDi(const std::string& percorso);

// The path with its symbolic links resolved (where the file really is); the path itself when it
// does not resolve.
std::string percorsoReale(const std::string& percorso);

// A write beyond the file-size limit then fails like any other instead of ending the process.
void ignoraSegnaleDimensione();

} // namespace pulsiero::file
