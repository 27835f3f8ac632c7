#pragma once

#include "core/EsitoTasto.h"

#include <QString>

namespace pulsiero {

// One press of key index 0 to 3 with the settings in percorsoIni, through the same frame, lock,
// counter and delivery as the window. Every message goes to the standard error as one line, in
// the words of the window's message boxes. Needs a QCoreApplication.
int premiTasto(int indice, const QString& percorsoIni);

} // namespace pulsiero
