#include "qt/finestre/Frm_Configurazione.h"

#include "core/Chiavi.h"
#include "core/CreaComando.h"
#include "core/IniFile.h"
#include "core/LenientNumber.h"
#include "qt/finestre/Messaggi.h"
#include "qt/platform/Configurazione.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QTimer>
#include <QValidator>

namespace pulsiero {

namespace {

// A path a message box does not wrap inside while it fits a line: a word joiner after each
// slash and hyphen keeps the line breaker from splitting it there.
QString percorsoIntero(QString percorso) {
    return percorso.replace(QLatin1Char('/'), QStringLiteral("/\u2060"))
        .replace(QLatin1Char('-'), QStringLiteral("-\u2060"));
}

constexpr QSize kAreaClient{363, 281};
constexpr QRect kTab{8, 8, 347, 265};
constexpr int kMargine = 8;
constexpr int kPortaMassima = 65535;
constexpr int kRicevitoreMassimo = 1048575;
constexpr int kPulsieroMassimo = 128;
const QString kTitoloReset = QStringLiteral("Inizializzazione del pulsiero");

// Enter's fix-up: above the maximum becomes the maximum, then below 1 becomes 1 (so an empty
// box becomes "1").
void limita(QLineEdit* box, int massimo) {
    if (numericValue(box->text().toStdString()) > massimo)
        box->setText(QString::number(massimo));
    if (numericValue(box->text().toStdString()) < 1)
        box->setText(QStringLiteral("1"));
}

// The port's fix-up at closing, which also catches a box that is not a number at all.
void correggiPorta(QLineEdit* box) {
    if (!isNumeric(box->text().toStdString()))
        box->setText(QStringLiteral("100"));
    limita(box, kPortaMassima);
}

// The whole text is selected when the focus arrives by Tab, Shift+Tab or Enter (which moves it
// with OtherFocusReason), never by a click, a closing pop-up menu or the window's activation.
bool arrivoDaTastiera(const QFocusEvent* evento) {
    const Qt::FocusReason r = evento->reason();
    return r == Qt::TabFocusReason || r == Qt::BacktabFocusReason || r == Qt::OtherFocusReason;
}

// The whole text selected with the cursor at its start, so that a long text shows its beginning.
void selezionaTutto(QLineEdit* box) {
    box->setSelection(box->text().size(), -box->text().size());
}

// A number box takes digits only: anything else pasted or dropped is refused as a whole.
class SoloCifre : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& testo, int&) const override {
        for (const QChar c : testo)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        return testo.isEmpty() ? Intermediate : Acceptable;
    }
};

} // namespace

