#include "qt/finestre/Frm_About.h"

#include "qt/finestre/ImmagineSvg.h"
#include "qt/platform/IconaTray.h"
#include "qt/platform/Metadati.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QUrl>

#include <algorithm>

namespace pulsiero {

namespace {

const QColor kBluScuro{0, 0, 128};
const QColor kBianco{255, 255, 255};

// The etched separator's two lines take the theme's shadow and light colours.
QFrame* linea(QWidget* parent, const char* nome, int y, QPalette::ColorRole ruolo) {
    auto* l = new QFrame(parent);
    l->setObjectName(QLatin1String(nome));
    l->setGeometry(8, y, 398, 1);
    l->setAutoFillBackground(true);
    l->setBackgroundRole(ruolo);
    return l;
}

void coloraTesto(QLabel* label, const QColor& colore) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colore);
    label->setPalette(p);
}

} // namespace

QString Frm_About::testoVersione(int maggiore, int minore, int revisione) {
    return QStringLiteral("Versione ") + pulsiero::testoVersione(maggiore, minore, revisione);
}

Frm_About::Frm_About(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("Frm_About"));
    setWindowTitle(QStringLiteral("Informazioni su..."));
    setWindowIcon(QIcon(QStringLiteral(":/pulsiero/informazioni.svg")));
    setFixedSize(413, 219);

    // Bottom of the stacking order first.
    auto* logo = new ImmagineSvg(QStringLiteral(":/pulsiero/banner.svg"), this);
    logo->setObjectName(QStringLiteral("Img_Logo"));
    logo->setGeometry(0, 0, 413, 77);
    Lab_Warning_ = etichetta("Lab_Warning", {8, 120, 297, 81}, kBluScuro, 8.25, false,
                             Qt::AlignLeft | Qt::AlignTop);
    Lab_Warning_->setWordWrap(true);
    lblProductName_ = etichetta("lblProductName", {0, 8, 409, 49}, kBianco, 20.25, true,
                                Qt::AlignHCenter | Qt::AlignTop);
    lblVersion_ = etichetta("lblVersion", {0, 48, 414, 16}, kBianco, 8.25, true,
                            Qt::AlignHCenter | Qt::AlignTop);
    lblVersion_->setText(QStringLiteral("Versione X.XX"));
    Lab_copy_ = etichetta("Lab_copy", {0, 85, 417, 19}, kBluScuro, 9.75, true,
                          Qt::AlignHCenter | Qt::AlignTop);
    linea(this, "Line1_0", 109, QPalette::Dark);
    linea(this, "Line1_1", 110, QPalette::Light);

    // The area round the link: the pointer leaving the link in any direction crosses it.
    Img_EMail_ = new QWidget(this);
    Img_EMail_->setObjectName(QStringLiteral("Img_EMail"));
    Img_EMail_->setGeometry(0, 176, 305, 41);
    Img_EMail_->setMouseTracking(true);
    Img_EMail_->installEventFilter(this);
    Lab_EMail_ = etichetta("Lab_EMail", {8, 200, 100, 14}, kBluScuro, 8.25, false,
                           Qt::AlignLeft | Qt::AlignTop);
    Lab_EMail_->setMouseTracking(true); // the pointer keeps its shape: only the underline shows
    Lab_EMail_->installEventFilter(this);

    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(320, 190, 84, 23);
    cmdOK_->setDefault(true);
    connect(cmdOK_, &QPushButton::clicked, this, &Frm_About::cmdOK_Click);

    Form_Load();
    coloraTesti();
    if (const QScreen* schermo = QGuiApplication::primaryScreen())
        move(schermo->availableGeometry().center() - rect().center());
}

QLabel* Frm_About::etichetta(const char* nome, const QRect& pos, const QColor& colore, double punti,
                             bool grassetto, Qt::Alignment allineamento) {
    auto* label = new QLabel(this);
    label->setObjectName(QLatin1String(nome));
    label->setGeometry(pos);
    label->setAlignment(allineamento);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(punti);
    font.setBold(grassetto);
    label->setFont(font);
    coloraTesto(label, colore);
    return label;
}

