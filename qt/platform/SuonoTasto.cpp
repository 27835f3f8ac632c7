#include "qt/platform/SuonoTasto.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

namespace pulsiero {

SuonoTasto::SuonoTasto() = default;

// The sample loads on the multimedia library's own thread. A load still pending when the player
// goes would run after main returns, among Qt's destroyed statics, and crash the exit: the
// player waits, briefly, for the load to end first.
SuonoTasto::~SuonoTasto() {
    if (!effetto_ || effetto_->status() != QSoundEffect::Loading)
        return;
    QEventLoop attesa;
    QObject::connect(effetto_.get(), &QSoundEffect::statusChanged, &attesa, &QEventLoop::quit);
    QTimer::singleShot(kAttesaCaricamentoMs, &attesa, &QEventLoop::quit);
    attesa.exec(QEventLoop::ExcludeUserInputEvents);
}

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
