#include "qt/platform/CollegamentoDesktop.h"

#include "core/FileSystem.h"
#include "qt/platform/VoceDesktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace pulsiero {

CollegamentoDesktop::CollegamentoDesktop(const QString& cartella, const QString& eseguibile,
                                         const QStringList& argomenti)
    : cartella_(cartella), eseguibile_(eseguibile), argomenti_(argomenti) {}

QString CollegamentoDesktop::cartellaPredefinita() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString CollegamentoDesktop::percorso() const {
    return cartella_ + QStringLiteral("/Pulsiero.desktop");
}

bool CollegamentoDesktop::crea() const {
    // A new account may have no desktop folder yet: the launcher makes it.
    QDir().mkpath(cartella_);
    const QString testo = voceDesktop(QStringLiteral("Pulsiero"), eseguibile_, argomenti_,
                                      iconaProgramma(eseguibile_),
                                      QStringLiteral("Telecomando software a codice variabile"));
    const std::string file = QFile::encodeName(percorso()).toStdString();
    if (!file::sostituisci(file, testo.toStdString(), {0755u}))
        return false;
    // GNOME's desktop starts only launchers marked trusted; elsewhere gio is simply absent.
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (!gio.isEmpty()) {
        // Started detached, so the window never waits on it; a refusal is no matter.
        QProcess processo;
        processo.setProgram(gio);
        processo.setArguments({QStringLiteral("set"), percorso(),
                               QStringLiteral("metadata::trusted"), QStringLiteral("true")});
        processo.setStandardOutputFile(QProcess::nullDevice());
        processo.setStandardErrorFile(QProcess::nullDevice());
        processo.startDetached();
    }
    return true;
}

bool CollegamentoDesktop::elimina() const {
    return QFile::remove(percorso()) || !QFileInfo::exists(percorso());
}

} // namespace pulsiero
