#pragma once

#include <string>

namespace pulsiero::win {

// The sound file's path: a relative name is taken from the executable's folder.
std::wstring percorsoSuono(const std::wstring& fileSuono, const std::wstring& cartellaEseguibile);

// Plays the key sound in the background; nothing when the name is empty or the file cannot be
// played (no default sound either).
void suonaTasto(const std::string& fileSuono);

} // namespace pulsiero::win
