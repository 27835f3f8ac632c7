#pragma once

#include <string>

namespace pulsiero::win {

// A Winsock error number with its description in Italian (Windows' own text for numbers the
// program has no words of its own for).
struct ErroreSocket {
    int numero = 0;
    std::wstring descrizione;
};

ErroreSocket erroreSocket(int numero);

} // namespace pulsiero::win
