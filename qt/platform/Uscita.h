#pragma once

#include <functional>

namespace pulsiero {

class IconaTray;
class Trasmettitore;

// The program's one way out, shared by the menus and by every close request of the window.
class Uscita {
public:
    using Terminazione = std::function<void(int codice)>;

    Uscita(IconaTray& tray, Trasmettitore& trasmettitore);

    // Removes the icon, closes a connected socket and ends the program at once, without
    // asking and without running any further handler.
    void FineProgramma();

    // Tests replace ending the process with something they can observe.
    void impostaTerminazione(Terminazione terminazione) { termina_ = std::move(terminazione); }

private:
    IconaTray& tray_;
    Trasmettitore& trasmettitore_;
    Terminazione termina_;
};

} // namespace pulsiero
