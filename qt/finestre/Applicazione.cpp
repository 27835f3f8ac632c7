#include "qt/finestre/Applicazione.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

namespace pulsiero {

void preparaApplicazione(QApplication& applicazione) {
    // Debian's qt6-translations-l10n installs qtbase_it.qm in Qt's translations folder.
    auto* traduzione = new QTranslator(&applicazione);
    if (traduzione->load(QStringLiteral("qtbase_it"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(traduzione);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pulsiero/pulsiero.svg")));
}

} // namespace pulsiero
