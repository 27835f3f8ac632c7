#include "core/IniFile.h"

#include "core/Chiavi.h"

namespace pulsiero::ini {

namespace {

// A settings file reached through a symbolic link is locked beside its target, where it is
// written.
std::string lockPathOf(const std::string& settingsPath) {
    const std::string target = file::percorsoReale(settingsPath);
    return file::cartellaDi(target) + "/." + file::nomeDi(target) + ".lock";
}

} // namespace

file::Esito<file::Blocco> bloccaImpostazioni(const std::string& settingsPath) {
    // Readable by all: every user of a shared settings file must be able to take its lock.
    return file::Blocco::prendi(lockPathOf(settingsPath), file::kAttesaBlocco, 0644);
}

namespace {

bool holdsKey(const IniDocument& doc) {
    const auto& chiave = chiavi::ChiaveSegreta;
    return !doc.value(chiave.sezione, chiave.nome, "").empty();
}

} // namespace

file::Fatto copiaSeMancante(const std::string& source, const std::string& target) {
    const bool secret = holdsKey(loadDocument(source));
    return file::copiaSeManca(source, target, file::kLimiteImpostazioni,
                              {secret ? std::optional(0600u) : std::nullopt});
}

IniDocument loadDocument(const std::string& path) {
    auto bytes = file::leggiTutto(path, file::kLimiteImpostazioni);
    return IniDocument::fromBytes(bytes ? std::move(*bytes) : std::string());
}

file::Fatto writeValuesLocked(const std::string& path, const std::vector<Valore>& valori) {
    const auto existing = file::leggiTutto(path, file::kLimiteImpostazioni);
    if (!existing && existing.errore().causa != file::Causa::Mancante)
        return existing.errore();
    auto doc = IniDocument::fromBytes(existing ? *existing : std::string());
    bool changed = false;
    for (const auto& v : valori)
        changed = doc.setValue(v.sezione, v.chiave, v.valore) || changed;
    if (!changed)
        return {};
    // A file holding a transmitter's key is readable by its owner only, whatever it was before.
    return file::sostituisci(path, doc.toBytes(),
                             {holdsKey(doc) ? std::optional(0600u) : std::nullopt});
}

} // namespace pulsiero::ini

namespace pulsiero {

std::string LeggiIni(std::string_view section, std::string_view key, std::string_view fallback,
                     const std::string& path) {
    return ini::loadDocument(path).value(section, key, fallback);
}

bool ScriviIni(std::string_view section, std::string_view key, std::string_view value,
               const std::string& path) {
    return static_cast<bool>(
        ScriviIni({{std::string(section), std::string(key), std::string(value)}}, path));
}

file::Fatto ScriviIni(const std::vector<ini::Valore>& valori, const std::string& path) {
    const auto lock = ini::bloccaImpostazioni(path);
    if (!lock)
        return lock.errore();
    return ini::writeValuesLocked(path, valori);
}

} // namespace pulsiero
