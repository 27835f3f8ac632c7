#pragma once

#include <QAction>
#include <QMenu>

class QMenuBar;

namespace pulsiero {

// The menu bar's menus and entries, named as the rest of the program refers to them.
struct MenuPrincipale {
    QMenu* MenuFile = nullptr;
    QAction* MenuFine = nullptr;
    QMenu* Menuopzioni = nullptr;
    QAction* MenuAvvioAuto = nullptr;
    QAction* MenuCreaCollegamento = nullptr;
    QAction* MenuEliminaCollegamento = nullptr;
    QAction* MenuInitCom = nullptr;
    QAction* MenuConfigura = nullptr;
    QMenu* MenuAbout0 = nullptr;
    QAction* MenuInformazioni = nullptr;

    static MenuPrincipale crea(QMenuBar* barra);
};

} // namespace pulsiero
