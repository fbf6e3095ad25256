#include "platform/KeyRelease.h"

#include "platform/Clock.h"

#include <QAbstractButton>
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

TPushKey::TPushKey(QWidget* window, QAbstractButton* button, int key, std::function<void()> clicked)
    : QObject(window), window_(window), button_(button), keyCode_(key), timer_(new QTimer(this)),
      clicked_(std::move(clicked)) {
    timer_->setObjectName("F2ReleaseTimer");
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &TPushKey::releaseDue);
    connect(button_, &QAbstractButton::toggled, this, [this](bool down) {
        if (!down)
            byKey_ = false;
    });
    QCoreApplication::instance()->installEventFilter(this);
}

bool TPushKey::eventFilter(QObject* watched, QEvent* e) {
    const QEvent::Type type = e->type();
    // The application deactivated, a screen locker's grab, another window of the program or of
    // another application made active: all reach the window as its deactivation. A closed
    // window keeps its button as it was.
    if (type == QEvent::WindowDeactivate && watched == window_ && window_->isVisible()) {
        focusLost();
        return false;
    }
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !watched->isWidgetType())
        return false;
    const auto* k = static_cast<QKeyEvent*>(e);
    // The window's own widgets pass the key on themselves; a box over the window does not.
    // A closed window leaves the key to the others, even with its button left down.
    if (k->key() != keyCode_ || static_cast<QWidget*>(watched)->window() == window_ ||
        !window_->isVisible() || !button_->isChecked())
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

void TPushKey::setDown(bool down) {
    if (down)
        byKey_ = true; // before the click runs: the focus may go while it waits
    button_->setChecked(down);
    clicked_();
}

void TPushKey::Press() {
    switch (key_.Pressed()) {
    case TKeyRelease::TPress::Repeat:
        timer_->stop();
        return;
    case TKeyRelease::TPress::AfterRelease:
        timer_->stop();
        keyUp(letsGo_);
        break;
    case TKeyRelease::TPress::Fresh:
        if (held_)
            return; // a repeat that came without its release
        break;
    }
    held_ = true;
    if (!button_->isChecked())
        setDown(true);
}

void TPushKey::Release() {
    // Also a release of a key not seen going down (pressed while another window had the
    // focus): the key was held, and it is held back like any other to tell a repeat.
    // Only a button down when the key went up goes up with it: one pressed by a click in the
    // moment the release is held back stays down.
    letsGo_ = (key_.Pending() && letsGo_) || button_->isChecked();
    held_ = true;
    key_.Released();
    timer_->start(key_.MsToDue());
}

void TPushKey::Cancel() {
    key_.Clear();
    timer_->stop();
    held_ = false;
}

void TPushKey::releaseDue() {
    if (!key_.Pending())
        return;
    if (!key_.ReleaseDue()) {
        timer_->start(key_.MsToDue());
        return;
    }
    keyUp(letsGo_);
}

void TPushKey::keyUp(bool letGo) {
    held_ = false;
    if (letGo && button_->isChecked())
        setDown(false);
}

void TPushKey::focusLost() {
    // The key goes up in the window that has the focus now: it counts as up here.
    const bool wentUp = key_.Pending() && letsGo_;
    Cancel();
    if (button_->isChecked() && (byKey_ || wentUp))
        setDown(false);
}
