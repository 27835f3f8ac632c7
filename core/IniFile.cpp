#include "core/IniFile.h"

#include "core/Chiavi.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pulsiero::ini {

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A settings file reached through a symbolic link is written where the link points, so the link
// survives the rename.
std::string resolvedPath(const std::string& path) {
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer) != nullptr)
        return buffer;
    return path;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

mode_t modeForNewFile() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        ::close(fd);
    }
}

// A writer killed between creating its temporary file and renaming it leaves the temporary
// behind. Whoever holds the lock is the only writer, so any such file is stale.
void removeStaleTemporaries(const std::string& path) {
    const std::string target = resolvedPath(path);
    const std::string folder = folderOf(target);
    const std::string prefix = "." + nameOf(target) + ".";
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        // mkostemp's six characters; the lock file's "lock" never matches.
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
            ::unlink((folder + "/" + name).c_str());
    }
    closedir(dir);
}

// Every user of the settings file must be able to take its lock, whoever made the lock file:
// it is made readable by all, and flock works on a descriptor opened for reading only.
int openLockFile(const std::string& lockPath) {
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd >= 0) {
        fchmod(fd, 0644); // whatever this user's umask
        return fd;
    }
    fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0 || errno != EACCES)
        return fd;
    // A lock file that this user cannot even read (an older version made them private) is
    // replaced by a readable one, so that it cannot block this user's saves for good.
    std::string temp = lockPath + ".XXXXXX";
    fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (fchmod(fd, 0644) != 0 || ::rename(temp.c_str(), lockPath.c_str()) != 0) {
        ::unlink(temp.c_str());
        ::close(fd);
        return -1;
    }
    return fd;
}

bool isRegularFile(const struct stat& st) {
    return S_ISREG(st.st_mode);
}

} // namespace

std::optional<SettingsLock> SettingsLock::acquire(const std::string& settingsPath) {
    const std::string target = resolvedPath(settingsPath);
    const std::string lockPath = folderOf(target) + "/." + nameOf(target) + ".lock";
    // A lock file replaced while we waited for it is not the one the others lock: take it again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = openLockFile(lockPath);
        if (fd < 0)
            return std::nullopt;
        int rc;
        do {
            rc = flock(fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        struct stat held {};
        struct stat current {};
        if (rc == 0 && fstat(fd, &held) == 0 && ::stat(lockPath.c_str(), &current) == 0 &&
            held.st_ino == current.st_ino && held.st_dev == current.st_dev)
            return SettingsLock(fd);
        ::close(fd);
        if (rc != 0)
            return std::nullopt;
    }
    return std::nullopt;
}

SettingsLock::SettingsLock(SettingsLock&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

SettingsLock::~SettingsLock() {
    if (fd_ >= 0)
        ::close(fd_); // closing the last descriptor releases the flock
}

std::optional<std::string> readFile(const std::string& path, std::size_t maxBytes) {
    // Without blocking: a FIFO must not hang the program; it is refused just below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !isRegularFile(st) ||
        static_cast<unsigned long long>(st.st_size) > maxBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::string content;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > maxBytes) { // grew while being read
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);
    return content;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes,
                         std::optional<unsigned> requestedMode) {
    const std::string target = resolvedPath(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    // Only a regular file this user may write is replaced: the rename would otherwise get round
    // a read-only file, or put a file in place of a FIFO or a device.
    if (exists &&
        (!isRegularFile(old) || faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0))
        return false;
    std::string temp = folderOf(target) + "/." + nameOf(target) + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    const mode_t mode = requestedMode ? static_cast<mode_t>(*requestedMode)
                        : exists      ? (old.st_mode & 07777)
                                      : modeForNewFile();
    const bool written = fchmod(fd, mode) == 0 && writeAll(fd, bytes) && fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    syncFolder(folderOf(target));
    return true;
}

bool copyFileIfMissing(const std::string& source, const std::string& target) {
    const auto bytes = readFile(source);
    if (!bytes)
        return false;
    std::string temp = folderOf(target) + "/." + nameOf(target) + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written =
        fchmod(fd, modeForNewFile()) == 0 && writeAll(fd, *bytes) && fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    // link() never replaces: a file that appeared meanwhile is kept as it is.
    const bool linked = written && closed && ::link(temp.c_str(), target.c_str()) == 0;
    ::unlink(temp.c_str());
    if (linked)
        syncFolder(folderOf(target));
    return linked;
}

void ignoreFileSizeSignal() {
    std::signal(SIGXFSZ, SIG_IGN);
}

IniDocument loadDocument(const std::string& path) {
    return IniDocument::fromBytes(readFile(path).value_or(std::string()));
}

bool writeValuesLocked(const std::string& path, const std::vector<Valore>& valori) {
    removeStaleTemporaries(path);
    const auto existing = readFile(path);
    if (!existing && access(path.c_str(), F_OK) == 0)
        return false; // present but unreadable: rewriting it would lose what it holds
    auto doc = IniDocument::fromBytes(existing.value_or(std::string()));
    bool changed = false;
    for (const auto& v : valori)
        changed = doc.setValue(v.sezione, v.chiave, v.valore) || changed;
    // A file holding a transmitter's key is readable by its owner only, whatever it was before.
    const auto& chiave = chiavi::ChiaveSegreta;
    const bool segreto = !doc.value(chiave.sezione, chiave.nome, "").empty();
    return !changed ||
           writeFileAtomically(path, doc.toBytes(), segreto ? std::optional(0600u) : std::nullopt);
}

bool writeValueLocked(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view value) {
    return writeValuesLocked(path, {{std::string(section), std::string(key), std::string(value)}});
}

} // namespace pulsiero::ini

namespace pulsiero {

std::string LeggiIni(std::string_view section, std::string_view key, std::string_view fallback,
                     const std::string& path) {
    return ini::loadDocument(path).value(section, key, fallback);
}

bool ScriviIni(std::string_view section, std::string_view key, std::string_view value,
               const std::string& path) {
    const auto lock = ini::SettingsLock::acquire(path);
    return lock && ini::writeValueLocked(path, section, key, value);
}

bool ScriviIni(const std::vector<ini::Valore>& valori, const std::string& path) {
    const auto lock = ini::SettingsLock::acquire(path);
    return lock && ini::writeValuesLocked(path, valori);
}

} // namespace pulsiero
