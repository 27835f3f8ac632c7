#include "qt/platform/Configurazione.h"

#include <QFile>
#include <QFileInfo>

namespace pulsiero {

Configurazione::Configurazione(const QString& percorso, QObject* parent)
    : QObject(parent), percorso_(percorso),
      percorsoFile_(QFile::encodeName(percorso).toStdString()) {}

bool Configurazione::scrivibile() const {
    const QFileInfo file(percorso_);
    if (file.exists() && (!file.isFile() || !file.isWritable()))
        return false;
    const QFileInfo cartella(file.absolutePath());
    return cartella.isDir() && cartella.isWritable() && cartella.isExecutable();
}

void Configurazione::CaricaConfigurazione(bool avviso) {
    const auto testi = impostazioni_.carica(percorsoFile_);
    emit caricata(testi);
    if (avviso)
        emit messaggio({Avviso::Tipo::Informazione, QStringLiteral("Comunicazione TCI/IP"),
                        QStringLiteral("La comunicazione TCP/IP è stata inizializzata.")});
}

} // namespace pulsiero
