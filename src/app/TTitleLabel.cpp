#include "app/TTitleLabel.h"

#include <QEvent>
#include <QFontMetricsF>

TTitleLabel::TTitleLabel(QWidget* parent) : QLabel(parent) {}

void TTitleLabel::setText(const QString& text) {
    QLabel::setText(text);
    fit();
}

void TTitleLabel::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    fit();
}

void TTitleLabel::changeEvent(QEvent* e) {
    QLabel::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        if (font().pointSizeF() != fitted_)
            pointSize_ = 0; // a font set from outside is the band's own
        fit();
    }
}

void TTitleLabel::fit() {
    QFont f = font();
    if (pointSize_ <= 0)
        pointSize_ = f.pointSizeF();
    if (pointSize_ <= 0)
        return; // a font in pixels is left as it is
    f.setPointSizeF(pointSize_);
    const qreal room = contentsRect().width();
    const qreal need = QFontMetricsF(f).horizontalAdvance(text());
    if (need > room && room > 0) {
        // Widths grow with the size nearly in proportion; the last steps make sure.
        qreal size = pointSize_ * room / need;
        f.setPointSizeF(size);
        while (QFontMetricsF(f).horizontalAdvance(text()) > room && size > 1) {
            size -= 0.25;
            f.setPointSizeF(size);
        }
    }
    fitted_ = f.pointSizeF();
    if (f != font())
        setFont(f);
}
