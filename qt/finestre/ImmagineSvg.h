#pragma once

#include <QSvgRenderer>
#include <QWidget>

namespace pulsiero {

// A picture drawn from its SVG at whatever scale the screen has, so it stays sharp.
class ImmagineSvg : public QWidget {
    Q_OBJECT
public:
    ImmagineSvg(const QString& risorsa, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSvgRenderer renderer_;
};

} // namespace pulsiero
