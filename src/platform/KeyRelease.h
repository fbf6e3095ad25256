#pragma once
// A held key's auto-repeat, where the display reports it as release/press pairs (an X
// server without detectable auto-repeat does, and a loaded one splits the pair), must not
// read as the operator letting go. No hand releases and presses again within a few
// milliseconds: a release is held back, and a press of the same key that follows within
// RepeatGapMs on Clock() drops both. Widget-free; the window keeps a timer that asks
// ReleaseDue once MsToDue has passed.

#include <QObject>
#include <QtGlobal>
#include <functional>

class QAbstractButton;
class QTimer;
class QWidget;

class TKeyRelease {
public:
    static constexpr qint64 RepeatGapMs = 30;
    enum class TPress { Fresh, Repeat, AfterRelease };

    /// The key went up: the release is held back.
    void Released();
    /// The key went down: Repeat (the held-back release is dropped, nothing to do),
    /// AfterRelease (the held-back release came longer ago: run it, then the press) or
    /// Fresh (no release waits).
    TPress Pressed();
    /// True once a held-back release is due; it is then taken.
    bool ReleaseDue();
    bool Pending() const { return pending_; }
    /// Milliseconds until the held-back release is due (at least 1).
    int MsToDue() const;
    void Clear() { pending_ = false; }

private:
    bool pending_ = false;
    qint64 at_ = 0;
};

/// A push button worked by a key held down: the window passes the key's press and release
/// (auto-repeats already left out); a release is held back by TKeyRelease and runs from a
/// single-shot timer ("F2ReleaseTimer") once it is due. A change of the button runs clicked,
/// as a click on it does. While the button is down the key is also taken where it reaches a
/// widget outside the window (a message box opened over it has the focus): the key let go
/// there still lets the button go.
/// A press made by the key ends when the window loses the keyboard focus, since the key's
/// release then goes to another window; a press made by a click stays. Once a press has been
/// ended by anything but the key going up (a click, a time limit, the focus), the key still
/// held presses nothing more: its repeats may come unmarked, and only a press after the key
/// has gone up is a new one.
class TPushKey : public QObject {
public:
    TPushKey(QWidget* window, QAbstractButton* button, int key, std::function<void()> clicked);
    void Press();
    /// The key went up, or a repeat's release whose press follows.
    void Release();
    /// Forgets the key (the window closes).
    void Cancel();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void setDown(bool down);
    void releaseDue();
    /// The key has gone up; letGo: the button goes up with it.
    void keyUp(bool letGo);
    void focusLost();

    QWidget* window_;
    QAbstractButton* button_;
    int keyCode_;
    TKeyRelease key_;
    QTimer* timer_;
    std::function<void()> clicked_;
    bool held_ = false;   // the key is down as far as the window has seen
    bool byKey_ = false;  // the button is down by a press of the key
    bool letsGo_ = false; // the held-back release came with the button down
};