Frm_Configurazione::Frm_Configurazione(Configurazione& configurazione, Messaggi& messaggi,
                                       QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      configurazione_(configurazione), messaggi_(messaggi) {
    setObjectName(QStringLiteral("Frm_Configurazione"));
    setWindowTitle(QStringLiteral("Configurazione Pulsiero"));
    setWindowIcon(QIcon(QStringLiteral(":/pulsiero/configurazione.svg")));
    setFixedSize(kAreaClient);
    setFont(QFont(QStringLiteral("Arial"), 8));

    SSTab_ = new QTabWidget(this);
    SSTab_->setObjectName(QStringLiteral("SSTab"));
    SSTab_->setGeometry(kTab);
    const std::array<QString, 3> pagine{QStringLiteral("Pulsiero"), QStringLiteral("Ricevitore"),
                                        QStringLiteral("Codifica")};
    for (const QString& titolo : pagine) {
        auto* pagina = new QWidget;
        pagina->setObjectName(QStringLiteral("Pagina") + titolo);
        SSTab_->addTab(pagina, titolo);
    }
    creaPaginaPulsiero(SSTab_->widget(0));
    creaPaginaRicevitore(SSTab_->widget(1));
    creaPaginaCodifica(SSTab_->widget(2));
    collegaCaselle();

    setTabOrder(SSTab_, Txt_NomePul_[0]);
    QWidget* precedente = Txt_NomePul_[0];
    for (QWidget* w : std::initializer_list<QWidget*>{
             Txt_NomePul_[1], Txt_NomePul_[2], Txt_NomePul_[3], Txt_NomePul_[4], Txt_NomePul_[5],
             Txt_IP_, Txt_Porta_, Txt_NumeroD_, Txt_NumeroT_, Cmd_Reset_}) {
        setTabOrder(precedente, w);
        precedente = w;
    }
    SSTab_->setCurrentIndex(0);
}

QLineEdit* Frm_Configurazione::casella(QWidget* pagina, const char* nome, const QRect& posizione,
                                       const QString& tooltip) {
    auto* box = new QLineEdit(pagina);
    box->setObjectName(QLatin1String(nome));
    box->setToolTip(tooltip);
    box->installEventFilter(this);
    posizioni_[box] = posizione;
    caselle_[box] = {};
    return box;
}

// Each label names its box, to screen readers too, and its underlined letter with Alt reaches it.
void Frm_Configurazione::etichetta(QWidget* pagina, const QString& nome, const QString& testo,
                                   const QRect& pos, QWidget* casella) {
    auto* label = new QLabel(testo, pagina);
    label->setObjectName(nome);
    label->setBuddy(casella);
    posizioni_[label] = pos;
}

void Frm_Configurazione::separatore(QWidget* pagina, int indice, int y) {
    for (int k = 0; k < 2; ++k) {
        auto* linea = new QFrame(pagina);
        linea->setObjectName(QStringLiteral("Lin_Pul_%1").arg(indice + k));
        linea->setFrameShape(QFrame::NoFrame);
        linea->setAutoFillBackground(true);
        linea->setBackgroundRole(k == 0 ? QPalette::Dark : QPalette::Light);
        posizioni_[linea] = QRect(40, y + k, 256, 1);
    }
}

void Frm_Configurazione::creaPaginaPulsiero(QWidget* pagina) {
    static const std::array<const char*, 4> kDescrizioni{"primo", "secondo", "terzo", "quarto"};
    Txt_NomePul_[0] =
        casella(pagina, "Txt_NomePul_0", {96, 56, 185, 19}, QStringLiteral("Nome del pulsiero"));
    etichetta(pagina, QStringLiteral("Lab_Pulsiero_0"), QStringLiteral("&Nome:"), {48, 57, 49, 17},
              Txt_NomePul_[0]);
    separatore(pagina, 0, 88);
    for (int i = 1; i <= 4; ++i) {
        const int y = 104 + (i - 1) * 24;
        Txt_NomePul_[i] = casella(
            pagina, QStringLiteral("Txt_NomePul_%1").arg(i).toLatin1().constData(),
            {96, y, 185, 19},
            QStringLiteral("Descrizione della funzione del %1 tasto").arg(kDescrizioni[i - 1]));
        etichetta(pagina, QStringLiteral("Lab_Pulsiero_%1").arg(i),
                  QStringLiteral("Tasto &%1:").arg(i), {48, y + 1, 49, 17}, Txt_NomePul_[i]);
    }
    separatore(pagina, 2, 208);
    Txt_NomePul_[5] = casella(pagina, "Txt_NomePul_5", {96, 224, 185, 19},
                              QStringLiteral("File sonoro per tasto premuto"));
    etichetta(pagina, QStringLiteral("Lab_Pulsiero_5"), QStringLiteral("&Suono:"),
              {48, 225, 49, 17}, Txt_NomePul_[5]);
}

void Frm_Configurazione::creaPaginaRicevitore(QWidget* pagina) {
    Txt_IP_ = casella(pagina, "Txt_IP", {136, 64, 121, 19},
                      QStringLiteral("Indirizzo IP del ricevitore. Esempio 192.168.1.1"));
    etichetta(pagina, QStringLiteral("Lab_Server_0"), QStringLiteral("&Indirizzo IP:"),
              {72, 65, 65, 17}, Txt_IP_);
    Txt_Porta_ = casella(pagina, "Txt_Porta", {136, 96, 57, 19},
                         QStringLiteral("Numero della porta di comunicazione. Sona validi i "
                                        "valori da 1 a 65535"));
    etichetta(pagina, QStringLiteral("Lab_Server_1"), QStringLiteral("&Porta:"), {72, 97, 65, 17},
              Txt_Porta_);
}

void Frm_Configurazione::creaPaginaCodifica(QWidget* pagina) {
    Txt_NumeroD_ = casella(pagina, "Txt_NumeroD", {200, 64, 81, 19},
                           QStringLiteral("Numero del ricevitore. Sono validi i valori da 1 a "
                                          "1048575"));
    etichetta(pagina, QStringLiteral("Lab_Avanzate_0"), QStringLiteral("Numero del &ricevitore:"),
              {72, 64, 129, 17}, Txt_NumeroD_);
    Txt_NumeroT_ = casella(pagina, "Txt_NumeroT", {200, 96, 81, 19},
                           QStringLiteral("Numero del pulsiero associato al ricevitore. Sono "
                                          "validi i valori da 1 a 128"));
    etichetta(pagina, QStringLiteral("Lab_Avanzate_1"), QStringLiteral("Numero del &pulsiero:"),
              {72, 96, 129, 17}, Txt_NumeroT_);
    Cmd_Reset_ = new QPushButton(QStringLiteral("Reset"), pagina);
    Cmd_Reset_->setObjectName(QStringLiteral("Cmd_Reset"));
    Cmd_Reset_->setToolTip(QStringLiteral("Inizializza il pulsiero"));
    Cmd_Reset_->setAutoDefault(false);
    Cmd_Reset_->installEventFilter(this); // Enter presses it, as Space does
    posizioni_[Cmd_Reset_] = {248, 216, 73, 25};
    connect(Cmd_Reset_, &QPushButton::clicked, this, &Frm_Configurazione::Cmd_Reset_Click);
}

// Enter moves the focus round each page: name, keys 1 to 4, sound and back to the name;
// address and port; receiver and transmitter number.
void Frm_Configurazione::collegaCaselle() {
    for (int i = 0; i < 6; ++i)
        caselle_[Txt_NomePul_[i]].prossima = Txt_NomePul_[(i + 1) % 6];
    caselle_[Txt_IP_].prossima = Txt_Porta_;
    caselle_[Txt_Porta_] = {kPortaMassima, Txt_IP_};
    caselle_[Txt_NumeroD_] = {kRicevitoreMassimo, Txt_NumeroT_};
    caselle_[Txt_NumeroT_] = {kPulsieroMassimo, Txt_NumeroD_};
    for (QLineEdit* numerica : {Txt_Porta_, Txt_NumeroD_, Txt_NumeroT_}) {
        // Typing is filtered key by key; text pasted or dropped that is not a plain unsigned
        // number is refused whole, with a beep.
        numerica->setValidator(new SoloCifre(numerica));
        connect(numerica, &QLineEdit::inputRejected, this, [] { QApplication::beep(); });
    }
}

// Positions are given relative to the tab control, whatever height its style gives the tabs.
void Frm_Configurazione::posiziona() {
    for (const auto& [widget, pos] : posizioni_) {
        const QPoint pagina = widget->parentWidget()->mapTo(SSTab_, QPoint(0, 0));
        widget->setGeometry(pos.translated(-pagina));
    }
}

void Frm_Configurazione::showEvent(QShowEvent* evento) {
    QDialog::showEvent(evento);
    posiziona();
}

void Frm_Configurazione::apri(const TestiFinestra& testi) {
    const Impostazioni& imp = configurazione_.impostazioni();
    Txt_IP_->setText(QString::fromStdString(imp.IndirizzoIP));
    Txt_Porta_->setText(QString::fromStdString(imp.PortaIP));
    Txt_NomePul_[0]->setText(testi.nome);
    for (int i = 1; i <= 4; ++i)
        Txt_NomePul_[i]->setText(testi.tasti[i - 1]);
    Txt_NomePul_[5]->setText(QString::fromStdString(imp.FileSuono));
    Txt_NumeroD_->setText(QString::number(imp.NumeroRicevitore));
    Txt_NumeroT_->setText(QString::number(imp.NumeroTrasmettitore));
    aperti_.clear();
    for (const auto& [box, regola] : caselle_) {
        box->setCursorPosition(0); // a long text shows its beginning
        aperti_[box] = box->text();
    }
    impostaSolaLettura(!configurazione_.scrivibile());
    show();
    raise();
    activateWindow();
    QLineEdit* prima = primaCasella(SSTab_->currentIndex());
    prima->setFocus(Qt::OtherFocusReason);
    selezionaTutto(prima);
}

QLineEdit* Frm_Configurazione::primaCasella(int pagina) const {
    switch (pagina) {
    case 1:
        return Txt_IP_;
    case 2:
        return Txt_NumeroD_;
    default:
        return Txt_NomePul_[0];
    }
}

// A file this user may not write: the boxes can be read and copied, not changed, and a note
// below the pages says why.
void Frm_Configurazione::impostaSolaLettura(bool solaLettura) {
    solaLettura_ = solaLettura;
    for (const auto& [box, regola] : caselle_)
        box->setReadOnly(solaLettura);
    Cmd_Reset_->setEnabled(!solaLettura);
    if (!Lab_SolaLettura_) {
        Lab_SolaLettura_ = new QLabel(this);
        Lab_SolaLettura_->setObjectName(QStringLiteral("Lab_SolaLettura"));
        Lab_SolaLettura_->setTextFormat(Qt::PlainText);
    }
    const int larghezza = kTab.width();
    const QString percorso = Lab_SolaLettura_->fontMetrics().elidedText(configurazione_.percorso(),
                                                                        Qt::ElideMiddle, larghezza);
    Lab_SolaLettura_->setText(
        QStringLiteral("Sola lettura: il file delle impostazioni non può essere modificato.\n") +
        percorso);
    Lab_SolaLettura_->setToolTip(configurazione_.percorso());
    const int altezza = Lab_SolaLettura_->sizeHint().height();
    Lab_SolaLettura_->setGeometry(kTab.left(), kTab.bottom() + 1 + kMargine / 2, larghezza,
                                  altezza);
    Lab_SolaLettura_->setVisible(solaLettura);
    setFixedSize(kAreaClient.width(),
                 kAreaClient.height() + (solaLettura ? altezza + kMargine / 2 : 0));
}

bool Frm_Configurazione::modificato() const {
    for (const auto& [box, testo] : aperti_)
        if (box->text() != testo)
            return true;
    return false;
}

bool Frm_Configurazione::eventFilter(QObject* oggetto, QEvent* evento) {
    if (oggetto == Cmd_Reset_ && evento->type() == QEvent::KeyPress) {
        const int tasto = static_cast<QKeyEvent*>(evento)->key();
        if (tasto == Qt::Key_Return || tasto == Qt::Key_Enter) {
            Cmd_Reset_->click();
            return true;
        }
    }
    auto* box = qobject_cast<QLineEdit*>(oggetto);
    const auto regola = box ? caselle_.find(box) : caselle_.end();
    if (regola == caselle_.end())
        return QDialog::eventFilter(oggetto, evento);
    if (evento->type() == QEvent::FocusIn && arrivoDaTastiera(static_cast<QFocusEvent*>(evento)))
        QTimer::singleShot(0, box, [box] { selezionaTutto(box); });
    if (evento->type() == QEvent::KeyPress)
        return tastoPremuto(box, regola->second, static_cast<QKeyEvent*>(evento));
    return false;
}

bool Frm_Configurazione::tastoPremuto(QLineEdit* box, const Casella& regola, QKeyEvent* evento) {
    if (evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter) {
        if (regola.massimo > 0 && !box->isReadOnly())
            limita(box, regola.massimo);
        regola.prossima->setFocus(Qt::OtherFocusReason);
        return false;
    }
    // Only printable characters go through the digit rule: on X11 Tab, Delete and the Ctrl
    // shortcuts carry control characters as their text, and they must keep working.
    if (regola.massimo == 0 || evento->text().isEmpty())
        return false;
    const QChar c = evento->text().front();
    return c.isPrint() && !(c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

void Frm_Configurazione::reject() {
    close();
}

void Frm_Configurazione::closeEvent(QCloseEvent* evento) {
    // The window is never destroyed: closing saves what changed, reloads and hides it.
    evento->ignore();
    if (!modificato() || SalvaConfigurazione()) {
        nascondiERiprendi();
        return;
    }
    // The user chooses: leave with the edits lost, or stay with them and try again later.
    messaggi_.scelta(QStringLiteral("Configurazione Pulsiero"),
                     QStringLiteral("Attenzione: non è stato possibile salvare la "
                                    "configurazione nel file %1 (%2). Chiudere senza salvare "
                                    "le modifiche?")
                         .arg(percorsoIntero(configurazione_.percorso()), causaSalvataggio_),
                     QStringLiteral("Chiudi senza salvare"),
                     QStringLiteral("Continua a modificare"), [this](bool chiudi) {
                         if (chiudi && isVisible())
                             nascondiERiprendi();
                     });
}

void Frm_Configurazione::nascondiERiprendi() {
    configurazione_.CaricaConfigurazione(false);
    hide();
    emit chiuso();
}

bool Frm_Configurazione::SalvaConfigurazione() {
    correggiPorta(Txt_Porta_);
    // Numbers out of range would make every frame malformed: they get Enter's fix-up too.
    limita(Txt_NumeroD_, kRicevitoreMassimo);
    limita(Txt_NumeroT_, kPulsieroMassimo);
    const auto valore = [](const Chiave& chiave, const QLineEdit* box) {
        return ini::Valore{std::string(chiave.sezione), std::string(chiave.nome),
                           box->text().toStdString()};
    };
    std::vector<ini::Valore> valori{
        valore(chiavi::Indirizzo, Txt_IP_), valore(chiavi::Porta, Txt_Porta_),
        valore(chiavi::Nome, Txt_NomePul_[0]), valore(chiavi::IdPulsiero, Txt_NumeroT_),
        valore(chiavi::IdRicevitore, Txt_NumeroD_)};
    for (int i = 0; i < 4; ++i)
        valori.push_back(valore(chiavi::Tasti[i], Txt_NomePul_[i + 1]));
    valori.push_back({std::string(chiavi::Suono.sezione), std::string(chiavi::SuonoScritto),
                      Txt_NomePul_[5]->text().toStdString()});
    // One write for all ten: the file holds either all of them or none.
    const auto salvato = ScriviIni(valori, configurazione_.percorsoFile());
    causaSalvataggio_ = salvato ? QString() : QString::fromStdString(file::perche(salvato.errore()));
    return static_cast<bool>(salvato);
}

void Frm_Configurazione::Cmd_Reset_Click() {
    messaggi_.domanda(
        kTitoloReset,
        QStringLiteral("Attenzione: L'inizializzazione del pulsiero potrebbe portare ad una "
                       "perdita temporanea della sua funzionalità a causa del possibile "
                       "disallineamento con il ricevitore. Procedere ugualmente con "
                       "l'inizializzazione ?"),
        [this](bool si) {
            if (!si)
                return;
            if (!AzzeraPasso(configurazione_.percorsoFile())) {
                messaggi_.avviso(kTitoloReset,
                                 QStringLiteral("Attenzione: non è stato possibile salvare il "
                                                "contatore dei passi: il pulsiero non è stato "
                                                "inizializzato."));
                return;
            }
            messaggi_.informazione(
                kTitoloReset,
                QStringLiteral("Attenzione: L'inizializzazione del pulsiero è stata eseguita "
                               "correttamente. Si ricorda che, se il pulsiero ha perso la sua "
                               "funzionalità, occore attivare la procedura di inizializzazione "
                               "dei pulsieri sul ricevitore."));
        });
}

} // namespace pulsiero

#include "moc_Frm_Configurazione.cpp"
