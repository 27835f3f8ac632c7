#pragma once

#include <string>
#include <vector>

namespace pulsiero::win {

// What the command line asks for. Without options the program shows its window.
struct RigaDiComando {
    enum class Azione { Finestra, Tasto, Aiuto, Versione, Errore };

    Azione azione = Azione::Finestra;
    int tasto = 0;             // 1 to 4, with Azione::Tasto
    std::wstring impostazioni; // absolute path given with --impostazioni, empty for the usual
    std::wstring errore;       // with Azione::Errore, what is wrong, in Italian

    // The arguments after the program's name.
    static RigaDiComando leggi(const std::vector<std::wstring>& argomenti);

    // The options the auto-start entry and the shortcut repeat: the settings file given.
    std::wstring argomentiDelleVoci() const;
};

// The process's arguments after the program's name.
std::vector<std::wstring> argomentiDelProcesso();

} // namespace pulsiero::win
