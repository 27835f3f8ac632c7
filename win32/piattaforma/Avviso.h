#pragma once

#include <string>

namespace pulsiero::win {

// A message for the user in the program's own words: the windows show it in a message box, the
// command line prints it.
struct Avviso {
    enum class Tipo {
        Attenzione,   // exclamation icon
        Errore,       // stop icon
        Informazione, // information icon
    };
    Tipo tipo = Tipo::Attenzione;
    std::wstring titolo;
    std::wstring testo;
};

} // namespace pulsiero::win
