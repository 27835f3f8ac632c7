#include "qt/platform/AvvioAutomatico.h"

#include "core/IniFile.h"
#include "core/TextEncoding.h"
#include "qt/platform/Metadati.h"
#include "qt/platform/VoceDesktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace pulsiero {

namespace {

const std::string kGruppo = "Desktop Entry";

std::string valore(const ini::IniDocument& voce, const char* chiave) {
    return std::string(text::trimBlanks(voce.value(kGruppo, chiave, "")));
}

} // namespace

AvvioAutomatico::AvvioAutomatico(const QString& cartella, const QString& eseguibile,
                                 const QStringList& argomenti)
    : cartella_(cartella), eseguibile_(eseguibile), argomenti_(argomenti) {}

QString AvvioAutomatico::cartellaPredefinita() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

QString AvvioAutomatico::percorsoVoce() const {
    return cartella_ + QLatin1Char('/') + QFileInfo(eseguibile_).fileName() +
           QStringLiteral(".desktop");
}

bool AvvioAutomatico::LeggiAvvioAuto() const {
    const auto testo = file::leggiTutto(QFile::encodeName(percorsoVoce()).toStdString(),
                                        file::kLimiteImpostazioni);
    if (!testo)
        return false;
    const auto voce = ini::IniDocument::fromBytes(*testo);
    const bool nascosta = text::equalsIgnoringCase(valore(voce, "Hidden"), "true");
    const bool disattivata =
        text::equalsIgnoringCase(valore(voce, "X-GNOME-Autostart-enabled"), "false");
    return !valore(voce, "Exec").empty() && !nascosta && !disattivata;
}

bool AvvioAutomatico::scrivi() const {
    QDir().mkpath(cartella_);
    const QString testo =
        voceDesktop(QString::fromUtf8(metadati::kTitolo), eseguibile_, argomenti_,
                    iconaProgramma(eseguibile_),
                    QStringLiteral("Avvia il pulsiero nell'area di notifica all'accesso")) +
        QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    (void)file::sostituisci(QFile::encodeName(percorsoVoce()).toStdString(), testo.toStdString());
    return LeggiAvvioAuto();
}

bool AvvioAutomatico::elimina() const {
    QFile::remove(percorsoVoce());
    return !LeggiAvvioAuto();
}

} // namespace pulsiero
