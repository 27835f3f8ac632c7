// The comparison for the program's start-up: a bare Qt window with the same menu bar and the
// same picture, and nothing else (no settings, no tray icon, no socket).
#include "qt/finestre/ImmagineSvg.h"
#include "qt/finestre/MenuPrincipale.h"

#include <QApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow finestra;
    finestra.setWindowTitle(QStringLiteral("Nuda"));
    auto* area = new QWidget(&finestra);
    area->setFixedSize(203, 304);
    auto* sfondo = new pulsiero::ImmagineSvg(QStringLiteral(":/pulsiero/telecomando.svg"), area);
    sfondo->setGeometry(0, 0, 202, 310);
    finestra.setCentralWidget(area);
    pulsiero::MenuPrincipale::crea(finestra.menuBar());
    finestra.layout()->setSizeConstraint(QLayout::SetFixedSize);
    finestra.show();
    return QApplication::exec();
}
