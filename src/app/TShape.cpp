#include "app/TShape.h"

#include <QPainter>

TShape::TShape(QWidget* parent) : QWidget(parent) {
    setFixedSize(16, 16);
}

void TShape::SetBrushColor(const QColor& c) {
    if (c != color_) {
        color_ = c;
        update();
    }
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::black);
    p.setBrush(color_);
    p.drawEllipse(QRectF(1, 1, width() - 2, height() - 2));
}
