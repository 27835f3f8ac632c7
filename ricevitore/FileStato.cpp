#include "ricevitore/FileStato.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pulsiero::ricevitore {

namespace {

constexpr off_t kDimensioneMassima = 64 * 1024; // 128 transmitters take under 2 KiB

} // namespace

std::string cartellaDi(const std::string& percorso) {
    const auto barra = percorso.rfind('/');
    if (barra == std::string::npos)
        return ".";
    return barra == 0 ? "/" : percorso.substr(0, barra);
}

namespace {

// mkdir -p: each missing folder is created private to this user.
bool creaCartelle(const std::string& cartella) {
    struct stat s {};
    if (::stat(cartella.c_str(), &s) == 0)
        return S_ISDIR(s.st_mode);
    const auto genitore = cartellaDi(cartella);
    if (genitore != cartella && !creaCartelle(genitore))
        return false;
    return ::mkdir(cartella.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string errore(const std::string& chi, const std::string& perche) {
    return chi + ": " + perche;
}

bool scriviTutto(int fd, std::string_view dati) {
    while (!dati.empty()) {
        const ssize_t n = ::write(fd, dati.data(), dati.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        dati.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<std::string> leggiTutto(int fd) {
    std::string testo;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return testo;
        testo.append(buffer, static_cast<std::size_t>(n));
        if (testo.size() > static_cast<std::size_t>(kDimensioneMassima))
            return std::nullopt;
    }
}

} // namespace

FileStato::FileStato(FileStato&& altro) noexcept
    : percorso_(std::move(altro.percorso_)), nome_(std::move(altro.nome_)),
      cartella_(altro.cartella_), blocco_(altro.blocco_), letto_(std::move(altro.letto_)) {
    altro.cartella_ = -1;
    altro.blocco_ = -1;
}

FileStato::~FileStato() {
    if (blocco_ >= 0)
        ::close(blocco_);
    if (cartella_ >= 0)
        ::close(cartella_);
}

std::variant<FileStato, std::string> FileStato::apri(const std::string& percorso) {
    FileStato f;
    f.percorso_ = percorso;
    const auto barra = percorso.rfind('/');
    f.nome_ = barra == std::string::npos ? percorso : percorso.substr(barra + 1);
    if (f.nome_.empty() || f.nome_ == "." || f.nome_ == "..")
        return errore(percorso, "non è il nome di un file");
    const std::string cartella = cartellaDi(percorso);
    if (auto problema = f.apriCartella(cartella))
        return *problema;
    if (auto problema = f.prendiBlocco(cartella))
        return *problema;
    if (auto problema = f.leggi())
        return *problema;
    return f;
}

// The folder is opened once: every later name is resolved in it, so swapping the path for a
// link after the checks changes nothing.
std::optional<std::string> FileStato::apriCartella(const std::string& cartella) {
    auto aperta = apriCartellaNostra(cartella, "dello stato");
    if (auto* problema = std::get_if<std::string>(&aperta))
        return *problema;
    cartella_ = std::get<int>(aperta);
    return std::nullopt;
}

std::optional<std::string> FileStato::prendiBlocco(const std::string& cartella) {
    const std::string nome = "." + nome_ + ".lock";
    blocco_ = ::openat(cartella_, nome.c_str(),
                       O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (blocco_ < 0)
        return errore(cartella + "/" + nome,
                      std::string("impossibile aprire il blocco dello stato: ") +
                          std::strerror(errno));
    struct stat s {};
    if (::fstat(blocco_, &s) != 0 || !S_ISREG(s.st_mode) || s.st_uid != ::geteuid())
        return errore(cartella + "/" + nome, "il blocco dello stato non è un file nostro");
    if (::flock(blocco_, LOCK_EX | LOCK_NB) != 0)
        return errore(percorso_,
                      errno == EWOULDBLOCK
                          ? "stato già in uso da un'altra copia del ricevitore"
                          : std::string("impossibile bloccare lo stato: ") + std::strerror(errno));
    return std::nullopt;
}

// No file is a first start; anything else that is not our own complete state stops the start.
std::optional<std::string> FileStato::leggi() {
    auto letto = leggiFileNostro(cartella_, nome_, percorso_, "lo stato", false);
    if (auto* problema = std::get_if<std::string>(&letto))
        return *problema;
    const auto& testo = std::get<std::optional<std::string>>(letto);
    if (!testo)
        return std::nullopt;
    auto stato = rolling::parseStateFile(*testo);
    if (const auto* problema = std::get_if<std::string>(&stato))
        return errore(percorso_, "stato non valido: " + *problema);
    letto_ = std::move(std::get<rolling::State>(stato));
    return std::nullopt;
}

bool FileStato::salva(std::string_view testo) const {
    return sostituisci(cartella_, nome_, testo);
}

std::variant<int, std::string> apriCartellaNostra(const std::string& cartella,
                                                  const std::string& di) {
    if (!creaCartelle(cartella))
        return errore(cartella,
                      "impossibile creare la cartella " + di + ": " + std::strerror(errno));
    const int fd = ::open(cartella.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat s {};
    if (fd < 0 || ::fstat(fd, &s) != 0) {
        const std::string perche = std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return errore(cartella, "cartella " + di + " non accessibile: " + perche);
    }
    std::string problema;
    if (s.st_uid != ::geteuid())
        problema = "la cartella " + di + " appartiene a un altro utente";
    else if ((s.st_mode & S_IWOTH) && !(s.st_mode & S_ISVTX))
        problema = "la cartella " + di + " è scrivibile da altri utenti";
    else if ((s.st_mode & S_IWGRP) && !(s.st_mode & S_ISVTX)) // the group could swap the keys
        problema = "la cartella " + di + " è scrivibile dal gruppo";
    if (!problema.empty()) {
        ::close(fd);
        return errore(cartella, problema);
    }
    return fd;
}

std::variant<std::optional<std::string>, std::string>
leggiFileNostro(int cartella, const std::string& nome, const std::string& percorso,
                const std::string& soggetto, bool privato) {
    // O_NONBLOCK: a planted FIFO must not hang the start-up.
    const int fd = ::openat(cartella, nome.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT)
        return std::optional<std::string>();
    if (fd < 0)
        return errore(percorso, errno == ELOOP ? soggetto + " è un collegamento simbolico"
                                               : "impossibile leggere " + soggetto + ": " +
                                                     std::strerror(errno));
    struct stat s {};
    const bool regolare = ::fstat(fd, &s) == 0 && S_ISREG(s.st_mode);
    const bool nostro = regolare && s.st_uid == ::geteuid();
    const bool riservato = !privato || (s.st_mode & 077) == 0;
    const auto testo = regolare && nostro && riservato && s.st_size <= kDimensioneMassima
                           ? leggiTutto(fd)
                           : std::nullopt;
    const int erroreLettura = errno;
    ::close(fd);
    if (!regolare)
        return errore(percorso, soggetto + " non è un file regolare");
    if (!nostro)
        return errore(percorso, soggetto + " appartiene a un altro utente");
    if (!riservato) {
        char permessi[8];
        std::snprintf(permessi, sizeof permessi, "%04o", static_cast<unsigned>(s.st_mode & 07777));
        return errore(percorso, soggetto + " è accessibile ad altri utenti (permessi " + permessi +
                                    "; usare chmod 600)");
    }
    if (!testo)
        return errore(percorso, s.st_size > kDimensioneMassima
                                    ? soggetto + " è troppo grande"
                                    : "impossibile leggere " + soggetto + ": " +
                                          std::strerror(erroreLettura));
    return testo;
}

bool sostituisci(int cartella, const std::string& nome, std::string_view testo) {
    // Only the holder of the state lock writes here, so a fixed temporary name is enough; a
    // leftover from a killed run, or anything planted under that name, is removed first.
    const std::string temporaneo = "." + nome + ".nuovo";
    ::unlinkat(cartella, temporaneo.c_str(), 0);
    const int fd = ::openat(cartella, temporaneo.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool scritto = scriviTutto(fd, testo) && ::fsync(fd) == 0;
    int errore = errno;
    const bool chiuso = ::close(fd) == 0;
    if (scritto && !chiuso)
        errore = errno;
    if (!scritto || !chiuso ||
        ::renameat(cartella, temporaneo.c_str(), cartella, nome.c_str()) != 0) {
        if (scritto && chiuso)
            errore = errno;
        ::unlinkat(cartella, temporaneo.c_str(), 0);
        errno = errore; // the caller reports why
        return false;
    }
    return ::fsync(cartella) == 0;
}

} // namespace pulsiero::ricevitore
