#include "app/TGauge.h"

#include <QPainter>
#include <QtMath>
#include <algorithm>

TGauge::TGauge(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {}

void TGauge::SetProgress(int value) {
    value = std::clamp(value, min_, max_);
    if (value != progress_) {
        progress_ = value;
        update();
    }
}

void TGauge::SetMaxValue(int value) {
    max_ = std::max(value, min_);
    progress_ = std::min(progress_, max_);
    update();
}

void TGauge::SetMinValue(int value) {
    min_ = std::min(value, max_);
    progress_ = std::max(progress_, min_);
    update();
}

void TGauge::SetBackColor(const QColor& c) {
    back_ = c;
    update();
}

void TGauge::SetForeColor(const QColor& c) {
    fore_ = c;
    update();
}

void TGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double span = max_ > min_ ? double(progress_ - min_) / double(max_ - min_) : 0.0;
    if (kind_ == Pie) {
        const int side = std::min(width(), height()) - 2;
        const QRectF r((width() - side) / 2.0, (height() - side) / 2.0, side, side);
        p.setPen(Qt::black);
        p.setBrush(back_);
        p.drawEllipse(r);
        p.setBrush(fore_);
        p.drawPie(r, 90 * 16, -int(span * 360 * 16));
        return;
    }
    // Needle: a half dial, the needle swings from left (min) to right (max).
    p.fillRect(rect(), back_);
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    const QPointF centre(width() / 2.0, height() - 3.0);
    const double radius = std::min(width() / 2.0, double(height())) - 4.0;
    p.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), 0, 180 * 16);
    const double angle = M_PI * (1.0 - span);
    QPen pen(fore_, 2);
    p.setPen(pen);
    p.drawLine(centre, centre + QPointF(radius * std::cos(angle), -radius * std::sin(angle)));
}
