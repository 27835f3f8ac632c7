#include "core/FileSystem.h"
#include "qt/app/Finestra.h"
#include "qt/app/RigaDiComando.h"

int main(int argc, char** argv) {
    pulsiero::file::ignoraSegnaleDimensione();
    using pulsiero::RigaDiComando;
    // Help, version, a bad option and --tasto need no display: no window, no tray icon, and
    // none of the libraries behind them.
    if (const auto riga = RigaDiComando::leggi(pulsiero::argomentiDelProcesso(argc, argv), true);
        riga.azione != RigaDiComando::Azione::Finestra)
        return pulsiero::eseguiSenzaFinestra(riga, argc, argv);
    return pulsiero::eseguiFinestra(argc, argv);
}
