#pragma once

#include <QString>
#include <QStringList>

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

} // namespace pulsiero
