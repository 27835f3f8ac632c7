#include "qt/finestre/Frm_Pulsiero.h"

#include "qt/finestre/Contorno.h"
#include "qt/finestre/Frm_About.h"
#include "qt/finestre/Frm_Configurazione.h"
#include "qt/finestre/ImmagineSvg.h"
#include "qt/finestre/TastoPulsiero.h"
#include "qt/platform/PercorsoImpostazioni.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLayout>
#include <QMenuBar>
#include <QMouseEvent>

#include <functional>

namespace pulsiero {

namespace {

constexpr QSize kAreaClient{203, 304};
constexpr QRect kSfondo{0, 0, 202, 310};
constexpr QRect kInvio{88, 16, 32, 32};
constexpr QRect kEtichetta{32, 216, 137, 17};
constexpr std::array<QRect, 4> kTasti{
    {{50, 73, 36, 37}, {112, 73, 36, 37}, {50, 136, 36, 37}, {112, 136, 36, 37}}};
constexpr std::array<QRect, 4> kContorni{
    {{55, 80, 25, 25}, {117, 80, 25, 25}, {55, 143, 25, 25}, {117, 143, 25, 25}}};

QString nomeIndicizzato(const char* nome, int indice) {
    return QStringLiteral("%1_%2").arg(QLatin1String(nome)).arg(indice);
}

// The keys 1 to 4 of the keyboard, main row or keypad, match the keys of the picture.
int tastoDaTastiera(const QKeyEvent* evento) {
    const int k = evento->key();
    return (k >= Qt::Key_1 && k <= Qt::Key_4) ? k - Qt::Key_1 : -1;
}

// Only a bare digit presses: with Ctrl, Alt or Super held the key belongs to a shortcut.
bool conModificatori(const QKeyEvent* evento) {
    return evento->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

QString descrizioneIniziale(int indice) {
    return QStringLiteral("Tasto %1").arg(indice + 1);
}

} // namespace

Ambiente Ambiente::predefinito(const QString& percorsoIni, const QStringList& argomenti) {
    Ambiente ambiente;
    ambiente.percorsoIni = percorsoIni;
    ambiente.eseguibile = QCoreApplication::applicationFilePath();
    ambiente.cartellaAutostart = AvvioAutomatico::cartellaPredefinita();
    ambiente.cartellaDesktop = CollegamentoDesktop::cartellaPredefinita();
    ambiente.argomenti = argomenti;
    // A file given on the command line that is the usual one keeps the usual entries.
    // (QFileInfo's own == finds any two missing files equal.)
    const auto percorso = [](const QString& file) {
        const QFileInfo info(file);
        return info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    };
    const auto stesso = [&](const QString& a, const QString& b) {
        return percorso(a) == percorso(b);
    };
    if (!argomenti.isEmpty() && !stesso(percorsoIni, scegliImpostazioni().percorso))
        ambiente.fileVoci = percorsoIni;
    return ambiente;
}

Frm_Pulsiero::Frm_Pulsiero(const Ambiente& ambiente, QWidget* parent)
    : QMainWindow(parent), ambiente_(ambiente), configurazione_(ambiente.percorsoIni),
      trasmettitore_(configurazione_), tray_(QIcon(QStringLiteral(":/pulsiero/pulsiero.svg"))),
      uscita_(tray_, trasmettitore_),
      avvioAutomatico_(ambiente.cartellaAutostart, ambiente.eseguibile, ambiente.argomenti,
                       ambiente.fileVoci),
      collegamento_(ambiente.cartellaDesktop, ambiente.eseguibile, ambiente.argomenti,
                    ambiente.fileVoci),
      trayDisponibile_([this] { return tray_.disponibile(); }) {
    setObjectName(QStringLiteral("Frm_Pulsiero"));
    setWindowTitle(titoloFinestra({}));
    setWindowIcon(QIcon(QStringLiteral(":/pulsiero/pulsiero.svg")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    creaControlli();
    menu_ = MenuPrincipale::crea(menuBar());
    collegaMenu();
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(&configurazione_, &Configurazione::caricata, this, &Frm_Pulsiero::applicaTesti);
    connect(&configurazione_, &Configurazione::messaggio, &messaggi_, &Messaggi::mostra);
    connect(&trasmettitore_, &Trasmettitore::messaggio, &messaggi_, &Messaggi::mostra);
    connect(&trasmettitore_, &Trasmettitore::suonaTasto, this,
            [this](const QString& file) { suono_.suona(file); });
    connect(&tray_, &IconaTray::apriRichiesto, this, [this] { NascondiFinestra(false); });
    connect(&tray_, &IconaTray::fineRichiesta, this, [this] { uscita_.FineProgramma(); });
}

Frm_Pulsiero::~Frm_Pulsiero() = default;

void Frm_Pulsiero::creaControlli() {
    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("AreaClient"));
    area->setFixedSize(kAreaClient);
    setCentralWidget(area);
    // The window opens with the keyboard on the picture, not on a key: Space then sends nothing
    // until Tab has visibly reached a key.
    area->setFocusPolicy(Qt::ClickFocus);
    area->setFocus();

    // Created bottom to top: the picture, the keys, the label, the indicator, the outlines.
    Img_Sfondo_ = new ImmagineSvg(QStringLiteral(":/pulsiero/telecomando.svg"), area);
    Img_Sfondo_->setObjectName(QStringLiteral("Img_Sfondo"));
    Img_Sfondo_->setGeometry(kSfondo);
    Img_Sfondo_->setMouseTracking(true);
    Img_Sfondo_->installEventFilter(this);

    for (int i = 0; i < 4; ++i) {
        auto* tasto = new TastoPulsiero(area);
        tasto->setObjectName(nomeIndicizzato("Img_Pulsante", i));
        tasto->setGeometry(kTasti[i]);
        tasto->installEventFilter(this);
        Img_Pulsante_[i] = tasto;
        impostaDescrizione(i, descrizioneIniziale(i));
        collegaTasto(i);
    }

    Lab_Pulsiero_ = new QLabel(area);
    Lab_Pulsiero_->setObjectName(QStringLiteral("Lab_Pulsiero"));
    Lab_Pulsiero_->setGeometry(kEtichetta);
    Lab_Pulsiero_->setTextFormat(Qt::PlainText);
    impostaNome(QStringLiteral("000"));
    Lab_Pulsiero_->setStyleSheet(
        QStringLiteral("color: %1; background: transparent;").arg(kGrigioChiaro.name()));
    Lab_Pulsiero_->setAttribute(Qt::WA_TransparentForMouseEvents);

    Img_Invio_ = new ImmagineSvg(QStringLiteral(":/pulsiero/invio.svg"), area);
    Img_Invio_->setObjectName(QStringLiteral("Img_Invio"));
    Img_Invio_->setGeometry(kInvio);
    Img_Invio_->setAttribute(Qt::WA_TransparentForMouseEvents);

    for (int i = 0; i < 4; ++i) {
        Shp_Bianco_[i] = new Contorno(area);
        Shp_Bianco_[i]->setObjectName(nomeIndicizzato("Shp_Bianco", i));
        Shp_Bianco_[i]->setGeometry(kContorni[i]);
    }
}

// Space on a focused key, or a screen reader's Press action, clicks it as the mouse would, with
// the same feedback. (The mouse itself is handled in eventoTasto.)
void Frm_Pulsiero::collegaTasto(int indice) {
    TastoPulsiero* tasto = Img_Pulsante_[indice];
    connect(tasto, &QAbstractButton::pressed, this, [this, indice] {
        Img_Pulsante_MouseMove(indice);
        Img_Pulsante_MouseDown(indice);
    });
    connect(tasto, &QAbstractButton::released, this,
            [this, indice] { Img_Pulsante_MouseUp(indice); });
    connect(tasto, &QAbstractButton::clicked, this,
            [this, indice] { trasmettitore_.Img_Pulsante_Click(indice); });
}

void Frm_Pulsiero::collegaMenu() {
    connect(menu_.MenuFine, &QAction::triggered, this, &Frm_Pulsiero::MenuFine_Click);
    connect(menu_.MenuAvvioAuto, &QAction::triggered, this, &Frm_Pulsiero::MenuAvvioAuto_Click);
    connect(menu_.MenuCreaCollegamento, &QAction::triggered, this,
            &Frm_Pulsiero::MenuCreaCollegamento_Click);
    connect(menu_.MenuEliminaCollegamento, &QAction::triggered, this,
            &Frm_Pulsiero::MenuEliminaCollegamento_Click);
    connect(menu_.MenuInitCom, &QAction::triggered, this, &Frm_Pulsiero::MenuInitCom_Click);
    connect(menu_.MenuConfigura, &QAction::triggered, this, &Frm_Pulsiero::MenuConfigura_Click);
    connect(menu_.MenuInformazioni, &QAction::triggered, this,
            &Frm_Pulsiero::MenuInformazioni_Click);
}

void Frm_Pulsiero::MenuFine_Click() {
    uscita_.FineProgramma();
}

// Reloads the settings; the next press connects with the address and port just loaded.
void Frm_Pulsiero::MenuInitCom_Click() {
    configurazione_.CaricaConfigurazione(true);
}

// The launcher's own outcome is not reported: the user sees it on the desktop.
void Frm_Pulsiero::MenuCreaCollegamento_Click() {
    collegamento_.crea(descrizioni_);
}

void Frm_Pulsiero::MenuEliminaCollegamento_Click() {
    collegamento_.elimina();
}

void Frm_Pulsiero::impostaTrayDisponibile(std::function<bool()> disponibile) {
    trayDisponibile_ = std::move(disponibile);
}

void Frm_Pulsiero::Form_Load() {
    caricamento_ = true;
    // Both are windows of their own, transient for this one: the window manager keeps them above
    // it, and, being modal to it, gives them the keyboard when this window is clicked.
    about_ = std::make_unique<Frm_About>(this);
    about_->setWindowModality(Qt::WindowModal);
    connect(about_.get(), &Frm_About::chiuso, this, &Frm_Pulsiero::riprendiControllo);
    dialogo_ = std::make_unique<Frm_Configurazione>(configurazione_, messaggi_, this);
    dialogo_->setWindowModality(Qt::WindowModal);
    connect(dialogo_.get(), &Frm_Configurazione::chiuso, this, &Frm_Pulsiero::riprendiControllo);
    configurazione_.CaricaConfigurazione(false);
    NascondiContorni();
    // The random generator was seeded from the clock when the transmitter was created.
    tray_.AggiungiIcona();
    avvioAutomatico_.aggiorna();
    menu_.MenuAvvioAuto->setChecked(avvioAutomatico_.LeggiAvvioAuto());
    // Only a start by the auto-start entry stays hidden: a launcher or a command always shows
    // the window, whatever the entry says.
    NascondiFinestra(ambiente_.avvioAutomatico);
    caricamento_ = false;
}

// The About window or the dialog has closed: the main window takes input again.
void Frm_Pulsiero::riprendiControllo() {
    setEnabled(true);
    activateWindow();
    setFocus();
}

void Frm_Pulsiero::NascondiFinestra(bool nascondi) {
    if (nascondi && !trayDisponibile_()) {
        // Nothing could bring a hidden window back: start as an ordinary minimised window. X11
        // window managers map a window normal whatever state it asked for before the map, so it
        // is shown first and then asked to minimise, a request that reaches the window manager
        // after the map.
        show();
        setWindowState(Qt::WindowMinimized);
        return;
    }
    if (nascondi) {
        setWindowState(Qt::WindowMinimized);
        hide();
        return;
    }
    setWindowState(Qt::WindowNoState);
    show();
    raise();
    activateWindow();
}

void Frm_Pulsiero::applicaTesti(const Impostazioni::TestiPulsiero& testi) {
    VisualizzaInvio(false);
    impostaNome(QString::fromStdString(testi.nome));
    for (int i = 0; i < 4; ++i) {
        const QString descrizione = QString::fromStdString(testi.tasti[i]);
        // An emptied description shows the key's own name again, not the one it replaced.
        impostaDescrizione(i, descrizione.isEmpty() ? descrizioneIniziale(i) : descrizione);
    }
    collegamento_.aggiorna(descrizioni_);
}

// A name that fits is centred; a longer one shows its beginning, cut at the label's right edge.
// The title and the tray icon carry it too, so that windows on different files tell apart.
void Frm_Pulsiero::impostaNome(const QString& nome) {
    setWindowTitle(titoloFinestra(nome));
    tray_.impostaNome(nome);
    Lab_Pulsiero_->setText(nome);
    const bool entra = Lab_Pulsiero_->fontMetrics().horizontalAdvance(nome) <=
                       Lab_Pulsiero_->contentsRect().width();
    Lab_Pulsiero_->setAlignment(entra ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
}

void Frm_Pulsiero::impostaDescrizione(int indice, const QString& descrizione) {
    descrizioni_[indice] = descrizione;
    Img_Pulsante_[indice]->impostaDescrizione(descrizione);
}

QString Frm_Pulsiero::titoloFinestra(const QString& nome) {
    const QString titolo = QStringLiteral("Pulsiero");
    return nome.isEmpty() ? titolo : nome + QStringLiteral(" - ") + titolo;
}

bool Frm_Pulsiero::eventFilter(QObject* oggetto, QEvent* evento) {
    if (oggetto == Img_Sfondo_ && evento->type() == QEvent::MouseMove) {
        Img_Sfondo_MouseMove();
        return false;
    }
    for (int i = 0; i < 4; ++i)
        if (oggetto == Img_Pulsante_[i])
            return eventoTasto(i, evento);
    return QMainWindow::eventFilter(oggetto, evento);
}

// Qt grabs the mouse for the key pressed until the button is released, so a press and its
// release always pair on one key, wherever the pointer goes meanwhile.
bool Frm_Pulsiero::eventoTasto(int indice, QEvent* evento) {
    switch (evento->type()) {
    case QEvent::MouseMove:
        Img_Pulsante_MouseMove(indice);
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: // a quick second press is a press of its own
        Img_Pulsante_MouseDown(indice);
        return true;
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(evento);
        Img_Pulsante_MouseUp(indice);
        const bool sulTasto = Img_Pulsante_[indice]->rect().contains(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && sulTasto)
            trasmettitore_.Img_Pulsante_Click(indice);
        return true;
    }
    default:
        return false;
    }
}

void Frm_Pulsiero::Img_Sfondo_MouseMove() {
    VisualizzaInvio(false);
    NascondiContorni();
}

void Frm_Pulsiero::Img_Pulsante_MouseMove(int indice) {
    NascondiContorni();
    Shp_Bianco_[indice]->show();
}

void Frm_Pulsiero::Img_Pulsante_MouseDown(int indice) {
    VisualizzaInvio(true);
    ColoreContorno(indice, kAcquaChiaro);
}

void Frm_Pulsiero::Img_Pulsante_MouseUp(int indice) {
    VisualizzaInvio(false);
    ColoreContorno(indice, kTeal);
}

void Frm_Pulsiero::NascondiContorni() {
    for (Contorno* contorno : Shp_Bianco_)
        contorno->hide();
}

void Frm_Pulsiero::ColoreContorno(int indice, const QColor& colore) {
    Shp_Bianco_[indice]->impostaColore(colore);
}

void Frm_Pulsiero::VisualizzaInvio(bool visibile) {
    Img_Invio_->setVisible(visibile);
}

void Frm_Pulsiero::keyPressEvent(QKeyEvent* evento) {
    const int indice = tastoDaTastiera(evento);
    if (indice < 0 || conModificatori(evento) || evento->isAutoRepeat() || tastoTastiera_ >= 0) {
        QMainWindow::keyPressEvent(evento);
        return;
    }
    tastoTastiera_ = indice;
    Img_Pulsante_MouseMove(indice);
    Img_Pulsante_MouseDown(indice);
}

void Frm_Pulsiero::keyReleaseEvent(QKeyEvent* evento) {
    const int indice = tastoDaTastiera(evento);
    if (indice < 0 || evento->isAutoRepeat() || indice != tastoTastiera_) {
        QMainWindow::keyReleaseEvent(evento);
        return;
    }
    tastoTastiera_ = -1;
    Img_Pulsante_MouseUp(indice);
    if (!conModificatori(evento))
        trasmettitore_.Img_Pulsante_Click(indice);
}

// A key held while the window loses the keyboard would never see its release: it is let go
// here, without sending.
void Frm_Pulsiero::changeEvent(QEvent* evento) {
    QMainWindow::changeEvent(evento);
    // Activated while disabled (a click on its title bar): the open dialog takes the keyboard,
    // as the window manager does not always hand it on.
    if (evento->type() == QEvent::ActivationChange && isActiveWindow())
        if (QWidget* aperta = secondariaAperta()) {
            aperta->raise();
            aperta->activateWindow();
        }
    const bool persa = (evento->type() == QEvent::ActivationChange && !isActiveWindow()) ||
                       (evento->type() == QEvent::EnabledChange && !isEnabled());
    if (persa && tastoTastiera_ >= 0) {
        Img_Pulsante_MouseUp(tastoTastiera_);
        tastoTastiera_ = -1;
    }
}

void Frm_Pulsiero::closeEvent(QCloseEvent* evento) {
    evento->ignore();
    // While the dialog or the About window is open this window is disabled, and a disabled
    // window cannot be closed: the dialog's edits are not lost.
    if (secondariaAperta())
        return;
    // Otherwise closing the window always ends the program, through the one exit routine.
    uscita_.FineProgramma();
}

void Frm_Pulsiero::MenuAvvioAuto_Click() {
    // Qt has already flipped the tick; it must change only on a confirmed change of the entry.
    const bool spuntato = !menu_.MenuAvvioAuto->isChecked();
    menu_.MenuAvvioAuto->setChecked(spuntato);
    if (caricamento_)
        return;
    if (spuntato)
        DisattivaAvvioAuto();
    else
        AttivaAvvioAuto();
}

void Frm_Pulsiero::AttivaAvvioAuto() {
    if (cambiaAvvioAutomatico(avvioAutomatico_, true,
                              std::bind_front(&QAction::setChecked, menu_.MenuAvvioAuto)))
        return;
    messaggi_.avviso(QStringLiteral("Pulsiero"),
                     QStringLiteral("Attenzione: Il programma non può essere inserito nella tray "
                                    "bar."));
}

void Frm_Pulsiero::DisattivaAvvioAuto() {
    if (cambiaAvvioAutomatico(avvioAutomatico_, false,
                              std::bind_front(&QAction::setChecked, menu_.MenuAvvioAuto)))
        return;
    messaggi_.errore(QStringLiteral("Pulsiero"),
                     QStringLiteral("Attenzione: Il programma è già stato inserito nella tray "
                                    "bar."));
}

void Frm_Pulsiero::MenuConfigura_Click() {
    trasmettitore_.chiudi();
    Frm_Configurazione::TestiFinestra testi;
    testi.nome = Lab_Pulsiero_->text();
    testi.tasti = descrizioni_;
    disabilitaPer(dialogo_.get());
    dialogo_->apri(testi);
}

QWidget* Frm_Pulsiero::secondariaAperta() const {
    if (dialogo_ && dialogo_->isVisible())
        return dialogo_.get();
    if (about_ && about_->isVisible())
        return about_.get();
    return nullptr;
}

// Disabling a window disables its child windows too: the one that opens stays enabled.
void Frm_Pulsiero::disabilitaPer(QWidget* secondaria) {
    setEnabled(false);
    secondaria->setEnabled(true);
}

void Frm_Pulsiero::MenuInformazioni_Click() {
    disabilitaPer(about_.get());
    about_->show();
    about_->raise();
    about_->activateWindow();
}

} // namespace pulsiero

#include "moc_Frm_Pulsiero.cpp"
