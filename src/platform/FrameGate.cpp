#include "platform/FrameGate.h"

#include <QTimer>

TFrameGate::TFrameGate(std::function<void()> apply, QObject* parent, int frameMs)
    : QObject(parent), apply_(std::move(apply)), timer_(new QTimer(this)), frameMs_(frameMs) {
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { run(); });
}

void TFrameGate::Request() {
    if (timer_->isActive())
        return;
    if (!last_.isValid() || last_.elapsed() >= frameMs_) {
        run();
        return;
    }
    timer_->start(int(frameMs_ - last_.elapsed()));
}

void TFrameGate::Flush() {
    if (timer_->isActive())
        run();
}

void TFrameGate::Cancel() {
    timer_->stop();
}

bool TFrameGate::Pending() const {
    return timer_->isActive();
}

void TFrameGate::run() {
    timer_->stop();
    last_.start();
    apply_();
}
