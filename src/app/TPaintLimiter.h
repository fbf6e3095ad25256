#pragma once
// Paints a window at most once a frame. A change of any of its widgets asks the window
// for a repaint at the next turn of the event loop; while bytes stream in, such turns come
// hundreds of times a second. The limiter lets one repaint through per frame and holds
// the requests in between: the widgets' dirty regions wait and are painted together at
// the frame's end.

#include "platform/FrameGate.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class QTimer;
class QWidget;

/// Limits the repaints of one window to the frame rate (window thread).
class TPaintLimiter : public QObject {
public:
    TPaintLimiter(QWidget* window, int frameMs = ScreenFrameMs);
    /// Repaints let through so far.
    int Paints() const { return paints_; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void paintNow();

    QPointer<QWidget> window_;
    QTimer* timer_;
    QElapsedTimer last_;
    int frameMs_;
    int paints_ = 0;
    bool sending_ = false;
};
