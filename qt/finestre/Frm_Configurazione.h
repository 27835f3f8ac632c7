#pragma once

#include <QDialog>
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
// written back, all of them, when it closes with changes. There is no OK or Cancel: closing
// (the close button, Esc) saves. A settings file that cannot be written opens read-only.
class Frm_Configurazione : public QDialog {
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
    bool solaLettura() const { return solaLettura_; }

    void reject() override; // Esc: a close request like the close button

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
    void etichetta(QWidget* pagina, const QString& nome, const QString& testo, const QRect& pos,
                   QWidget* casella);
    void separatore(QWidget* pagina, int indice, int y);
    void collegaCaselle();
    void posiziona();
    void impostaSolaLettura(bool solaLettura);
    QLineEdit* primaCasella(int pagina) const;
    bool modificato() const;
    void nascondiERiprendi();
    bool tastoPremuto(QLineEdit* box, const Casella& regola, QKeyEvent* evento);

    bool SalvaConfigurazione();
    // Why the last save failed, in words, for the warning that follows it.
    QString causaSalvataggio_;
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
    QLabel* Lab_SolaLettura_ = nullptr;
    bool solaLettura_ = false;
    std::map<QLineEdit*, QString> aperti_; // each box's text as the dialog opened
    std::map<QLineEdit*, Casella> caselle_;
    std::map<QWidget*, QRect> posizioni_; // each control's place relative to the tab control
};

} // namespace pulsiero
