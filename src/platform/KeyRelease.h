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
/// single-shot timer ("F2ReleaseTimer") once it is due. setDown changes the button and runs
/// what its click runs. While the button is down the key is also taken where it reaches a
/// widget outside the window (a message box opened over it has the focus): the key let go
/// there still lets the button go.
class TPushKey : public QObject {
public:
    TPushKey(QWidget* window, int key, std::function<bool()> isDown, std::function<void(bool)> setDown);
    void Press();
    /// Ignored while the button is up.
    void Release();
    /// Forgets a held-back release (the window closes).
    void Cancel();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void releaseDue();

    QWidget* window_;
    int keyCode_;
    TKeyRelease key_;
    QTimer* timer_;
    std::function<bool()> isDown_;
    std::function<void(bool)> setDown_;
};
