#pragma once

#include <QColor>
#include <QWidget>

namespace pulsiero {

// The outline drawn around a key of the picture: a circle inscribed in its box. It takes no
// mouse input, so the key beneath it still gets the pointer.
class Contorno : public QWidget {
    Q_OBJECT
public:
    explicit Contorno(QWidget* parent = nullptr);

    QColor colore() const { return colore_; }
    void impostaColore(const QColor& colore);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colore_;
};

} // namespace pulsiero
