#pragma once

#include "qt/finestre/MenuPrincipale.h"
#include "qt/finestre/Messaggi.h"
#include "qt/platform/AvvioAutomatico.h"
#include "qt/platform/CollegamentoDesktop.h"
#include "qt/platform/Configurazione.h"
#include "qt/platform/IconaTray.h"
#include "qt/platform/SuonoTasto.h"
#include "qt/platform/Trasmettitore.h"
#include "qt/platform/Uscita.h"

#include <QColor>
#include <QLabel>
#include <QMainWindow>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

namespace pulsiero {

class Contorno;
class Frm_About;
class Frm_Configurazione;
class TastoPulsiero;

// Where the program keeps its files; tests point every folder at a temporary one.
struct Ambiente {
    QString percorsoIni;
    QString eseguibile;
    QString cartellaAutostart;
    QString cartellaDesktop;
    QStringList argomenti; // the options the auto-start entry and the launcher start it with
    // The settings file that names the entries, empty for the usual file: each file has its own
    // auto-start entry and launcher.
    QString fileVoci;
    bool avvioAutomatico = false; // started by the auto-start entry: the window starts hidden

    // The user's own folders, with the settings file and the entries' options already chosen.
    static Ambiente predefinito(const QString& percorsoIni, const QStringList& argomenti);
};

// The remote control: the transmitter's picture with its four keys, the menu bar, and the
// start-up of the whole program.
class Frm_Pulsiero : public QMainWindow {
    Q_OBJECT
public:
    static inline const QColor kTeal{0, 192, 192};
    static inline const QColor kAcquaChiaro{128, 255, 255};
    static inline const QColor kGrigioChiaro{192, 192, 192};

    explicit Frm_Pulsiero(const Ambiente& ambiente, QWidget* parent = nullptr);
    ~Frm_Pulsiero() override;

    // The start-up sequence: the other windows, the settings, the tray icon, the auto-start
    // state, and the window shown or left hidden.
    void Form_Load();

    bool Caricamento() const { return caricamento_; }
    // Tells whether a notification area is there to bring a hidden window back.
    void impostaTrayDisponibile(std::function<bool()> disponibile);

    Messaggi& messaggi() { return messaggi_; }
    Configurazione& configurazione() { return configurazione_; }
    Trasmettitore& trasmettitore() { return trasmettitore_; }
    const SuonoTasto& suono() const { return suono_; }
    IconaTray& tray() { return tray_; }
    Uscita& uscita() { return uscita_; }
    const MenuPrincipale& menu() const { return menu_; }
    Frm_About* about() const { return about_.get(); }
    Frm_Configurazione* dialogo() const { return dialogo_.get(); }

    void NascondiFinestra(bool nascondi);

    // "Pulsiero", or the transmitter's name, " - " and "Pulsiero".
    static QString titoloFinestra(const QString& nome);

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    void keyPressEvent(QKeyEvent* evento) override;
    void keyReleaseEvent(QKeyEvent* evento) override;
    void changeEvent(QEvent* evento) override;

private:
    void creaControlli();
    void collegaMenu();
    void collegaTasto(int indice);
    void applicaTesti(const Impostazioni::TestiPulsiero& testi);
    void impostaNome(const QString& nome);
    void impostaDescrizione(int indice, const QString& descrizione);
    void disabilitaPer(QWidget* secondaria);
    QWidget* secondariaAperta() const; // the dialog or the About window, when shown
    void riprendiControllo();
    bool eventoTasto(int indice, QEvent* evento);

    void Img_Sfondo_MouseMove();
    void Img_Pulsante_MouseMove(int indice);
    void Img_Pulsante_MouseDown(int indice);
    void Img_Pulsante_MouseUp(int indice);
    void NascondiContorni();
    void ColoreContorno(int indice, const QColor& colore);
    void VisualizzaInvio(bool visibile);

    void MenuFine_Click();
    void MenuInitCom_Click();
    void MenuCreaCollegamento_Click();
    void MenuEliminaCollegamento_Click();
    void MenuAvvioAuto_Click();
    void AttivaAvvioAuto();
    void DisattivaAvvioAuto();
    void MenuConfigura_Click();
    void MenuInformazioni_Click();

    Ambiente ambiente_;
    Messaggi messaggi_;
    Configurazione configurazione_;
    Trasmettitore trasmettitore_;
    SuonoTasto suono_;
    IconaTray tray_;
    Uscita uscita_;
    AvvioAutomatico avvioAutomatico_;
    CollegamentoDesktop collegamento_;
    MenuPrincipale menu_;
    std::unique_ptr<Frm_About> about_;
    std::unique_ptr<Frm_Configurazione> dialogo_;
    std::function<bool()> trayDisponibile_;

    QWidget* Img_Sfondo_ = nullptr;
    std::array<TastoPulsiero*, 4> Img_Pulsante_{};
    std::array<QString, 4> descrizioni_; // as stored: the tooltips show them literally
    QLabel* Lab_Pulsiero_ = nullptr;
    QWidget* Img_Invio_ = nullptr;
    std::array<Contorno*, 4> Shp_Bianco_{};
    int tastoTastiera_ = -1; // key held down on the keyboard, -1 for none
    bool caricamento_ = false;
};

} // namespace pulsiero
