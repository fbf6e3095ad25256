#include "app/TActionGate.h"

#include "platform/FrameGate.h"

#include <QAction>
#include <QActionEvent>
#include <QCoreApplication>
#include <QWidget>

TActionGate::TActionGate(QObject* parent)
    : QObject(parent), gate_(new TFrameGate([this] { deliver(); }, this)) {}

void TActionGate::Watch(QWidget* w) {
    if (w)
        w->installEventFilter(this);
}

bool TActionGate::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::ActionChanged || sending_)
        return false;
    QAction* action = static_cast<QActionEvent*>(e)->action();
    const bool known = std::any_of(held_.begin(), held_.end(),
                                   [&](const THeld& h) { return h.widget == watched && h.action == action; });
    if (!known)
        held_.push_back({watched, action});
    gate_->Request();
    return true;
}

void TActionGate::deliver() {
    auto held = std::move(held_);
    held_.clear();
    sending_ = true;
    for (const THeld& h : held)
        if (h.widget && h.action) {
            QActionEvent e(QEvent::ActionChanged, h.action);
            QCoreApplication::sendEvent(h.widget, &e);
        }
    sending_ = false;
}
