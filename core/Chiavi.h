#pragma once

#include <array>
#include <string_view>

namespace pulsiero {

// Every entry of the settings file, with the default a read falls back to. Receivers in the field
// and files written by earlier versions rely on these exact names.
struct Chiave {
    std::string_view sezione;
    std::string_view nome;
    std::string_view predefinito;
};

namespace chiavi {
inline constexpr Chiave Indirizzo{"Server", "Indirizzo", "127.0.0.1"};
inline constexpr Chiave Porta{"Server", "Porta", "100"};
inline constexpr Chiave Nome{"Pulsiero", "nome", ""};
// Read as "suono" and written as "Suono": names match without regard to case, so it is one key.
inline constexpr Chiave Suono{"Pulsiero", "suono", ""};
inline constexpr std::string_view SuonoScritto = "Suono";
inline constexpr Chiave IdPulsiero{"Pulsiero", "ID_Pul", "1"};
inline constexpr Chiave IdRicevitore{"Pulsiero", "ID_Dis", "1"};
inline constexpr std::array<Chiave, 4> Tasti{{{"Pulsiero", "t1", ""},
                                              {"Pulsiero", "t2", ""},
                                              {"Pulsiero", "t3", ""},
                                              {"Pulsiero", "t4", ""}}};
inline constexpr Chiave Passo{"Pulsiero", "Passo", "0"};
// The transmitter's 256-bit key, 64 hex digits; absent or empty sends unkeyed frames.
inline constexpr Chiave ChiaveSegreta{"Pulsiero", "Chiave", ""};
// How many times the step has wrapped from 65535 to 1 under the key, decimal 0 to 65535.
inline constexpr Chiave Ciclo{"Pulsiero", "Ciclo", "0"};
} // namespace chiavi

} // namespace pulsiero
