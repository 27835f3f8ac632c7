#include "qt/app/Finestra.h"

#include "qt/app/PressioneDaRiga.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

#include <cstdio>

namespace pulsiero {

QStringList percorsiModuloFinestra(const QString& cartellaEseguibile) {
    const QDir cartella(cartellaEseguibile);
    return {cartella.filePath(QStringLiteral(PULSIERO_MODULO_FINESTRA)),
            QDir::cleanPath(cartella.filePath(QStringLiteral(PULSIERO_MODULI_DA_BIN "/" 
                                                             PULSIERO_MODULO_FINESTRA)))};
}

int eseguiFinestra(int argc, char** argv) {
    // The executable's own folder, before any application object exists to tell it.
    const QString eseguibile = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    QString errori;
    for (const QString& percorso : percorsiModuloFinestra(QFileInfo(eseguibile).path())) {
        if (!QFileInfo::exists(percorso))
            continue;
        QLibrary modulo(percorso);
        // The module stays loaded to the end of the process: the window never unloads.
        modulo.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (const auto avvia = reinterpret_cast<AvvioFinestra>(modulo.resolve(kAvvioFinestra)))
            return avvia(argc, argv);
        errori = modulo.errorString();
    }
    std::fprintf(stderr, "pulsiero: impossibile caricare la finestra: %s\n",
                 errori.isEmpty() ? "modulo " PULSIERO_MODULO_FINESTRA " non trovato"
                                  : errori.toUtf8().constData());
    return kNienteInviato;
}

} // namespace pulsiero
