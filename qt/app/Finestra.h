#pragma once

#include <QString>

namespace pulsiero {

// The window lives in a module of its own, loaded only when a window is to be shown, so that a
// press from the command line never loads the widget, picture or multimedia libraries.
inline constexpr char kAvvioFinestra[] = "pulsiero_avviaFinestra";
using AvvioFinestra = int (*)(int argc, char** argv);

// Loads the window module and runs the window until the program ends; its exit status. A module
// that cannot be loaded is told on the standard error.
int eseguiFinestra(int argc, char** argv);

// Where the module is looked for: beside the executable (the build folder), then in the
// program's private library folder of an installed copy.
QStringList percorsiModuloFinestra(const QString& cartellaEseguibile);

} // namespace pulsiero
