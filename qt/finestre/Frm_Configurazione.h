#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

#include <array>
#include <map>

namespace pulsiero {

class Configurazione;
class Messaggi;

// The settings editor: three pages of boxes, filled from the loaded settings when it opens and
// written back, all of them, when it closes. There is no OK or Cancel: closing saves.
class Frm_Configurazione : public QWidget {
    Q_OBJECT
public:
    // What the dialog takes from the main window: its name label and key descriptions.
    struct TestiFinestra {
        QString nome;
        std::array<QString, 4> tasti;
    };

    Frm_Configurazione(Configurazione& configurazione, Messaggi& messaggi,
                       QWidget* parent = nullptr);

    void apri(const TestiFinestra& testi);

    QTabWidget* SSTab() const { return SSTab_; }

signals:
    // Saved, reloaded and hidden: the main window takes over again.
    void chiuso();

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    void showEvent(QShowEvent* evento) override;

private:
    struct Casella {
        int massimo = 0; // 0 for a box that takes any text
        QLineEdit* prossima = nullptr;
    };

    void creaPaginaPulsiero(QWidget* pagina);
    void creaPaginaRicevitore(QWidget* pagina);
    void creaPaginaCodifica(QWidget* pagina);
    QLineEdit* casella(QWidget* pagina, const char* nome, const QRect& posizione,
                       const QString& tooltip);
    void etichetta(QWidget* pagina, const QString& nome, const QString& testo, const QRect& pos);
    void separatore(QWidget* pagina, int indice, int y);
    void collegaCaselle();
    void posiziona();
    bool tastoPremuto(QLineEdit* box, const Casella& regola, QKeyEvent* evento);

    bool SalvaConfigurazione();
    void Cmd_Reset_Click();

    Configurazione& configurazione_;
    Messaggi& messaggi_;
    QTabWidget* SSTab_ = nullptr;
    std::array<QLineEdit*, 6> Txt_NomePul_{};
    QLineEdit* Txt_IP_ = nullptr;
    QLineEdit* Txt_Porta_ = nullptr;
    QLineEdit* Txt_NumeroD_ = nullptr;
    QLineEdit* Txt_NumeroT_ = nullptr;
    QPushButton* Cmd_Reset_ = nullptr;
    std::map<QLineEdit*, Casella> caselle_;
    std::map<QWidget*, QRect> posizioni_; // each control's place relative to the tab control
};

} // namespace pulsiero
