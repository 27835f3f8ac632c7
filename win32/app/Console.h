#pragma once

#include <string>

namespace pulsiero::win {

// Text for the console the program was started from, or for its redirected output. A window
// program has no console of its own: it borrows its parent's, or writes nowhere.
void scriviOutput(const std::wstring& testo);
void scriviErrore(const std::wstring& testo);

} // namespace pulsiero::win
