#pragma once

#include <QString>
#include <QStringList>

namespace pulsiero {

// Starting the program at logon, through the user's XDG autostart entry "<base>.desktop".
// The entry on disk is the only record of the state.
class AvvioAutomatico {
public:
    // cartella is $XDG_CONFIG_HOME/autostart; eseguibile the program's absolute path, whose
    // file name names the entry.
    AvvioAutomatico(const QString& cartella, const QString& eseguibile,
                    const QStringList& argomenti = {});

    // On when the entry exists with a non-empty Exec and is not disabled (Hidden=true or
    // X-GNOME-Autostart-enabled=false).
    bool LeggiAvvioAuto() const;

    // Writes the entry; true when a fresh read then finds auto-start on.
    bool scrivi() const;
    // Removes the entry; true when a fresh read then finds auto-start off.
    bool elimina() const;

    QString percorsoVoce() const;

    static QString cartellaPredefinita();

private:
    QString cartella_;
    QString eseguibile_;
    QStringList argomenti_;
};

} // namespace pulsiero
