#include "settings/PercorsoImpostazioni.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace pulsiero {

namespace {

// Program folders of the system: even where root could write there, settings do not belong.
bool cartellaDiSistema(const QString& cartella) {
    return cartella.startsWith(QLatin1String("/usr/")) || cartella == QLatin1String("/bin") ||
           cartella == QLatin1String("/sbin");
}

} // namespace

QString percorsoImpostazioni(const QString& eseguibile, const QString& cartellaUtente) {
    const QFileInfo exe(eseguibile);
    const QString nome = exe.fileName() + QStringLiteral(".ini");
    const QString cartellaExe = exe.absolutePath();
    if (!cartellaDiSistema(cartellaExe) &&
        ::access(QFile::encodeName(cartellaExe).constData(), W_OK) == 0)
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
