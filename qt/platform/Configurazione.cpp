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
    // Said once a run: the file is the user's to mend, reloads read it the same way meanwhile.
    if (!impostazioni_.sezioneRipetuta.empty() && !sezioneRipetutaDetta_) {
        sezioneRipetutaDetta_ = true;
        emit messaggio({Avviso::Tipo::Attenzione, QStringLiteral("File di configurazione"),
                        QStringLiteral("Attenzione: il file di configurazione %1 contiene più "
                                       "volte la sezione [%2]: vale solo la prima, le altre "
                                       "sono ignorate.")
                            .arg(percorso_, QString::fromStdString(
                                                impostazioni_.sezioneRipetuta))});
    }
    // Said once for each new cause: the defaults stand until the user mends the file.
    if (impostazioni_.erroreLettura != erroreLetturaDetto_) {
        erroreLetturaDetto_ = impostazioni_.erroreLettura;
        if (!erroreLetturaDetto_.empty())
            emit messaggio({Avviso::Tipo::Attenzione, QStringLiteral("File di configurazione"),
                            QStringLiteral("Attenzione: non è stato possibile leggere il file "
                                           "di configurazione (%1). Valgono le impostazioni "
                                           "predefinite.")
                                .arg(QString::fromStdString(erroreLetturaDetto_))});
    }
    if (avviso)
        emit messaggio({Avviso::Tipo::Informazione, QStringLiteral("Comunicazione TCI/IP"),
                        QStringLiteral("La comunicazione TCP/IP è stata inizializzata.")});
}

} // namespace pulsiero

#include "moc_Configurazione.cpp"
