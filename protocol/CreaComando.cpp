#include "protocol/CreaComando.h"

#include "protocol/Frame.h"
#include "settings/Chiavi.h"
#include "settings/IniFile.h"

namespace pulsiero {

std::optional<std::string> CreaComando(std::int16_t tasto, const Impostazioni& impostazioni,
                                       const std::string& percorsoIni, const Momento& momento) {
    const auto lock = ini::SettingsLock::acquire(percorsoIni);
    if (!lock)
        return std::nullopt;
    const auto& passo = chiavi::Passo;
    const auto step = frame::nextStep(
        ini::loadDocument(percorsoIni).value(passo.sezione, passo.nome, passo.predefinito));
    if (!step)
        return std::nullopt;
    auto comando = frame::build({impostazioni.NumeroRicevitore, impostazioni.NumeroTrasmettitore,
                                 tasto, momento.minutoDelGiorno, momento.casuale, *step});
    if (!comando)
        return std::nullopt;
    // The counter is stored before anything is sent: a press that fails to arrive still uses
    // its step, so the receiver never sees one step twice.
    if (!ini::writeValueLocked(percorsoIni, passo.sezione, passo.nome, std::to_string(*step)))
        return std::nullopt;
    return comando;
}

} // namespace pulsiero
