#pragma once

#include <string>

namespace pulsiero::win {

// Exit statuses of --tasto.
inline constexpr int kConsegnato = 0;
inline constexpr int kNonConsegnato = 1;
inline constexpr int kNienteInviato = 2;

// One key press from the command line, exactly as a click sends it; its messages go to the
// standard error, one line each. The exit status.
int premiTasto(int indice, const std::wstring& percorsoIni);

} // namespace pulsiero::win
