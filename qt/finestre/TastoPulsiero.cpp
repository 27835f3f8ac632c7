#include "qt/finestre/TastoPulsiero.h"

#include <QFontMetrics>
#include <QPainter>
#include <QToolTip>

namespace pulsiero {

namespace {

constexpr int kCaratteriPerRiga = 50;
const QColor kAnello{192, 192, 192}; // the name's light grey, clear on the black transmitter

// Words longer than a whole line are cut, so that no line outgrows the limit.
QStringList righeTooltip(const QString& testo, const QFontMetrics& metrica, int larghezza) {
    QStringList righe;
    QString riga;
    const auto entra = [&](const QString& t) { return metrica.horizontalAdvance(t) <= larghezza; };
    for (const QString& parola : testo.split(QLatin1Char(' '))) {
        const QString conParola = riga.isEmpty() ? parola : riga + QLatin1Char(' ') + parola;
        if (entra(conParola)) {
            riga = conParola;
            continue;
        }
        if (!riga.isEmpty())
            righe << riga;
        riga = parola;
        while (!entra(riga)) {
            int n = riga.size() - 1;
            while (n > 1 && !entra(riga.left(n)))
                --n;
            righe << riga.left(n);
            riga = riga.mid(n);
        }
    }
    righe << riga;
    return righe;
}

} // namespace

QString tooltipLetterale(const QString& testo) {
    const QFontMetrics metrica(QToolTip::font());
    const QStringList righe =
        righeTooltip(testo, metrica, metrica.averageCharWidth() * kCaratteriPerRiga);
    QStringList html;
    for (const QString& riga : righe)
        html << riga.toHtmlEscaped();
    // Pre-formatted, so that blanks stay as typed; the lines are already broken.
    return QStringLiteral("<p style=\"white-space:pre\">") + html.join(QStringLiteral("<br>")) +
           QStringLiteral("</p>");
}

TastoPulsiero::TastoPulsiero(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
}

void TastoPulsiero::impostaDescrizione(const QString& descrizione) {
    setToolTip(tooltipLetterale(descrizione));
    setAccessibleName(descrizione);
    setAccessibleDescription(descrizione);
}

// Nothing is drawn but the focus ring, and only when the keyboard brought the focus here.
void TastoPulsiero::paintEvent(QPaintEvent*) {
    if (!hasFocus() || !window()->testAttribute(Qt::WA_KeyboardFocusChange))
        return;
    QPainter pittore(this);
    pittore.setRenderHint(QPainter::Antialiasing);
    pittore.setPen(QPen(kAnello, 1.5, Qt::DashLine));
    pittore.drawEllipse(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
}

} // namespace pulsiero

#include "moc_TastoPulsiero.cpp"
