#pragma once

#include "core/Impostazioni.h"
#include "qt/platform/Avviso.h"

#include <QObject>
#include <QString>

namespace pulsiero {

// The loaded settings of this run and the file they come from.
class Configurazione : public QObject {
    Q_OBJECT
public:
    explicit Configurazione(const QString& percorso, QObject* parent = nullptr);

    const Impostazioni& impostazioni() const { return impostazioni_; }
    const QString& percorso() const { return percorso_; }
    const std::string& percorsoFile() const { return percorsoFile_; }
    // Whether this user could save the file now: a regular file this user may write, or none
    // yet, in a folder this user may write (the file is replaced through a new one there).
    bool scrivibile() const;

    // Reloads every setting; the window takes the name and key descriptions from caricata().
    // With avviso it ends by confirming that communication has been initialised.
    void CaricaConfigurazione(bool avviso);

signals:
    void caricata(const pulsiero::Impostazioni::TestiPulsiero& testi);
    void messaggio(const pulsiero::Avviso& avviso);

private:
    QString percorso_;
    std::string percorsoFile_;
    Impostazioni impostazioni_;
    bool sezioneRipetutaDetta_ = false;
    std::string erroreLetturaDetto_;
};

} // namespace pulsiero
