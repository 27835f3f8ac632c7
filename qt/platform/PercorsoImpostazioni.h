#pragma once

#include <QString>

namespace pulsiero {

// Which settings file this program uses, in this order:
// - a file beside the executable, named after it without its extension ("Pulsiero.exe" and
//   "pulsiero" give "Pulsiero.ini" and "pulsiero.ini"), when it exists and this user may replace
//   it (the file and its folder are writable): portable copies and files brought over from
//   Windows keep working;
// - otherwise the user's own "pulsiero.ini" in the configuration folder. While that file does
//   not exist yet, a file beside the executable that this user can read but not replace (an
//   administrator's pre-filled settings) is what it starts as, byte for byte.
// A file named on the command line comes before both; the caller handles that.
struct SceltaImpostazioni {
    QString percorso;
    QString seme; // the file to copy to percorso before first use; empty for none
};

// The choice alone: nothing is created or copied.
SceltaImpostazioni scegliImpostazioni(const QString& eseguibile, const QString& cartellaUtente);
// For this program: its executable and $XDG_CONFIG_HOME/pulsiero. Shown to the user (--help).
SceltaImpostazioni scegliImpostazioni();

// The file to use, with the user's folder created and the user's file seeded when so chosen.
QString percorsoImpostazioni(const QString& eseguibile, const QString& cartellaUtente);
QString percorsoImpostazioni();

} // namespace pulsiero
