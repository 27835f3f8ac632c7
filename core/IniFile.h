#pragma once

#include "core/IniDocument.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pulsiero::ini {

// Holds an exclusive lock shared by every copy of the program that uses one settings file, so
// that a read-change-write of the file is never interleaved with another's. The lock is a hidden
// file beside the settings file: the settings file itself is replaced on every write.
class SettingsLock {
public:
    static std::optional<SettingsLock> acquire(const std::string& settingsPath);
    SettingsLock(SettingsLock&& other) noexcept;
    SettingsLock& operator=(SettingsLock&&) = delete;
    SettingsLock(const SettingsLock&) = delete;
    ~SettingsLock();

private:
    explicit SettingsLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// The largest settings file read: anything bigger is not one.
inline constexpr std::size_t kMaxFileBytes = 1024 * 1024;

// The file's whole content; nullopt when it does not exist or cannot be read, and for anything
// but a regular file of at most maxBytes (a FIFO, a device such as /dev/zero).
std::optional<std::string> readFile(const std::string& path, std::size_t maxBytes = kMaxFileBytes);

// Replaces the file with bytes through a temporary file in the same folder, flushed to disk and
// renamed over it: a crash or a full disk leaves the old file or the new one, never a part.
// mode, when given, replaces the file's permissions; otherwise an existing file keeps its own.
// An existing file that this user may not write, or that is not a regular file, is never
// replaced: false.
bool writeFileAtomically(const std::string& path, std::string_view bytes,
                         std::optional<unsigned> mode = std::nullopt);

// Creates target as a byte copy of source, with a new file's ordinary permissions; false when
// source cannot be read or target exists already (it is then left as it is).
bool copyFileIfMissing(const std::string& source, const std::string& target);

// A write beyond the file-size limit (RLIMIT_FSIZE) then fails like any other instead of
// killing the process with SIGXFSZ. Called first thing by the programs.
void ignoreFileSizeSignal();

// A missing or unreadable file reads as an empty document.
IniDocument loadDocument(const std::string& path);

struct Valore {
    std::string sezione;
    std::string chiave;
    std::string valore;
};

// Sets values, in order, in one write, with the caller already holding the file's SettingsLock.
bool writeValuesLocked(const std::string& path, const std::vector<Valore>& valori);
bool writeValueLocked(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view value);

} // namespace pulsiero::ini

namespace pulsiero {

// One value of the settings file, or fallback when the file, the section or the key is missing.
// Never creates the file.
std::string LeggiIni(std::string_view section, std::string_view key, std::string_view fallback,
                     const std::string& path);

// Stores one value, creating the file, the section and the key as needed; false when the file
// could not be written, in which case it is left as it was.
bool ScriviIni(std::string_view section, std::string_view key, std::string_view value,
               const std::string& path);

// Stores several values in one write: the file ends up holding all of them or none.
bool ScriviIni(const std::vector<ini::Valore>& valori, const std::string& path);

} // namespace pulsiero
