#pragma once

#include "win32/piattaforma/Avviso.h"

#include <windows.h>

#include <string>

namespace pulsiero::win {

// The program's message boxes: modal to the window they belong to and brought to the front.
namespace Messaggi {

void mostra(HWND proprietaria, const Avviso& avviso);
// Yes / No with a question icon; true for Yes.
bool domanda(HWND proprietaria, const std::wstring& titolo, const std::wstring& testo);

} // namespace Messaggi

} // namespace pulsiero::win
