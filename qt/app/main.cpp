#include "qt/app/RigaDiComando.h"
#include "core/FileSystem.h"
#include "qt/finestre/Applicazione.h"
#include "qt/finestre/Frm_Pulsiero.h"

#include <QApplication>

int main(int argc, char** argv) {
    pulsiero::file::ignoraSegnaleDimensione();
    using pulsiero::RigaDiComando;
    // Help, version, a bad option and --tasto need no display: no window, no tray icon.
    if (const auto riga = RigaDiComando::leggi(pulsiero::argomentiDelProcesso(argc, argv), true);
        riga.azione != RigaDiComando::Azione::Finestra)
        return pulsiero::eseguiSenzaFinestra(riga, argc, argv);

    QApplication app(argc, argv);
    pulsiero::preparaApplicazione(app);
    QApplication::setApplicationName(QStringLiteral("pulsiero"));
    QGuiApplication::setDesktopFileName(QStringLiteral("pulsiero"));
    // The window may live hidden behind the tray icon; only the exit routine ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    const auto riga = RigaDiComando::leggi(QApplication::arguments());
    if (riga.azione != RigaDiComando::Azione::Finestra)
        return pulsiero::segnalaErrore(riga);

    pulsiero::Frm_Pulsiero finestra(
        pulsiero::Ambiente::predefinito(riga.fileImpostazioni(), riga.argomentiDelleVoci()));
    finestra.Form_Load();
    return QApplication::exec();
}
