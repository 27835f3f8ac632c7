#pragma once

#include <windows.h>

namespace pulsiero::win {

// The keyboard rules of the dialog's boxes. Enter moves the focus to the next box of the page
// (after the range fix-up of a numeric box); a numeric box takes digits and Backspace only,
// while Tab, Delete, Ctrl+A, Ctrl+Z and the clipboard keys keep working, and pasted text keeps
// only its digits. massimo is 0 for a box that takes any text.
void regoleCasella(HWND casella, HWND prossima, int massimo);

// Enter's fix-up: above the maximum becomes the maximum, then below 1 becomes 1 (so an empty
// box becomes "1").
void limita(HWND casella, int massimo);

} // namespace pulsiero::win
