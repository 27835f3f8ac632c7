#pragma once

// Permission faults only show for an ordinary user: when the tests run as root, the program under
// test runs as nobody instead, from a copy in a folder that every user can reach (the build
// folder may be private to root).

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace utente {

inline constexpr uid_t kNobody = 65534;

inline bool daRoot() {
    return geteuid() == 0;
}

// A folder of the test that the ordinary user may also write.
inline void apriATutti(const QString& cartella) {
    ::chmod(QFile::encodeName(cartella).constData(), 0777);
}

// Makes a file or folder the ordinary user's own (when run as root; otherwise it already is).
inline void cediAllUtente(const QString& percorso) {
    if (daRoot())
        (void)!::chown(QFile::encodeName(percorso).constData(), kNobody, kNobody);
}

// A copy of programma that every user can run, in a folder made once per test process (the build
// folder may sit in a home folder others cannot enter); empty when no such folder can be made.
inline QString copiaRaggiungibile(const QString& programma) {
    static QTemporaryDir cartella(QStringLiteral("/tmp/pulsiero-programmi-XXXXXX"));
    const QString copia = cartella.filePath(QFileInfo(programma).fileName());
    if (!cartella.isValid() || ::chmod(QFile::encodeName(cartella.path()).constData(), 0755) != 0)
        return {};
    if (!QFile::exists(copia) &&
        (!QFile::copy(programma, copia) || ::chmod(QFile::encodeName(copia).constData(), 0755)))
        return {};
    return copia;
}

// Starts programma with argomenti as the ordinary user: as nobody when run as root, from a copy
// in cartella, which must be reachable by every user; otherwise as it is.
inline void avvia(QProcess& processo, const QString& programma, const QStringList& argomenti,
                  const QString& cartella) {
    if (!daRoot()) {
        processo.start(programma, argomenti);
        return;
    }
    const QString copia = cartella + QLatin1Char('/') + QFileInfo(programma).fileName();
    QFile::remove(copia);
    QFile::copy(programma, copia);
    ::chmod(QFile::encodeName(copia).constData(), 0755);
    // The window program finds its window module beside itself.
    const QString modulo = QFileInfo(programma).dir().filePath(QStringLiteral("pulsiero-finestra.so"));
    if (QFileInfo(programma).fileName() == QLatin1String("pulsiero") && QFile::exists(modulo)) {
        const QString copiaModulo = cartella + QStringLiteral("/pulsiero-finestra.so");
        QFile::remove(copiaModulo);
        QFile::copy(modulo, copiaModulo);
        ::chmod(QFile::encodeName(copiaModulo).constData(), 0755);
    }
    processo.start(QStringLiteral("setpriv"),
                   QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                               QStringLiteral("--clear-groups"), copia} +
                       argomenti);
}

} // namespace utente
