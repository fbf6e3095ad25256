#include "app/TPaintLimiter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

TPaintLimiter::TPaintLimiter(QWidget* window, int frameMs)
    : QObject(window), window_(window), timer_(new QTimer(this)), frameMs_(frameMs) {
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &TPaintLimiter::paintNow);
    window->installEventFilter(this);
}

bool TPaintLimiter::eventFilter(QObject* watched, QEvent* e) {
    if (watched != window_ || e->type() != QEvent::UpdateRequest || sending_)
        return false;
    if (timer_->isActive())
        return true; // the frame's repaint is already on its way
    if (!last_.isValid() || last_.elapsed() >= frameMs_) {
        last_.start();
        ++paints_;
        return false;
    }
    timer_->start(int(frameMs_ - last_.elapsed()));
    return true;
}

void TPaintLimiter::paintNow() {
    if (!window_)
        return;
    last_.start();
    ++paints_;
    sending_ = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window_, &request);
    sending_ = false;
}
