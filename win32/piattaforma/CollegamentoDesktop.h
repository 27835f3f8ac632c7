#pragma once

#include <string>

namespace pulsiero::win {

// The shortcut "Pulsiero.lnk" in a folder (the user's desktop), starting the executable with
// its options. A shortcut of that name that starts another program is never replaced or removed.
class CollegamentoDesktop {
public:
    CollegamentoDesktop(std::wstring cartella, std::wstring eseguibile, std::wstring argomenti);

    // The user's desktop folder; empty when the system has none.
    static std::wstring cartellaPredefinita();

    std::wstring percorso() const { return cartella_ + L"\\Pulsiero.lnk"; }
    bool crea() const;
    bool elimina() const;

private:
    bool altrui() const;

    std::wstring cartella_;
    std::wstring eseguibile_;
    std::wstring argomenti_;
};

} // namespace pulsiero::win
