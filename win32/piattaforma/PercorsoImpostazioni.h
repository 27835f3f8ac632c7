#pragma once

#include <string>

namespace pulsiero::win {

// Which settings file this program uses, in this order:
// - the file beside the executable, named after it without its extension ("Pulsiero.exe" gives
//   "Pulsiero.ini"), when this user may replace it (it is not read-only, may be opened for
//   writing, and its folder takes new files): a portable folder, as the program always had. A
//   folder that takes new files and holds no settings file yet starts one there too, unless the
//   user's own file already exists;
// - otherwise the user's own "pulsiero.ini" in %APPDATA%\Pulsiero. While that file does not exist
//   yet, a file beside the executable that can be read but not replaced (settings an
//   administrator put beside an installed program) is what it starts as, byte for byte.
// A file named on the command line (--impostazioni) comes before both; the caller handles that.
struct SceltaImpostazioni {
    std::wstring percorso;
    std::wstring seme; // the file to copy to percorso before first use; empty for none
};

// The choice alone, for the given executable and user folder: nothing is created or copied.
SceltaImpostazioni scegliImpostazioni(const std::wstring& eseguibile,
                                      const std::wstring& cartellaUtente);
// For this program: its own executable and %APPDATA%\Pulsiero.
SceltaImpostazioni scegliImpostazioni();

// The file chosen, with the user's folder created and the user's file seeded when so chosen.
std::wstring percorsoImpostazioni(const SceltaImpostazioni& scelta);
std::wstring percorsoImpostazioni();

} // namespace pulsiero::win
