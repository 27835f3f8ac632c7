#pragma once

#include "core/Autenticazione.h"
#include "core/FileSystem.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>

namespace pulsiero::ricevitore {

// The keys of the paired transmitters, "transmitter key-hex" per line. Read with the care of the
// state file (its folder opened once, no symbolic link, a regular file of ours), and refused when
// group or others may read or write it. Written only under the state lock, through a temporary
// file renamed over it.
class FileChiavi {
public:
    using Chiavi = std::map<std::int32_t, autenticazione::Chiave>;

    // The keys (none when the file does not exist), or a message naming the file and the reason.
    static std::variant<FileChiavi, std::string> apri(const std::string& percorso);

    FileChiavi(FileChiavi&& altro) noexcept;
    FileChiavi& operator=(FileChiavi&&) = delete;
    FileChiavi(const FileChiavi&) = delete;
    ~FileChiavi();

    const Chiavi& chiavi() const { return chiavi_; }
    // Durable replacement of the file with these keys (mode 0600); false on any failure.
    bool salva(const Chiavi& chiavi);
    const std::string& percorso() const { return percorso_; }

private:
    FileChiavi() = default;

    std::string percorso_;
    std::string nome_;
    std::optional<file::Cartella> cartella_;
    Chiavi chiavi_;
};

// The file's text: one line per transmitter, in order; blank lines and lines starting with '#'
// are skipped. The keys, or which line is wrong.
std::variant<FileChiavi::Chiavi, std::string> leggiChiavi(std::string_view testo);

} // namespace pulsiero::ricevitore
