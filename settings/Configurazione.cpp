#include "settings/Configurazione.h"

#include "ui/Messaggi.h"

#include <QFile>

namespace pulsiero {

Configurazione::Configurazione(const QString& percorso, Messaggi& messaggi, QObject* parent)
    : QObject(parent), percorso_(percorso),
      percorsoFile_(QFile::encodeName(percorso).toStdString()), messaggi_(messaggi) {}

void Configurazione::CaricaConfigurazione(bool avviso) {
    const auto testi = impostazioni_.carica(percorsoFile_);
    emit caricata(testi);
    if (avviso)
        messaggi_.informazione(QStringLiteral("Comunicazione TCI/IP"),
                               QStringLiteral("La comunicazione TCP/IP è stata inizializzata."));
}

} // namespace pulsiero
