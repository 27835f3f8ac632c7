#pragma once

#include "settings/Impostazioni.h"

#include <QObject>
#include <QString>

namespace pulsiero {

class Messaggi;

// The loaded settings of this run and the file they come from.
class Configurazione : public QObject {
    Q_OBJECT
public:
    Configurazione(const QString& percorso, Messaggi& messaggi, QObject* parent = nullptr);

    const Impostazioni& impostazioni() const { return impostazioni_; }
    const QString& percorso() const { return percorso_; }
    const std::string& percorsoFile() const { return percorsoFile_; }

    // Reloads every setting; the window takes the name and key descriptions from caricata().
    // With avviso it ends by confirming that communication has been initialised.
    void CaricaConfigurazione(bool avviso);

signals:
    void caricata(const pulsiero::Impostazioni::TestiPulsiero& testi);

private:
    QString percorso_;
    std::string percorsoFile_;
    Messaggi& messaggi_;
    Impostazioni impostazioni_;
};

} // namespace pulsiero
