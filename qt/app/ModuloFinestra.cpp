// The window module's entry point: the window program as it was, behind one C function.
#include "qt/app/Finestra.h"
#include "qt/app/RigaDiComando.h"
#include "qt/finestre/Applicazione.h"
#include "qt/finestre/Frm_Pulsiero.h"

#include <QApplication>

extern "C" __attribute__((visibility("default"))) int pulsiero_avviaFinestra(int argc,
                                                                               char** argv) {
    QApplication app(argc, argv);
    pulsiero::preparaApplicazione(app);
    QApplication::setApplicationName(QStringLiteral("pulsiero"));
    QGuiApplication::setDesktopFileName(QStringLiteral("pulsiero"));
    // The window may live hidden behind the tray icon; only the exit routine ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt has taken its own options ("-style Fusion"): what is left must all be ours.
    const auto riga = pulsiero::RigaDiComando::leggi(QApplication::arguments());
    if (riga.azione != pulsiero::RigaDiComando::Azione::Finestra)
        return pulsiero::segnalaErrore(riga);

    auto ambiente =
        pulsiero::Ambiente::predefinito(riga.fileImpostazioni(), riga.argomentiDelleVoci());
    ambiente.avvioAutomatico = riga.avvioAutomatico;
    pulsiero::Frm_Pulsiero finestra(ambiente);
    finestra.Form_Load();
    return QApplication::exec();
}
