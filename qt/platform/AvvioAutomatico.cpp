#include "qt/platform/AvvioAutomatico.h"

#include "core/IniFile.h"
#include "core/TextEncoding.h"
#include "qt/platform/Metadati.h"
#include "qt/platform/VoceDesktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

namespace pulsiero {

namespace {

const std::string kGruppo = "Desktop Entry";

std::string valore(const ini::IniDocument& voce, const char* chiave) {
    return std::string(text::trimBlanks(voce.value(kGruppo, chiave, "")));
}

std::optional<ini::IniDocument> leggiVoce(const QString& percorso) {
    const auto testo =
        file::leggiTutto(QFile::encodeName(percorso).toStdString(), file::kLimiteImpostazioni);
    if (!testo)
        return std::nullopt;
    return ini::IniDocument::fromBytes(*testo);
}

bool accesa(const ini::IniDocument& voce) {
    const bool nascosta = text::equalsIgnoringCase(valore(voce, "Hidden"), "true");
    const bool disattivata =
        text::equalsIgnoringCase(valore(voce, "X-GNOME-Autostart-enabled"), "false");
    return !valore(voce, "Exec").empty() && !nascosta && !disattivata;
}

} // namespace

AvvioAutomatico::AvvioAutomatico(const QString& cartella, const QString& eseguibile,
                                 const QStringList& argomenti, const QString& fileImpostazioni)
    : cartella_(cartella), eseguibile_(eseguibile), argomenti_(argomenti),
      fileImpostazioni_(fileImpostazioni) {}

QString AvvioAutomatico::cartellaPredefinita() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

QString AvvioAutomatico::percorsoVoce() const {
    return cartella_ + QLatin1Char('/') + QFileInfo(eseguibile_).fileName() +
           distintivoVoci(fileImpostazioni_) + QStringLiteral(".desktop");
}

bool AvvioAutomatico::LeggiAvvioAuto() const {
    const auto voce = leggiVoce(percorsoVoce());
    return voce && accesa(*voce);
}

bool AvvioAutomatico::scrivi() const {
    QDir().mkpath(cartella_);
    const QString testo =
        voceDesktop(nomeVisibile(QString::fromUtf8(metadati::kTitolo), fileImpostazioni_),
                    eseguibile_, argomenti_ + QStringList{kOpzione}, iconaProgramma(eseguibile_),
                    QStringLiteral("Avvia il pulsiero nell'area di notifica all'accesso")) +
        QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    scriviVoce(percorsoVoce(), testo);
    return LeggiAvvioAuto();
}

void AvvioAutomatico::aggiorna() const {
    // Earlier versions named the entry of every settings file as the usual file's.
    const QString vecchia = fileImpostazioni_.isEmpty() || QFileInfo::exists(percorsoVoce())
                                ? percorsoVoce()
                                : cartella_ + QLatin1Char('/') + QFileInfo(eseguibile_).fileName() +
                                      QStringLiteral(".desktop");
    const auto testo =
        file::leggiTutto(QFile::encodeName(vecchia).toStdString(), file::kLimiteImpostazioni);
    if (!testo || !accesa(ini::IniDocument::fromBytes(*testo)) ||
        execDellaVoce(QString::fromStdString(*testo)) != execDesktop(eseguibile_, argomenti_))
        return;
    if (scrivi() && vecchia != percorsoVoce())
        QFile::remove(vecchia);
}

bool AvvioAutomatico::elimina() const {
    QFile::remove(percorsoVoce());
    return !LeggiAvvioAuto();
}

} // namespace pulsiero
