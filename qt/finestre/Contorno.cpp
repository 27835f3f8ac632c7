#include "qt/finestre/Contorno.h"

#include <QPainter>

namespace pulsiero {

Contorno::Contorno(QWidget* parent) : QWidget(parent), colore_(0, 192, 192) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void Contorno::impostaColore(const QColor& colore) {
    colore_ = colore;
    update();
}

void Contorno::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colore_, 2));
    painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
}

} // namespace pulsiero

#include "moc_Contorno.cpp"
