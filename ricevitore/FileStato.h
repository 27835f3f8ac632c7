#pragma once

#include "core/CodiceVariabile.h"
#include "core/FileSystem.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace pulsiero::ricevitore {

// The receiver's state file, held for the whole run. Opening it creates the missing folders,
// refuses a folder that another user owns or that others may write without the sticky bit,
// takes an exclusive lock beside the file (a second copy on the same state refuses to start),
// and reads the file without following a symbolic link. Every later write goes through a
// temporary file in the same folder, renamed over the state, relative to the folder opened once.
class FileStato {
public:
    // The open state, or a message for the user naming the file and the reason.
    static std::variant<FileStato, std::string> apri(const std::string& percorso);

    FileStato(FileStato&& altro) noexcept = default;
    FileStato& operator=(FileStato&&) = delete;
    FileStato(const FileStato&) = delete;

    // nullopt: there was no state file yet (a first start).
    const std::optional<rolling::State>& letto() const { return letto_; }

    // Durable replacement of the file; false on any failure (full disk, size limit...).
    bool salva(std::string_view testo) const;
    const std::string& percorso() const { return percorso_; }

private:
    FileStato() = default;
    std::optional<std::string> apriCartella(const std::string& cartella);
    std::optional<std::string> prendiBlocco(const std::string& cartella);
    std::optional<std::string> leggi();

    std::string percorso_;
    std::string nome_;
    std::optional<file::Cartella> cartella_;
    std::optional<file::Blocco> blocco_;
    std::optional<rolling::State> letto_;
};

// Shared with the keys file.
std::string cartellaDi(const std::string& percorso);
// Opens a folder, creating what is missing (0700); refuses one that another user owns or that
// others may write without the sticky bit. The descriptor, or a message ("di": "dello stato").
std::variant<file::Cartella, std::string> apriCartellaNostra(const std::string& cartella,
                                                             const std::string& di);
// Reads a regular file of ours in the folder, never through a symbolic link; with privato, also
// refuses one that group or others may read or write. nullopt text: no such file.
std::variant<std::optional<std::string>, std::string>
leggiFileNostro(const file::Cartella& cartella, const std::string& nome,
                const std::string& percorso, const std::string& soggetto, bool privato);
// Durable replacement through a temporary file (0600) renamed over the name; false on failure,
// with errno telling why.
bool sostituisci(const file::Cartella& cartella, const std::string& nome, std::string_view testo);

} // namespace pulsiero::ricevitore
