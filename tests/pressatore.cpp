// Presses key 3 (index 2) a given number of times on a settings file and prints each frame on
// a line: a second copy of the program, for the tests of copies that share one file.
#include "core/CreaComando.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "uso: pressatore FILE.ini PRESSIONI\n");
        return 2;
    }
    pulsiero::Impostazioni imp;
    imp.NumeroRicevitore = 12345;
    imp.NumeroTrasmettitore = 7;
    const int presses = std::atoi(argv[2]);
    for (int i = 0; i < presses; ++i) {
        const auto frame = pulsiero::CreaComando(2, imp, argv[1], pulsiero::Momento{});
        std::printf("%s\n", frame ? frame->c_str() : "-");
        std::fflush(stdout);
    }
    return 0;
}
