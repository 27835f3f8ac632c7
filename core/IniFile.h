#pragma once

#include "core/FileSystem.h"
#include "core/IniDocument.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pulsiero::ini {

// The exclusive lock shared by every copy of the program that uses one settings file, so that a
// read-change-write of the file is never interleaved with another's. The lock is a hidden file
// beside the settings file (which is itself replaced on every write). It is waited for about
// two seconds at most: a lock held longer, or anything but a regular file in its place, fails.
file::Esito<file::Blocco> bloccaImpostazioni(const std::string& settingsPath);

// Creates target as a copy of the settings file source, unless it exists already. A copy that
// holds a key is readable by its owner only from the start.
file::Fatto copiaSeMancante(const std::string& source, const std::string& target);

// A missing or unreadable file reads as an empty document.
IniDocument loadDocument(const std::string& path);

struct Valore {
    std::string sezione;
    std::string chiave;
    std::string valore;
};

// Sets values, in order, in one write, with the caller already holding the file's lock. A file
// that is there but cannot be read is never rewritten: what it holds would be lost.
file::Fatto writeValuesLocked(const std::string& path, const std::vector<Valore>& valori);

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
// Why not, when the file could not be written: the lock, the file or its folder, in words.
file::Fatto ScriviIni(const std::vector<ini::Valore>& valori, const std::string& path);

} // namespace pulsiero
