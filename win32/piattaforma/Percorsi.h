#pragma once

#include <string>

namespace pulsiero::win {

// The running executable: its full path, its folder and its name without folder or extension.
std::wstring percorsoEseguibile();
std::wstring cartellaEseguibile();
std::wstring nomeBaseEseguibile();

// The path made absolute against the working folder.
std::wstring percorsoAssoluto(const std::wstring& percorso);

} // namespace pulsiero::win
