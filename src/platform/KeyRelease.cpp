#include "platform/KeyRelease.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <utility>

void TKeyRelease::Released() {
    if (pending_)
        return; // the first release of a pair counts from its own time
    pending_ = true;
    at_ = Clock().MonotonicMs();
}

TKeyRelease::TPress TKeyRelease::Pressed() {
    if (!pending_)
        return TPress::Fresh;
    pending_ = false;
    return Clock().MonotonicMs() - at_ <= RepeatGapMs ? TPress::Repeat : TPress::AfterRelease;
}

bool TKeyRelease::ReleaseDue() {
    if (!pending_ || Clock().MonotonicMs() - at_ <= RepeatGapMs)
        return false;
    pending_ = false;
    return true;
}

int TKeyRelease::MsToDue() const {
    return int(std::clamp<qint64>(at_ + RepeatGapMs + 1 - Clock().MonotonicMs(), 1, RepeatGapMs + 1));
}

TPushKey::TPushKey(QWidget* window, int key, std::function<bool()> isDown, std::function<void(bool)> setDown)
    : QObject(window), window_(window), keyCode_(key), timer_(new QTimer(this)), isDown_(std::move(isDown)),
      setDown_(std::move(setDown)) {
    timer_->setObjectName("F2ReleaseTimer");
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &TPushKey::releaseDue);
    QCoreApplication::instance()->installEventFilter(this);
}

bool TPushKey::eventFilter(QObject* watched, QEvent* e) {
    const QEvent::Type type = e->type();
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !watched->isWidgetType())
        return false;
    const auto* k = static_cast<QKeyEvent*>(e);
    // The window's own widgets pass the key on themselves; a box over the window does not.
    // A closed window leaves the key to the others, even with its button left down.
    if (k->key() != keyCode_ || static_cast<QWidget*>(watched)->window() == window_ ||
        !window_->isVisible() || !isDown_())
        return false;
    if (!k->isAutoRepeat()) {
        if (type == QEvent::KeyRelease)
            Release();
        else
            Press(); // with the button down only a repeat's press: it keeps the key held
    }
    e->accept();
    return true;
}

void TPushKey::Press() {
    switch (key_.Pressed()) {
    case TKeyRelease::TPress::Repeat:
        timer_->stop();
        return;
    case TKeyRelease::TPress::AfterRelease:
        timer_->stop();
        setDown_(false);
        break;
    case TKeyRelease::TPress::Fresh:
        break;
    }
    if (!isDown_())
        setDown_(true);
}

void TPushKey::Release() {
    if (!isDown_())
        return;
    key_.Released();
    timer_->start(key_.MsToDue());
}

void TPushKey::Cancel() {
    key_.Clear();
    timer_->stop();
}

void TPushKey::releaseDue() {
    if (!key_.Pending())
        return;
    if (!key_.ReleaseDue()) {
        timer_->start(key_.MsToDue());
        return;
    }
    if (isDown_())
        setDown_(false);
}
