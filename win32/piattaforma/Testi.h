#pragma once

#include <windows.h>

#include <string>

namespace pulsiero::win {

// A string of the program's resources (all user-facing text lives there); empty when missing.
std::wstring Testo(UINT id);

// Testo(id) with each "%1", "%2"... replaced by the argument of that number.
std::wstring Testo(UINT id, const std::wstring& primo, const std::wstring& secondo = {});

} // namespace pulsiero::win
