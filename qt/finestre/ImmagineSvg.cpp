#include "qt/finestre/ImmagineSvg.h"

#include <QPainter>

namespace pulsiero {

ImmagineSvg::ImmagineSvg(const QString& risorsa, QWidget* parent)
    : QWidget(parent), renderer_(risorsa) {
    setAttribute(Qt::WA_NoSystemBackground);
}

void ImmagineSvg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    renderer_.render(&painter, QRectF(rect()));
}

} // namespace pulsiero

#include "moc_ImmagineSvg.cpp"
