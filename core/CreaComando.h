#pragma once

#include "core/Impostazioni.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace pulsiero {

// The moment of a press: the local minute of the day and a random value 0 to 15.
struct Momento {
    std::int16_t minutoDelGiorno = 0;
    std::int32_t casuale = 0;
};

// The command frame for key index tasto (0 to 3). The step counter is read, advanced and stored
// under the settings lock, so two copies of the program never send the same step. nullopt when
// the counter cannot be advanced or stored, or the frame cannot be built: the stored counter is
// then unchanged and nothing may be sent.
std::optional<std::string> CreaComando(std::int16_t tasto, const Impostazioni& impostazioni,
                                       const std::string& percorsoIni, const Momento& momento);

// Why no frame was made: the step counter (or the wrap count) could not be advanced or stored,
// or the settings file holds a key that is not 64 hex digits. causa, when not empty, says what
// stood in the way, naming the file ("/x/pulsiero.ini: accesso negato").
struct ErroreComando {
    enum Tipo { Contatore, Chiave };
    Tipo tipo = Contatore;
    std::string causa;
    bool operator==(Tipo altro) const { return tipo == altro; }
};

// CreaComando, telling why it failed. With a key in the settings file the frame is authenticated
// and the wrap count advances, with the step, in one write.
std::variant<std::string, ErroreComando> PreparaComando(std::int16_t tasto,
                                                        const Impostazioni& impostazioni,
                                                        const std::string& percorsoIni,
                                                        const Momento& momento);

// Sets the step counter back to 0, the configuration dialog's reset. With a key in the file the
// wrap count advances by one in the same write, so the next frames carry counters the receiver
// has never seen (two consecutive presses resynchronise it) rather than ones it has. false when
// the file could not be written, or the wrap count is not 0 to 65534: the file is then unchanged.
bool AzzeraPasso(const std::string& percorsoIni);

} // namespace pulsiero
