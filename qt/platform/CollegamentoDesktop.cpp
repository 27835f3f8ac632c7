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
                                         const QStringList& argomenti,
                                         const QString& fileImpostazioni)
    : cartella_(cartella), eseguibile_(eseguibile), argomenti_(argomenti),
      fileImpostazioni_(fileImpostazioni) {}

QString CollegamentoDesktop::cartellaPredefinita() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString CollegamentoDesktop::percorso() const {
    return cartella_ + QStringLiteral("/Pulsiero") + distintivoVoci(fileImpostazioni_) +
           QStringLiteral(".desktop");
}

QString CollegamentoDesktop::testo(const std::array<QString, 4>& descrizioni) const {
    return voceDesktop(nomeVisibile(QStringLiteral("Pulsiero"), fileImpostazioni_), eseguibile_,
                       argomenti_, iconaProgramma(eseguibile_),
                       QStringLiteral("Telecomando software a codice variabile")) +
           azioniTasti(eseguibile_, argomenti_, descrizioni);
}

void CollegamentoDesktop::aggiorna(const std::array<QString, 4>& descrizioni) const {
    const QFileInfo voce(percorso());
    if (voce.isSymLink() || !voce.isFile())
        return;
    const auto attuale =
        file::leggiTutto(QFile::encodeName(percorso()).toStdString(), file::kLimiteImpostazioni);
    if (!attuale)
        return;
    const QString nuovo = testo(descrizioni);
    const QString vecchio = QString::fromStdString(*attuale);
    if (vecchio != nuovo && execDellaVoce(vecchio) == execDellaVoce(nuovo))
        scriviVoce(percorso(), nuovo, 0755);
}

bool CollegamentoDesktop::crea(const std::array<QString, 4>& descrizioni) const {
    // A new account may have no desktop folder yet: the launcher makes it.
    QDir().mkpath(cartella_);
    if (!scriviVoce(percorso(), testo(descrizioni), 0755))
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
