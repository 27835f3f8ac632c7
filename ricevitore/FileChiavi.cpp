#include "ricevitore/FileChiavi.h"

#include "ricevitore/FileStato.h"

#include <sodium.h>

namespace pulsiero::ricevitore {

std::variant<FileChiavi::Chiavi, std::string> leggiChiavi(std::string_view testo) {
    FileChiavi::Chiavi chiavi;
    std::size_t numero = 0;
    while (!testo.empty()) {
        const auto fine = std::min(testo.find('\n'), testo.size());
        const auto riga = testo.substr(0, fine);
        testo.remove_prefix(std::min(fine + 1, testo.size()));
        ++numero;
        if (riga.find_first_not_of(" \t\r") == std::string_view::npos ||
            riga[riga.find_first_not_of(" \t\r")] == '#')
            continue;
        const auto letta = autenticazione::leggiRigaChiavi(riga);
        if (!letta || letta->trasmettitore < 1 || letta->trasmettitore > 128 ||
            chiavi.count(letta->trasmettitore))
            return "riga " + std::to_string(numero) + " non valida";
        chiavi[letta->trasmettitore] = letta->chiave;
    }
    return chiavi;
}

FileChiavi::FileChiavi(FileChiavi&& altro) noexcept
    : percorso_(std::move(altro.percorso_)), nome_(std::move(altro.nome_)),
      cartella_(std::move(altro.cartella_)), chiavi_(std::move(altro.chiavi_)) {}

FileChiavi::~FileChiavi() {
    for (auto& [numero, chiave] : chiavi_)
        sodium_memzero(chiave.data(), chiave.size());
}

std::variant<FileChiavi, std::string> FileChiavi::apri(const std::string& percorso) {
    FileChiavi f;
    f.percorso_ = percorso;
    const auto barra = percorso.rfind('/');
    f.nome_ = barra == std::string::npos ? percorso : percorso.substr(barra + 1);
    if (f.nome_.empty() || f.nome_ == "." || f.nome_ == "..")
        return percorso + ": non è il nome di un file";
    auto cartella = apriCartellaNostra(cartellaDi(percorso), "delle chiavi");
    if (auto* problema = std::get_if<std::string>(&cartella))
        return *problema;
    f.cartella_.emplace(std::move(std::get<file::Cartella>(cartella)));
    auto letto = leggiFileNostro(*f.cartella_, f.nome_, percorso, "il file delle chiavi", true);
    if (auto* problema = std::get_if<std::string>(&letto))
        return *problema;
    if (const auto& testo = std::get<std::optional<std::string>>(letto)) {
        auto chiavi = leggiChiavi(*testo);
        if (auto* problema = std::get_if<std::string>(&chiavi))
            return percorso + ": file delle chiavi non valido: " + *problema;
        f.chiavi_ = std::move(std::get<Chiavi>(chiavi));
    }
    return f;
}

bool FileChiavi::salva(const Chiavi& chiavi) {
    std::string testo;
    for (const auto& [numero, chiave] : chiavi)
        testo += autenticazione::scriviRigaChiavi(numero, chiave) + "\n";
    const bool salvato = sostituisci(*cartella_, nome_, testo);
    sodium_memzero(testo.data(), testo.size());
    if (salvato)
        chiavi_ = chiavi;
    return salvato;
}

} // namespace pulsiero::ricevitore
