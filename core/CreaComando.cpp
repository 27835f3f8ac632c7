#include "core/CreaComando.h"

#include "core/Autenticazione.h"
#include "core/Chiavi.h"
#include "core/Frame.h"
#include "core/IniFile.h"
#include "core/LenientNumber.h"
#include "core/TextEncoding.h"

namespace pulsiero {

namespace {

// The wrap count that goes with the new step: it advances when the step wraps from 65535 to 1.
// The cause, in words, when the stored count is empty or not a decimal 0 to 65535, the step does
// not fit 16 bits, or the counter is used up (every step of every wrap count sent once: the key
// must be replaced).
std::variant<std::uint16_t, std::string> cicloDelPasso(std::string_view cicloLetto,
                                                       std::string_view passoLetto,
                                                       std::int32_t passo) {
    const std::string letto(cicloLetto);
    if (passo < 1 || passo > frame::kLastStep)
        return "il contatore dei passi non è valido";
    if (cicloLetto.empty())
        return "il contatore dei giri (Ciclo) è vuoto";
    const auto nonValido = "il contatore dei giri (Ciclo) «" + letto +
                           "» non è valido (serve un numero da 0 a 65535)";
    if (cicloLetto.size() > 5)
        return nonValido;
    std::uint32_t ciclo = 0;
    for (char c : cicloLetto) {
        if (c < '0' || c > '9')
            return nonValido;
        ciclo = ciclo * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (ciclo > autenticazione::kUltimoCiclo)
        return nonValido;
    const auto senzaGiro = roundToInt32(numericValue(text::trimBlanks(passoLetto)) + 1.0);
    if (senzaGiro && *senzaGiro > frame::kLastStep) {
        if (ciclo == autenticazione::kUltimoCiclo)
            return "il contatore è esaurito: ogni passo di ogni giro è stato inviato, occorre "
                   "una nuova chiave";
        ++ciclo;
    }
    return static_cast<std::uint16_t>(ciclo);
}

// The settings file as it stands; a file that is missing reads as empty, one that is there but
// cannot be read (a folder, a FIFO, too big, no permission) is the cause of the failure.
file::Esito<ini::IniDocument> leggiDocumento(const std::string& percorsoIni) {
    auto byte = file::leggiTutto(percorsoIni, file::kLimiteImpostazioni);
    if (!byte && byte.errore().causa != file::Causa::Mancante)
        return byte.errore();
    return ini::IniDocument::fromBytes(byte ? std::move(*byte) : std::string());
}

ErroreComando erroreContatore(const std::string& percorsoIni, const std::string& causa) {
    return ErroreComando{ErroreComando::Contatore, percorsoIni + ": " + causa};
}

} // namespace

std::variant<std::string, ErroreComando> PreparaComando(std::int16_t tasto,
                                                        const Impostazioni& impostazioni,
                                                        const std::string& percorsoIni,
                                                        const Momento& momento) {
    const auto lock = ini::bloccaImpostazioni(percorsoIni);
    if (!lock)
        return ErroreComando{ErroreComando::Contatore, file::messaggio(lock.errore())};
    const auto letto = leggiDocumento(percorsoIni);
    if (!letto)
        return ErroreComando{ErroreComando::Contatore, file::messaggio(letto.errore())};
    const auto& documento = *letto;
    const auto leggi = [&documento](const Chiave& c) {
        return documento.value(c.sezione, c.nome, c.predefinito);
    };
    // A key that does not read is never ignored: the frame would go out unauthenticated.
    const std::string testoChiave = leggi(chiavi::ChiaveSegreta);
    std::optional<autenticazione::Chiave> chiave;
    if (!testoChiave.empty() && !(chiave = autenticazione::leggiChiave(testoChiave)))
        return ErroreComando{ErroreComando::Chiave, {}};

    const auto& passo = chiavi::Passo;
    const std::string passoLetto = leggi(passo);
    const auto step = frame::nextStep(passoLetto);
    if (!step)
        return erroreContatore(percorsoIni, "il contatore dei passi «" + passoLetto +
                                                "» non è valido");
    auto comando = frame::build({impostazioni.NumeroRicevitore, impostazioni.NumeroTrasmettitore,
                                 tasto, momento.minutoDelGiorno, momento.casuale, *step});
    if (!comando)
        return ErroreComando{};
    std::vector<ini::Valore> valori{
        {std::string(passo.sezione), std::string(passo.nome), std::to_string(*step)}};
    if (chiave) {
        const auto ciclo = cicloDelPasso(leggi(chiavi::Ciclo), passoLetto, *step);
        if (const auto* causa = std::get_if<std::string>(&ciclo))
            return erroreContatore(percorsoIni, *causa);
        const auto giro = std::get<std::uint16_t>(ciclo);
        if (!(comando = autenticazione::tramaAutenticata(*comando, giro, *chiave)))
            return ErroreComando{};
        valori.push_back({std::string(chiavi::Ciclo.sezione), std::string(chiavi::Ciclo.nome),
                          std::to_string(giro)});
    }
    // The counter is stored before anything is sent: a press that fails to arrive still uses
    // its step, so the receiver never sees one step twice. Step and wrap count go in one write.
    if (const auto salvato = ini::writeValuesLocked(percorsoIni, valori); !salvato)
        return ErroreComando{ErroreComando::Contatore, file::messaggio(salvato.errore())};
    return std::move(*comando);
}

bool AzzeraPasso(const std::string& percorsoIni) {
    const auto lock = ini::bloccaImpostazioni(percorsoIni);
    if (!lock)
        return false;
    const auto documento = ini::loadDocument(percorsoIni);
    const auto leggi = [&documento](const Chiave& c) {
        return documento.value(c.sezione, c.nome, c.predefinito);
    };
    std::vector<ini::Valore> valori{
        {std::string(chiavi::Passo.sezione), std::string(chiavi::Passo.nome), "0"}};
    if (!leggi(chiavi::ChiaveSegreta).empty()) {
        // The step that follows 65535 under the same wrap count is 1 of the next one: asking for
        // it advances the count exactly as a wrap does.
        const auto ciclo = cicloDelPasso(leggi(chiavi::Ciclo), "65535", 1);
        if (!std::holds_alternative<std::uint16_t>(ciclo))
            return false;
        valori.push_back({std::string(chiavi::Ciclo.sezione), std::string(chiavi::Ciclo.nome),
                          std::to_string(std::get<std::uint16_t>(ciclo))});
    }
    return static_cast<bool>(ini::writeValuesLocked(percorsoIni, valori));
}

std::optional<std::string> CreaComando(std::int16_t tasto, const Impostazioni& impostazioni,
                                       const std::string& percorsoIni, const Momento& momento) {
    auto esito = PreparaComando(tasto, impostazioni, percorsoIni, momento);
    if (auto* comando = std::get_if<std::string>(&esito))
        return std::move(*comando);
    return std::nullopt;
}

} // namespace pulsiero
