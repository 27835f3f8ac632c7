#include "core/Impostazioni.h"

#include "core/Chiavi.h"
#include "core/FileSystem.h"
#include "core/IniFile.h"
#include "core/LenientNumber.h"
#include "core/TextEncoding.h"

namespace pulsiero {

namespace {

std::string leggi(const ini::IniDocument& doc, const Chiave& chiave) {
    return std::string(
        text::trimBlanks(doc.value(chiave.sezione, chiave.nome, chiave.predefinito)));
}

void leggiNumero(const ini::IniDocument& doc, const Chiave& chiave, std::int32_t& numero) {
    if (const auto letto = readInt32(leggi(doc, chiave)))
        numero = *letto;
}

} // namespace

Impostazioni::TestiPulsiero Impostazioni::carica(const std::string& path) {
    auto byte = file::leggiTutto(path, file::kLimiteImpostazioni);
    erroreLettura.clear();
    if (!byte && byte.errore().causa != file::Causa::Mancante)
        erroreLettura = file::messaggio(byte.errore());
    const auto doc = ini::IniDocument::fromBytes(byte ? std::move(*byte) : std::string());
    sezioneRipetuta = doc.repeatedSection().value_or(std::string());
    IndirizzoIP = leggi(doc, chiavi::Indirizzo);
    PortaIP = leggi(doc, chiavi::Porta);
    FileSuono = leggi(doc, chiavi::Suono);
    leggiNumero(doc, chiavi::IdPulsiero, NumeroTrasmettitore);
    leggiNumero(doc, chiavi::IdRicevitore, NumeroRicevitore);

    TestiPulsiero testi;
    testi.nome = leggi(doc, chiavi::Nome);
    for (std::size_t i = 0; i < testi.tasti.size(); ++i)
        testi.tasti[i] = leggi(doc, chiavi::Tasti[i]);
    return testi;
}

} // namespace pulsiero
