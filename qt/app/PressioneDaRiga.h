#pragma once

#include <QString>

namespace pulsiero {

// Exit statuses of one press from the command line.
enum StatoUscita : int {
    kConsegnato = 0,    // the frame reached the receiver
    kNonConsegnato = 1, // a connection problem
    kNienteInviato = 2, // the counter could not be stored, the settings or the options are wrong
};

// One press of key index 0 to 3 with the settings in percorsoIni, through the same frame, lock,
// counter and delivery as the window. Every message goes to the standard error as one line, in
// the words of the window's message boxes. Needs a QCoreApplication.
int premiTasto(int indice, const QString& percorsoIni);

} // namespace pulsiero
