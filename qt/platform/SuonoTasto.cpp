#include "qt/platform/SuonoTasto.h"

#include <QCoreApplication>
#include <QDir>
#include <QSoundEffect>
#include <QUrl>

namespace pulsiero {

SuonoTasto::SuonoTasto() = default;
SuonoTasto::~SuonoTasto() = default;

QString SuonoTasto::percorso(const QString& fileSuono, const QString& cartellaEseguibile) {
    if (QDir::isAbsolutePath(fileSuono))
        return fileSuono;
    return QDir(cartellaEseguibile).filePath(fileSuono);
}

void SuonoTasto::suona(const QString& fileSuono) {
    if (fileSuono.isEmpty())
        return;
    if (!effetto_)
        effetto_ = std::make_unique<QSoundEffect>();
    const QUrl sorgente =
        QUrl::fromLocalFile(percorso(fileSuono, QCoreApplication::applicationDirPath()));
    if (effetto_->source() != sorgente)
        effetto_->setSource(sorgente);
    effetto_->play();
}

} // namespace pulsiero
