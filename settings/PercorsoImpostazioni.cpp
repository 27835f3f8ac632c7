#include "settings/PercorsoImpostazioni.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace pulsiero {

QString percorsoImpostazioni(const QString& eseguibile, const QString& cartellaUtente) {
    const QFileInfo exe(eseguibile);
    const QString nome = exe.fileName() + QStringLiteral(".ini");
    const QString cartellaExe = exe.absolutePath();
    if (::access(QFile::encodeName(cartellaExe).constData(), W_OK) == 0)
        return cartellaExe + QLatin1Char('/') + nome;
    QDir().mkpath(cartellaUtente);
    return cartellaUtente + QLatin1Char('/') + nome;
}

QString percorsoImpostazioni() {
    return percorsoImpostazioni(
        QCoreApplication::applicationFilePath(),
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

} // namespace pulsiero
