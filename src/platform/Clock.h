#pragma once
// Time source of the program. Everything that measures a wait or stamps a row asks
// Clock(); tests install a TFakeClock to drive 115 s waits and hourly timers.

#include <QDateTime>
#include <QtGlobal>
#include <atomic>
#include <mutex>

class TClock {
public:
    virtual ~TClock() = default;
    /// Milliseconds on a clock that never jumps (not the time of day).
    virtual qint64 MonotonicMs() const;
    /// Local date and time of day.
    virtual QDateTime Now() const;
    /// Local time of day (Now().time(); the system clock's is cheaper).
    virtual QTime TimeOfDay() const;
};

/// A clock that moves only when told to; optionally by Step ms on each MonotonicMs() read,
/// so that polling loops written against the clock come to an end in tests. It may be read
/// from any thread (the link's writer reads its time-outs on it).
class TFakeClock : public TClock {
public:
    qint64 MonotonicMs() const override;
    QDateTime Now() const override;
    void Advance(qint64 ms);
    void SetNow(const QDateTime& now) {
        std::lock_guard lock(mutex_);
        now_ = now;
    }
    void SetStep(qint64 ms) { step_ = ms; }

private:
    mutable std::mutex mutex_; // guards now_
    mutable std::atomic<qint64> mono_{0};
    mutable QDateTime now_ = QDateTime(QDate(2026, 1, 15), QTime(12, 0, 0));
    std::atomic<qint64> step_{0};
};

TClock& Clock();
/// Installs a clock (not owned); nullptr puts back the system clock. Clock() may be read
/// from any thread; the clock installed must outlive its readers.
void SetClock(TClock* clock);

/// Waits the given milliseconds on Clock(), processing window events meanwhile.
/// 0 or a negative value returns at once without processing anything. Sleeps between
/// passes (no busy loop).
void Delay(int ms);
