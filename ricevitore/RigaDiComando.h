#pragma once

#include "ricevitore/ServerRicevitore.h"

#include <cstdint>
#include <string>
#include <variant>

namespace pulsiero::ricevitore {

struct RigaDiComando {
    enum class Azione { Ascolta, Abbina, Dimentica, Aiuto, Versione };
    Azione azione = Azione::Ascolta;
    std::int32_t pulsiero = 0; // of --abbina and --dimentica
    Opzioni opzioni;
};

// The command line through one table of options (getopt_long: "--porta 10100" and
// "--porta=10100" alike). Each option but --indirizzo may be given once. The options, or what is
// wrong with them (Italian, for the user).
std::variant<RigaDiComando, std::string> leggiRigaDiComando(int argc, char** argv);

extern const char* const kAiuto;

} // namespace pulsiero::ricevitore
