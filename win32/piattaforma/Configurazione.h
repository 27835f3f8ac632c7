#pragma once

#include "core/Impostazioni.h"
#include "win32/piattaforma/Avviso.h"

#include <functional>
#include <string>

namespace pulsiero::win {

// The loaded settings of this run and the file they come from.
class Configurazione {
public:
    using Caricata = std::function<void(const Impostazioni::TestiPulsiero&)>;
    using Messaggio = std::function<void(const Avviso&)>;

    explicit Configurazione(std::wstring percorso);

    const Impostazioni& impostazioni() const { return impostazioni_; }
    const std::wstring& percorso() const { return percorso_; }
    // The same path in UTF-8, as the core takes it.
    const std::string& percorsoFile() const { return percorsoFile_; }

    void quandoCaricata(Caricata f) { caricata_ = std::move(f); }
    void quandoMessaggio(Messaggio f) { messaggio_ = std::move(f); }

    // Reloads every setting and hands the name and key descriptions to the window. With avviso
    // it ends by confirming that communication has been initialised.
    void CaricaConfigurazione(bool avviso);

private:
    std::wstring percorso_;
    std::string percorsoFile_;
    Impostazioni impostazioni_;
    Caricata caricata_;
    Messaggio messaggio_;
};

} // namespace pulsiero::win
