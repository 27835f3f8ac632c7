#pragma once

#include <QDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace pulsiero {

// Product name, version, legal texts and the contact link. Created once, hidden, and reused.
class Frm_About : public QDialog {
    Q_OBJECT
public:
    explicit Frm_About(QWidget* parent = nullptr);

    // "Versione 1.00" for 1.0.0; "Versione 2.310" for 2.3.10.
    static QString testoVersione(int maggiore, int minore, int revisione);

    void reject() override; // Esc
    void accept() override; // Enter

signals:
    void chiuso();

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    void changeEvent(QEvent* evento) override;

private:
    QLabel* etichetta(const char* nome, const QRect& pos, const QColor& colore, double punti,
                      bool grassetto, Qt::Alignment allineamento);
    void Form_Load();
    void coloraTesti();
    void cmdOK_Click();
    void sottolineaEMail(bool sottolineato);
    void rilascioSullEMail(const QMouseEvent* evento);

    QLabel* Lab_EMail_ = nullptr;
    QWidget* Img_EMail_ = nullptr;
    QLabel* Lab_copy_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* lblProductName_ = nullptr;
    QLabel* Lab_Warning_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    bool premutoSullEMail_ = false;
};

} // namespace pulsiero
