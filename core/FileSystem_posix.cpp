#include "core/FileSystem.h"

#include <cerrno>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace pulsiero::file {

namespace {

// A descriptor closed when it goes out of scope, unless released.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& altro) noexcept : fd_(std::exchange(altro.fd_, -1)) {}
    Fd& operator=(Fd&&) = delete;
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

Errore errore(Causa causa, const std::string& percorso, int numero = 0) {
    Errore e;
    e.causa = causa;
    e.percorso = percorso;
    if (numero != 0)
        e.sistema = std::strerror(numero);
    return e;
}

// The cause of a failed system call, from errno.
Errore daErrno(const std::string& percorso, int numero = errno) {
    switch (numero) {
    case ENOENT:
        return errore(Causa::Mancante, percorso, numero);
    case EACCES:
    case EPERM:
    case EROFS:
        return errore(Causa::Negato, percorso, numero);
    case ENOSPC:
    case EDQUOT:
        return errore(Causa::SpazioEsaurito, percorso, numero);
    case ELOOP:
        return errore(Causa::Collegamento, percorso, numero);
    default:
        return errore(Causa::Sistema, percorso, numero);
    }
}

std::string unisci(const std::string& cartella, std::string_view nome) {
    return (cartella == "/" ? cartella : cartella + "/") + std::string(nome);
}

bool scriviTutto(int fd, std::string_view byte) {
    while (!byte.empty()) {
        const ssize_t n = ::write(fd, byte.data(), byte.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        byte.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The content of an open file, checked against the rules first.
Esito<std::string> leggiAperto(int fd, const std::string& percorso, std::size_t limite,
                               Requisiti requisiti) {
    struct stat s {};
    if (::fstat(fd, &s) != 0)
        return daErrno(percorso);
    if (!S_ISREG(s.st_mode))
        return errore(Causa::NonRegolare, percorso);
    if (requisiti.nostro && s.st_uid != ::geteuid())
        return errore(Causa::AltroUtente, percorso);
    if (requisiti.privato && (s.st_mode & 077) != 0) {
        auto e = errore(Causa::AccessibileAdAltri, percorso);
        e.modo = s.st_mode & 07777;
        return e;
    }
    auto troppo = errore(Causa::TroppoGrande, percorso);
    troppo.limite = limite;
    if (static_cast<unsigned long long>(s.st_size) > limite)
        return troppo;
    std::string testo;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return daErrno(percorso);
        if (n == 0)
            return testo;
        testo.append(buffer, static_cast<std::size_t>(n));
        if (testo.size() > limite) // grew while being read
            return troppo;
    }
}

// A name for a temporary file that nobody else's file has: the program's own suffix and a
// value no other writer picks at the same moment; created exclusively all the same.
std::string temporaneoNostro(std::string_view nome) {
    return nomeTemporaneo(nome, static_cast<std::uint64_t>(::getpid()));
}

// A temporary beside a file that its writer, killed before the rename, can no longer remove:
// a regular file of this user whose process has ended. A process id in use is never judged, as
// it may be a reused one or another user's writer.
bool abbandonato(int cartella, const char* voce, std::uint64_t processo) {
    struct stat s {};
    if (processo == 0 || processo > static_cast<std::uint64_t>(INT_MAX) ||
        ::fstatat(cartella, voce, &s, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(s.st_mode) ||
        s.st_uid != ::geteuid())
        return false;
    return ::kill(static_cast<pid_t>(processo), 0) != 0 && errno == ESRCH;
}

// Removes what killed writers of nome left in the folder. A folder that cannot be listed keeps
// them: the write goes on all the same.
void rimuoviAbbandonati(int cartella, const std::string& nome) {
    // A descriptor of its own: a duplicate would share its reading position with other threads.
    const int propria = ::openat(cartella, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (propria < 0)
        return;
    const std::unique_ptr<DIR, int (*)(DIR*)> voci(::fdopendir(propria), &::closedir);
    if (!voci) {
        ::close(propria);
        return;
    }
    while (const dirent* voce = ::readdir(voci.get())) {
        const auto processo = processoDelTemporaneo(nome, voce->d_name);
        if (processo && abbandonato(cartella, voce->d_name, *processo))
            ::unlinkat(cartella, voce->d_name, 0);
    }
}

// A new file in the folder, not yet visible under any name where the system allows it
// (O_TMPFILE); otherwise under a temporary name of ours, returned in nome.
Esito<int> creaAnonimo(int cartella, const std::string& percorsoCartella,
                       const std::string& perNome, unsigned modo, std::string& nome) {
    nome.clear();
    const int fd = ::openat(cartella, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, modo);
    if (fd >= 0)
        return fd;
    for (int tentativo = 0; tentativo < 16; ++tentativo) {
        nome = temporaneoNostro(perNome);
        const int creato = ::openat(cartella, nome.c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, modo);
        if (creato >= 0)
            return creato;
        if (errno != EEXIST)
            break;
    }
    const int numero = errno;
    nome.clear();
    return daErrno(percorsoCartella, numero);
}

// Gives the anonymous file fd the name nome in the folder (fails with EEXIST when taken).
bool collega(int fd, int cartella, const std::string& nome) {
    if (::linkat(fd, "", cartella, nome.c_str(), AT_EMPTY_PATH) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    const std::string viaProc = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, viaProc.c_str(), cartella, nome.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// A folder that cannot say whether its entries reached the disk has lost nothing we can save:
// the failure of its flush is a failure of the write.
Fatto sincronizza(int cartella, const std::string& percorso) {
    if (::fsync(cartella) != 0 && errno != EINVAL)
        return daErrno(percorso);
    return {};
}

// Writes a new file in the folder and gives it the name nome: renamed over the old file when
// sostituire, linked where nothing is when not. Owner and group of vecchio are kept.
Fatto scriviNuovo(int cartella, const std::string& percorsoCartella, const std::string& nome,
                  std::string_view byte, std::optional<unsigned> modo, const struct stat* vecchio,
                  bool sostituire) {
    const std::string percorso = unisci(percorsoCartella, nome);
    rimuoviAbbandonati(cartella, nome);
    // Created private: it only gets its final mode once its owner is right.
    std::string temporaneo;
    auto creato =
        creaAnonimo(cartella, percorsoCartella, nome, modo || vecchio ? 0600 : 0666, temporaneo);
    if (!creato)
        return creato.errore();
    Fd fd(*creato);
    const auto scarta = [&] {
        if (!temporaneo.empty())
            ::unlinkat(cartella, temporaneo.c_str(), 0);
    };
    struct stat nuovo {};
    if (::fstat(fd.get(), &nuovo) != 0)
        return scarta(), daErrno(percorso);
    if (vecchio && (vecchio->st_uid != nuovo.st_uid || vecchio->st_gid != nuovo.st_gid) &&
        ::fchown(fd.get(), vecchio->st_uid, vecchio->st_gid) != 0)
        return scarta(), errore(Causa::AltroUtente, percorso, errno);
    const auto finale = modo      ? modo
                        : vecchio ? std::optional(vecchio->st_mode & 07777u)
                                  : std::nullopt;
    if ((finale && ::fchmod(fd.get(), *finale) != 0) || !scriviTutto(fd.get(), byte) ||
        ::fsync(fd.get()) != 0)
        return scarta(), daErrno(percorso);
    if (temporaneo.empty()) {
        temporaneo = sostituire ? temporaneoNostro(nome) : nome;
        if (!collega(fd.get(), cartella, temporaneo)) {
            const int numero = errno;
            temporaneo.clear();
            return numero == EEXIST ? errore(Causa::Esistente, percorso)
                                    : daErrno(percorso, numero);
        }
        if (!sostituire)
            temporaneo.clear(); // it is the file itself now
    } else if (!sostituire) {
        // link() never replaces: a file that appeared meanwhile is kept as it is.
        const bool collegato =
            ::linkat(cartella, temporaneo.c_str(), cartella, nome.c_str(), 0) == 0;
        const int numero = errno;
        scarta();
        if (!collegato)
            return numero == EEXIST ? errore(Causa::Esistente, percorso)
                                    : daErrno(percorso, numero);
        temporaneo.clear();
    }
    if (::close(fd.release()) != 0)
        return scarta(), daErrno(percorso);
    if (sostituire && ::renameat(cartella, temporaneo.c_str(), cartella, nome.c_str()) != 0) {
        const int numero = errno;
        scarta();
        return daErrno(percorso, numero);
    }
    return sincronizza(cartella, percorsoCartella);
}

// Replaces nome in the open folder, after the checks that keep a stranger's file untouched.
Fatto sostituisciIn(int cartella, const std::string& percorsoCartella, const std::string& nome,
                    std::string_view byte, Permessi permessi) {
    const std::string percorso = unisci(percorsoCartella, nome);
    struct stat vecchio {};
    const bool esiste = ::fstatat(cartella, nome.c_str(), &vecchio, AT_SYMLINK_NOFOLLOW) == 0;
    if (!esiste && errno != ENOENT)
        return daErrno(percorso);
    // A symbolic link here is replaced by the file, never written through.
    const bool file = esiste && S_ISREG(vecchio.st_mode);
    if (esiste && !file && !S_ISLNK(vecchio.st_mode))
        return errore(Causa::NonRegolare, percorso);
    // The rename would otherwise get round a read-only file.
    if (file && ::faccessat(cartella, nome.c_str(), W_OK, AT_EACCESS) != 0)
        return daErrno(percorso);
    return scriviNuovo(cartella, percorsoCartella, nome, byte, permessi.modo,
                       file ? &vecchio : nullptr, true);
}

Esito<int> apriCartella(const std::string& percorso) {
    const int fd = ::open(percorso.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOTDIR ? errore(Causa::NonRegolare, percorso) : daErrno(percorso);
    return fd;
}

// Takes the lock on fd within attesa. flock has no timeout of its own, and polling would let a
// copy that saves in a loop take the lock again and again before this one: so a helper thread
// queues for it in the kernel, on a duplicate of the descriptor, while this thread waits at most
// attesa for its answer. A helper that gets the lock too late closes the last descriptor of it,
// which releases it at once.
Fatto aspettaBlocco(int fd, const std::string& percorso, std::chrono::milliseconds attesa) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return {};
    if (errno != EWOULDBLOCK && errno != EINTR)
        return daErrno(percorso);
    auto inUso = errore(Causa::InUso, percorso);
    inUso.attesa = attesa;
    if (attesa <= std::chrono::milliseconds(0))
        return inUso;
    struct Coda {
        std::mutex mutex;
        std::condition_variable fatto;
        std::optional<int> errore; // 0: locked
    };
    auto coda = std::make_shared<Coda>();
    const int copia = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copia < 0)
        return daErrno(percorso);
    std::thread([copia, coda] {
        int rc;
        do {
            rc = ::flock(copia, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        const int esito = rc == 0 ? 0 : errno;
        ::close(copia);
        const std::lock_guard guardia(coda->mutex);
        coda->errore = esito;
        coda->fatto.notify_all();
    }).detach();
    std::unique_lock guardia(coda->mutex);
    if (!coda->fatto.wait_for(guardia, attesa, [&] { return coda->errore.has_value(); }))
        return inUso;
    if (*coda->errore != 0)
        return daErrno(percorso, *coda->errore);
    return {};
}

constexpr int kApriBlocco = O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The lock file, opened for writing where allowed (an exclusive lock over NFS needs it) and for
// reading only where writing is refused. One that this user cannot even read (an older version
// made them private) is replaced by a readable one, so it cannot block this user's saves.
Esito<int> apriFileBlocco(const std::string& percorso, unsigned modo) {
    int fd = ::open(percorso.c_str(), O_RDWR | O_EXCL | kApriBlocco, modo);
    if (fd >= 0) {
        ::fchmod(fd, modo); // whatever this user's umask
        return fd;
    }
    if (errno == EEXIST)
        fd = ::open(percorso.c_str(), O_RDWR | kApriBlocco, modo);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(percorso.c_str(), O_RDONLY | kApriBlocco, modo);
    if (fd >= 0 || errno != EACCES)
        return fd >= 0 ? Esito<int>(fd) : daErrno(percorso);
    const std::string cartella = cartellaDi(percorso);
    auto aperta = apriCartella(cartella);
    if (!aperta)
        return aperta.errore();
    Fd cartellaFd(*aperta);
    const Fatto sostituito =
        scriviNuovo(cartellaFd.get(), cartella, nomeDi(percorso), {}, modo, nullptr, true);
    if (!sostituito)
        return sostituito.errore();
    fd = ::open(percorso.c_str(), O_RDWR | kApriBlocco, modo);
    return fd >= 0 ? Esito<int>(fd) : daErrno(percorso);
}

} // namespace

Blocco::Blocco(Blocco&& altro) noexcept : maniglia_(std::exchange(altro.maniglia_, -1)) {}

Blocco& Blocco::operator=(Blocco&& altro) noexcept {
    if (this != &altro) {
        if (maniglia_ >= 0)
            ::close(static_cast<int>(maniglia_));
        maniglia_ = std::exchange(altro.maniglia_, -1);
    }
    return *this;
}

Blocco::~Blocco() {
    if (maniglia_ >= 0)
        ::close(static_cast<int>(maniglia_)); // closing the last descriptor releases the flock
}

Esito<Blocco> Blocco::prendi(const std::string& percorso, std::chrono::milliseconds attesa,
                             unsigned modo) {
    // A lock file replaced while we waited for it is not the one the others lock: take it again.
    for (int tentativo = 0; tentativo < 8; ++tentativo) {
        auto aperto = apriFileBlocco(percorso, modo);
        if (!aperto)
            return aperto.errore();
        Fd fd(*aperto);
        struct stat tenuto {};
        if (::fstat(fd.get(), &tenuto) != 0)
            return daErrno(percorso);
        if (!S_ISREG(tenuto.st_mode))
            return errore(Causa::NonRegolare, percorso);
        if (auto preso = aspettaBlocco(fd.get(), percorso, attesa); !preso)
            return preso.errore();
        struct stat attuale {};
        if (::stat(percorso.c_str(), &attuale) == 0 && tenuto.st_ino == attuale.st_ino &&
            tenuto.st_dev == attuale.st_dev)
            return Blocco(fd.release());
    }
    return errore(Causa::InUso, percorso);
}

Cartella::Cartella(Cartella&& altro) noexcept
    : percorso_(std::move(altro.percorso_)), maniglia_(std::exchange(altro.maniglia_, -1)) {}

Cartella& Cartella::operator=(Cartella&& altro) noexcept {
    if (this != &altro) {
        if (maniglia_ >= 0)
            ::close(static_cast<int>(maniglia_));
        percorso_ = std::move(altro.percorso_);
        maniglia_ = std::exchange(altro.maniglia_, -1);
    }
    return *this;
}

Cartella::~Cartella() {
    if (maniglia_ >= 0)
        ::close(static_cast<int>(maniglia_));
}

Esito<Cartella> Cartella::apri(const std::string& percorso, RegoleCartella regole) {
    auto aperta = apriCartella(percorso);
    if (!aperta)
        return aperta.errore();
    Cartella cartella(percorso, *aperta);
    struct stat s {};
    if (::fstat(*aperta, &s) != 0)
        return daErrno(percorso);
    if (regole.soloNostra && s.st_uid != ::geteuid())
        return errore(Causa::AltroUtente, percorso);
    if (regole.soloNostra && (s.st_mode & (S_IWGRP | S_IWOTH)) && !(s.st_mode & S_ISVTX))
        return errore(Causa::ScrivibileDaAltri, percorso);
    return cartella;
}

Esito<std::string> Cartella::leggi(std::string_view nome, std::size_t limite,
                                   Requisiti requisiti) const {
    const std::string percorso = unisci(percorso_, nome);
    // O_NONBLOCK: a planted FIFO must not hang anyone; it is refused once open.
    Fd fd(::openat(static_cast<int>(maniglia_), std::string(nome).c_str(),
                   O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd)
        return daErrno(percorso);
    return leggiAperto(fd.get(), percorso, limite, requisiti);
}

Fatto Cartella::sostituisci(std::string_view nome, std::string_view byte, Permessi permessi) const {
    return sostituisciIn(static_cast<int>(maniglia_), percorso_, std::string(nome), byte, permessi);
}

Esito<Blocco> Cartella::blocca(std::string_view nome, std::chrono::milliseconds attesa,
                               unsigned modo) const {
    const std::string percorso = unisci(percorso_, nome);
    Fd fd(::openat(static_cast<int>(maniglia_), std::string(nome).c_str(), O_RDWR | kApriBlocco,
                   modo));
    if (!fd)
        return daErrno(percorso);
    struct stat s {};
    if (::fstat(fd.get(), &s) != 0)
        return daErrno(percorso);
    if (!S_ISREG(s.st_mode))
        return errore(Causa::NonRegolare, percorso);
    if (s.st_uid != ::geteuid())
        return errore(Causa::AltroUtente, percorso);
    if (auto preso = aspettaBlocco(fd.get(), percorso, attesa); !preso)
        return preso.errore();
    return Blocco(fd.release());
}

Esito<std::string> leggiTutto(const std::string& percorso, std::size_t limite,
                              Requisiti requisiti) {
    // O_NONBLOCK: a FIFO must not hang the program; it is refused once open.
    Fd fd(::open(percorso.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd)
        return daErrno(percorso);
    return leggiAperto(fd.get(), percorso, limite, requisiti);
}

Fatto sostituisci(const std::string& percorso, std::string_view byte, Permessi permessi) {
    // Through a symbolic link the target is replaced, so the link survives the rename.
    const std::string bersaglio = percorsoReale(percorso);
    auto cartella = Cartella::apri(cartellaDi(bersaglio));
    if (!cartella)
        return cartella.errore();
    return cartella->sostituisci(nomeDi(bersaglio), byte, permessi);
}

Fatto copiaSeManca(const std::string& origine, const std::string& destinazione, std::size_t limite,
                   Permessi permessi) {
    auto byte = leggiTutto(origine, limite);
    if (!byte)
        return byte.errore();
    const std::string percorsoCartella = cartellaDi(destinazione);
    auto cartella = apriCartella(percorsoCartella);
    if (!cartella)
        return cartella.errore();
    Fd fd(*cartella);
    return scriviNuovo(fd.get(), percorsoCartella, nomeDi(destinazione), *byte, permessi.modo,
                       nullptr, false);
}

Fatto creaCartelle(const std::string& percorso, unsigned modo) {
    struct stat s {};
    if (::stat(percorso.c_str(), &s) == 0)
        return S_ISDIR(s.st_mode) ? Fatto() : Fatto(errore(Causa::NonRegolare, percorso));
    const std::string genitore = cartellaDi(percorso);
    if (genitore != percorso)
        if (auto fatto = creaCartelle(genitore, modo); !fatto)
            return fatto;
    if (::mkdir(percorso.c_str(), modo) != 0 && errno != EEXIST)
        return daErrno(percorso);
    return {};
}

std::string cartellaDi(const std::string& percorso) {
    const auto barra = percorso.rfind('/');
    if (barra == std::string::npos)
        return ".";
    return barra == 0 ? "/" : percorso.substr(0, barra);
}

std::string nomeDi(const std::string& percorso) {
    const auto barra = percorso.rfind('/');
    return barra == std::string::npos ? percorso : percorso.substr(barra + 1);
}

std::string percorsoReale(const std::string& percorso) {
    char buffer[PATH_MAX];
    if (::realpath(percorso.c_str(), buffer) != nullptr)
        return buffer;
    return percorso;
}

void ignoraSegnaleDimensione() {
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace pulsiero::file
