#include "settings/IniFile.h"
#include "ui/Applicazione.h"
#include "ui/Frm_Pulsiero.h"

#include <QApplication>

int main(int argc, char** argv) {
    pulsiero::ini::ignoreFileSizeSignal();
    QApplication app(argc, argv);
    pulsiero::preparaApplicazione(app);
    QApplication::setApplicationName(QStringLiteral("pulsiero"));
    QGuiApplication::setDesktopFileName(QStringLiteral("pulsiero"));
    // The window may live hidden behind the tray icon; only the exit routine ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    pulsiero::Frm_Pulsiero finestra(pulsiero::Ambiente::predefinito());
    finestra.Form_Load();
    return QApplication::exec();
}