// Dark blue on a light window, as designed; on a dark theme, the theme's own text and link
// colours, which it makes readable on its window colour.
void Frm_About::coloraTesti() {
    const QPalette tema = QApplication::palette(this);
    const bool chiaro = tema.color(QPalette::Window).lightness() >= 128;
    coloraTesto(Lab_copy_, chiaro ? kBluScuro : tema.color(QPalette::WindowText));
    coloraTesto(Lab_Warning_, chiaro ? kBluScuro : tema.color(QPalette::WindowText));
    coloraTesto(Lab_EMail_, chiaro ? kBluScuro : tema.color(QPalette::Link));
}

void Frm_About::changeEvent(QEvent* evento) {
    QDialog::changeEvent(evento);
    if (evento->type() == QEvent::ApplicationPaletteChange || evento->type() == QEvent::ThemeChange)
        coloraTesti();
}

void Frm_About::Form_Load() {
    lblVersion_->setText(testoVersione(metadati::kVersioneMaggiore, metadati::kVersioneMinore,
                                       metadati::kRevisione));
    lblProductName_->setText(QString::fromUtf8(metadati::kTitolo));
    Lab_copy_->setText(QString::fromUtf8(metadati::kCopyright) +
                       QStringLiteral(" - Tutti i diritti riservati."));
    Lab_Warning_->setText(QStringLiteral(
        "Attenzione: questo programma è tutelato dalle leggi sul diritto d'autore e dai "
        "trattati internazionali. La riproduzione o la distribuzione non autorizzata, anche "
        "parziale, è perseguibile civilmente e penalmente nei limiti previsti dalla legge."));
    Lab_EMail_->setText(QString::fromUtf8(metadati::kEmail));
    // The address is the build's own: the label grows to show all of it, within the link area.
    const int larghezza = Lab_EMail_->fontMetrics().horizontalAdvance(Lab_EMail_->text()) + 2;
    Lab_EMail_->resize(std::clamp(larghezza, 100, Img_EMail_->width() - Lab_EMail_->x()),
                       Lab_EMail_->height());
}

bool Frm_About::eventFilter(QObject* oggetto, QEvent* evento) {
    if (evento->type() == QEvent::MouseMove && (oggetto == Lab_EMail_ || oggetto == Img_EMail_))
        sottolineaEMail(oggetto == Lab_EMail_);
    if (oggetto == Lab_EMail_ && evento->type() == QEvent::MouseButtonPress)
        premutoSullEMail_ = static_cast<QMouseEvent*>(evento)->button() == Qt::LeftButton;
    if (oggetto == Lab_EMail_ && evento->type() == QEvent::MouseButtonRelease)
        rilascioSullEMail(static_cast<QMouseEvent*>(evento));
    return QDialog::eventFilter(oggetto, evento);
}

// A click is a left press and release both on the link; the release of a press that began there
// arrives here even when the pointer has left it.
void Frm_About::rilascioSullEMail(const QMouseEvent* evento) {
    const bool clic = premutoSullEMail_ && evento->button() == Qt::LeftButton &&
                      Lab_EMail_->rect().contains(evento->position().toPoint());
    premutoSullEMail_ = false;
    if (clic)
        QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + Lab_EMail_->text()));
}

void Frm_About::sottolineaEMail(bool sottolineato) {
    QFont font = Lab_EMail_->font();
    if (font.underline() == sottolineato)
        return;
    font.setUnderline(sottolineato);
    Lab_EMail_->setFont(font);
}

void Frm_About::cmdOK_Click() {
    hide();
    emit chiuso();
}

void Frm_About::reject() {
    cmdOK_Click();
}

void Frm_About::accept() {
    cmdOK_Click();
}

void Frm_About::closeEvent(QCloseEvent* evento) {
    evento->ignore();
    cmdOK_Click();
}

} // namespace pulsiero

#include "moc_Frm_About.cpp"
