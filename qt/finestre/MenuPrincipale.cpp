#include "qt/finestre/MenuPrincipale.h"

#include <QMenuBar>

namespace pulsiero {

namespace {

QMenu* menu(QMenuBar* barra, const char* nome, const QString& titolo) {
    QMenu* m = barra->addMenu(titolo);
    m->setObjectName(QLatin1String(nome));
    return m;
}

QAction* voce(QMenu* menu, const char* nome, const QString& testo,
              const QKeySequence& scorciatoia = {}) {
    QAction* a = menu->addAction(testo);
    a->setObjectName(QLatin1String(nome));
    a->setShortcut(scorciatoia);
    return a;
}

QAction* separatore(QMenu* menu, const char* nome) {
    QAction* a = menu->addSeparator();
    a->setObjectName(QLatin1String(nome));
    return a;
}

} // namespace

MenuPrincipale MenuPrincipale::crea(QMenuBar* barra) {
    MenuPrincipale m;
    m.MenuFile = menu(barra, "MenuFile", QStringLiteral("&File"));
    m.MenuFine = voce(m.MenuFile, "MenuFine", QStringLiteral("Fine programma"),
                      QKeySequence(Qt::CTRL | Qt::Key_X));

    m.Menuopzioni = menu(barra, "Menuopzioni", QStringLiteral("&Opzioni"));
    m.MenuAvvioAuto = voce(m.Menuopzioni, "MenuAvvioAuto", QStringLiteral("Avvio Automatico"));
    m.MenuAvvioAuto->setCheckable(true);
    separatore(m.Menuopzioni, "MenuNull0");
    m.MenuCreaCollegamento = voce(m.Menuopzioni, "MenuCreaCollegamento",
                                  QStringLiteral("Crea collegamento sul desktop"));
    m.MenuEliminaCollegamento = voce(m.Menuopzioni, "MenuEliminaCollegamento",
                                     QStringLiteral("Elimina collegamento dal desktop"));
    separatore(m.Menuopzioni, "MenuNull1");
    m.MenuInitCom = voce(m.Menuopzioni, "MenuInitCom", QStringLiteral("Inizializza comunicazione"));
    m.MenuConfigura = voce(m.Menuopzioni, "MenuConfigura", QStringLiteral("Configura il pulsiero"));

    m.MenuAbout0 = menu(barra, "MenuAbout0", QStringLiteral("&?"));
    m.MenuInformazioni = voce(m.MenuAbout0, "MenuInformazioni",
                              QStringLiteral("Informazioni su..."), QKeySequence(Qt::Key_F1));
    return m;
}

} // namespace pulsiero
