#include "core/VoceAvvioAutomatico.h"

namespace pulsiero {

bool cambiaAvvioAutomatico(const VoceAvvioAutomatico& voce, bool attiva,
                           const std::function<void(bool)>& spunta) {
    if (voce.LeggiAvvioAuto() == attiva)
        return true;
    if (!(attiva ? voce.scrivi() : voce.elimina()))
        return false;
    spunta(attiva);
    return true;
}

} // namespace pulsiero
