#pragma once

#include "core/EsitoTasto.h"

#include <string>

namespace pulsiero::win {

// One key press from the command line, exactly as a click sends it; its messages go to the
// standard error, one line each. The exit status.
int premiTasto(int indice, const std::wstring& percorsoIni);

} // namespace pulsiero::win
