#pragma once

#include <QString>

namespace pulsiero {

// The settings file: beside the executable and named after it ("pulsiero.ini" for "pulsiero").
// An installed program's folder is not the user's to write, so there the same name is used in
// the user's configuration folder instead: settings and the step counter must be storable.
QString percorsoImpostazioni();

// The rule itself, for a given executable and configuration folder.
QString percorsoImpostazioni(const QString& eseguibile, const QString& cartellaUtente);

} // namespace pulsiero
