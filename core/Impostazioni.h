#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pulsiero {

// The settings as last loaded from the file; only Impostazioni::carica writes them.
struct Impostazioni {
    std::string IndirizzoIP;
    std::string PortaIP;
    std::string FileSuono;
    std::int32_t NumeroTrasmettitore = 0;
    std::int32_t NumeroRicevitore = 0;
    // A section the file holds twice (only its first part is read), as written; empty for none.
    std::string sezioneRipetuta;
    // Why the file that is there could not be read (a folder, a FIFO, too big, no permission),
    // naming it; empty when it was read or is missing. The defaults stand meanwhile.
    std::string erroreLettura;

    // What the file says about the transmitter's picture: its name and the four key
    // descriptions, each trimmed; the window shows them.
    struct TestiPulsiero {
        std::string nome;
        std::array<std::string, 4> tasti;
    };

    // Loads every setting from the file at path. A number that does not fit 32 bits leaves its
    // old value; a missing file gives the defaults and is not created.
    TestiPulsiero carica(const std::string& path);
};

} // namespace pulsiero
