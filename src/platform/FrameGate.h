#pragma once
// Keeps a screen change to the frame rate: a request runs the change at once when the
// last run is a frame ago, otherwise once at the end of the running frame, so that a
// fast stream of state changes costs one repaint or layout a frame, and a single change
// shows without delay.

#include <QElapsedTimer>
#include <QObject>
#include <functional>

class QTimer;

/// The screen follows a stream of changes 30 times a second.
inline constexpr int ScreenFrameMs = 33;

/// Runs its change at most once a frame (window thread).
class TFrameGate : public QObject {
public:
    TFrameGate(std::function<void()> apply, QObject* parent, int frameMs = ScreenFrameMs);
    /// Asks for the change: now, or at the end of the frame.
    void Request();
    /// Runs a change that waits for the frame's end now.
    void Flush();
    /// Drops a change that waits for the frame's end (a newer one was made meanwhile).
    void Cancel();
    bool Pending() const;

private:
    void run();

    std::function<void()> apply_;
    QTimer* timer_;
    QElapsedTimer last_;
    int frameMs_;
};
