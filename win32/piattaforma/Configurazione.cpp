#include "win32/piattaforma/Configurazione.h"

#include "win32/piattaforma/Testi.h"
#include "win32/piattaforma/Utf16.h"
#include "win32/risorse/risorse.h"

namespace pulsiero::win {

Configurazione::Configurazione(std::wstring percorso)
    : percorso_(std::move(percorso)), percorsoFile_(utf8(percorso_)) {}

void Configurazione::CaricaConfigurazione(bool avviso) {
    const auto testi = impostazioni_.carica(percorsoFile_);
    if (caricata_)
        caricata_(testi);
    if (avviso && messaggio_)
        messaggio_({Avviso::Tipo::Informazione, Testo(IDS_TITOLO_INIT_COM), Testo(IDS_INIT_COM)});
}

} // namespace pulsiero::win
