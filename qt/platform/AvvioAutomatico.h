#pragma once

#include "core/VoceAvvioAutomatico.h"

#include <QString>
#include <QStringList>

namespace pulsiero {

// Starting the program at logon, through the user's XDG autostart entry: "<base>.desktop" for
// the usual settings file, a name of its own for each other one. The entry on disk is the only
// record of the state.
class AvvioAutomatico : public VoceAvvioAutomatico {
public:
    // The option of the entry's command line that tells the program it was started at logon, so
    // that it starts hidden behind its tray icon; a start from anywhere else shows the window.
    static inline const QString kOpzione = QStringLiteral("--avvio-automatico");

    // cartella is $XDG_CONFIG_HOME/autostart; eseguibile the program's absolute path, whose
    // file name names the entry; fileImpostazioni the settings file the entry is for, empty for
    // the usual one.
    AvvioAutomatico(const QString& cartella, const QString& eseguibile,
                    const QStringList& argomenti = {}, const QString& fileImpostazioni = {});

    // On when the entry exists with a non-empty Exec and is not disabled (Hidden=true or
    // X-GNOME-Autostart-enabled=false).
    bool LeggiAvvioAuto() const override;

    // Writes the entry; true when a fresh read then finds auto-start on.
    bool scrivi() const override;
    // Removes the entry; true when a fresh read then finds auto-start off.
    bool elimina() const override;
    // An entry that earlier versions wrote, which starts the program without kOpzione, is
    // written again with it, so that the next logon starts hidden as before; one they wrote for
    // another settings file under the usual name moves to that file's own name. Entries written
    // by anyone else are left alone.
    void aggiorna() const;

    QString percorsoVoce() const;

    static QString cartellaPredefinita();

private:
    QString cartella_;
    QString eseguibile_;
    QStringList argomenti_;
    QString fileImpostazioni_;
};

} // namespace pulsiero
