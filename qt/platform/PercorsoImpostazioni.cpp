#include "qt/platform/PercorsoImpostazioni.h"

#include "core/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

namespace pulsiero {

namespace {

bool permesso(const QString& percorso, int modo) {
    return ::faccessat(AT_FDCWD, QFile::encodeName(percorso).constData(), modo, AT_EACCESS) == 0;
}

// The name without its last extension, as the original program named its settings file.
QString nomeSenzaEstensione(const QFileInfo& exe) {
    const QString nome = exe.completeBaseName();
    return nome.isEmpty() ? exe.fileName() : nome;
}

} // namespace

SceltaImpostazioni scegliImpostazioni(const QString& eseguibile, const QString& cartellaUtente) {
    const QFileInfo exe(eseguibile);
    const QString accanto =
        exe.absolutePath() + QLatin1Char('/') + nomeSenzaEstensione(exe) + QStringLiteral(".ini");
    const QFileInfo fileAccanto(accanto);
    const bool esiste = fileAccanto.isFile();
    if (esiste && permesso(accanto, W_OK) && permesso(exe.absolutePath(), W_OK | X_OK))
        return {accanto, {}};

    const QString utente = cartellaUtente + QStringLiteral("/pulsiero.ini");
    const bool seme = esiste && !QFileInfo::exists(utente) && permesso(accanto, R_OK);
    return {utente, seme ? accanto : QString()};
}

SceltaImpostazioni scegliImpostazioni() {
    return scegliImpostazioni(
        QCoreApplication::applicationFilePath(),
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/pulsiero"));
}

namespace {

// The user's folder is private to the user (the file may hold a key), and so is a copy of a
// seed that holds one, from its first byte on.
QString prepara(const SceltaImpostazioni& scelta) {
    const std::string percorso = QFile::encodeName(scelta.percorso).toStdString();
    (void)file::creaCartelle(file::cartellaDi(percorso), 0700);
    if (!scelta.seme.isEmpty())
        (void)ini::copiaSeMancante(QFile::encodeName(scelta.seme).toStdString(), percorso);
    return scelta.percorso;
}

} // namespace

QString percorsoImpostazioni(const QString& eseguibile, const QString& cartellaUtente) {
    return prepara(scegliImpostazioni(eseguibile, cartellaUtente));
}

QString percorsoImpostazioni() {
    return prepara(scegliImpostazioni());
}

} // namespace pulsiero
