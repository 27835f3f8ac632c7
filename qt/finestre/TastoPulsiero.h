#pragma once

#include <QAbstractButton>

namespace pulsiero {

// A key of the transmitter's picture: a transparent hot area over the drawn key. To assistive
// technology and the keyboard it is a push button (Tab reaches it, Space or a screen reader's
// Press action clicks it); the mouse is handled by the main window, which owns the feedback.
class TastoPulsiero : public QAbstractButton {
    Q_OBJECT
public:
    explicit TastoPulsiero(QWidget* parent = nullptr);

    // What the tooltip, the accessible name and the accessible description show, as typed.
    void impostaDescrizione(const QString& descrizione);

protected:
    void paintEvent(QPaintEvent* evento) override;
};

// The text as a tooltip that shows it literally (no markup, no entities), broken at blanks into
// lines no wider than about fifty characters of the tooltip font.
QString tooltipLetterale(const QString& testo);

} // namespace pulsiero
