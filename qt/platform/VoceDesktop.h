#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace pulsiero {

// An executable's path as the Exec key of a desktop entry wants it: quoted and escaped by the
// Desktop Entry rules when it holds reserved characters, with "%" doubled.
QString execDesktop(const QString& eseguibile);
// The whole Exec value: the executable and its arguments, each quoted on its own where needed.
QString execDesktop(const QString& eseguibile, const QStringList& argomenti);

// The program's icon for a desktop entry: the SVG beside the executable, by its absolute path,
// when the program runs from its build folder; otherwise the installed icon theme's name.
QString iconaProgramma(const QString& eseguibile);

// The text of a desktop entry that starts the executable with the arguments.
QString voceDesktop(const QString& nome, const QString& eseguibile, const QStringList& argomenti,
                    const QString& icona, const QString& commento);

// The Exec value of an entry's main group exactly as written, quotes included; empty for none.
QString execDellaVoce(const QString& testo);

// The four keys as desktop actions, each a press with `--tasto N` and the same arguments: the
// "Actions" key that ends the entry's main group, then one group per key, named "Tasto N" and
// the key's description.
QString azioniTasti(const QString& eseguibile, const QStringList& argomenti,
                    const std::array<QString, 4>& descrizioni);

// What tells apart the entries of several settings files, added to the entries' usual names:
// empty for the usual settings file (fileImpostazioni empty), whose entries keep the names they
// always had; otherwise "-", the file's base name and eight hex digits of its absolute path, the
// same at every start and different for two files of one name in two folders.
QString distintivoVoci(const QString& fileImpostazioni);
// The name an entry shows: "Pulsiero" for the usual file, "Pulsiero (garage)" for garage.ini.
QString nomeVisibile(const QString& nome, const QString& fileImpostazioni);

// Writes an entry in place of whatever is at percorso. A symbolic link there is replaced itself:
// its target, perhaps another program's entry or a file elsewhere, is never written.
bool scriviVoce(const QString& percorso, const QString& testo,
                std::optional<unsigned> modo = std::nullopt);

} // namespace pulsiero
