#pragma once

#include <QMetaType>
#include <QString>

namespace pulsiero {

// A message for the user in the program's own words. The layers below the windows only say
// what happened; the windows show it in a message box and the command line prints it.
struct Avviso {
    enum class Tipo {
        Attenzione,   // exclamation icon
        Errore,       // stop icon
        Informazione, // information icon
    };
    Tipo tipo = Tipo::Attenzione;
    QString titolo;
    QString testo;
};

} // namespace pulsiero

Q_DECLARE_METATYPE(pulsiero::Avviso)
