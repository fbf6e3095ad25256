#pragma once
// Lets the menu bar and the tool bar follow their actions once a frame. The enabling of
// the test controls follows the device's busy and free events, which may alternate with
// every received byte; each change of an action makes its buttons and the bar apply all
// of its properties and lay themselves out again. The gate holds those notifications and
// hands each widget the last one at the frame's end (the first one of a quiet frame at
// once). The actions themselves change at once: a trigger of a disabled action is ignored
// whatever its button shows meanwhile.

#include <QObject>
#include <QPointer>
#include <vector>

class QAction;
class QWidget;
class TFrameGate;

/// Coalesces the action-change notifications of the widgets it watches (window thread).
class TActionGate : public QObject {
public:
    explicit TActionGate(QObject* parent);
    /// Watches w (a menu bar, a tool bar, a tool button).
    void Watch(QWidget* w);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void deliver();

    struct THeld {
        QPointer<QObject> widget;
        QPointer<QAction> action;
    };
    std::vector<THeld> held_;
    TFrameGate* gate_;
    bool sending_ = false;
};
