#pragma once
// Time source of the program. Everything that measures a wait or stamps a row asks
// Clock(); tests install a TFakeClock to drive 115 s waits and hourly timers.

#include <QDateTime>
#include <QtGlobal>

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
/// so that polling loops written against the clock come to an end in tests.
class TFakeClock : public TClock {
public:
    qint64 MonotonicMs() const override;
    QDateTime Now() const override;
    void Advance(qint64 ms);
    void SetNow(const QDateTime& now) { now_ = now; }
    void SetStep(qint64 ms) { step_ = ms; }

private:
    mutable qint64 mono_ = 0;
    mutable QDateTime now_ = QDateTime(QDate(2026, 1, 15), QTime(12, 0, 0));
    qint64 step_ = 0;
};

TClock& Clock();
/// Installs a clock (not owned); nullptr puts back the system clock.
void SetClock(TClock* clock);

/// Waits the given milliseconds on Clock(), processing window events meanwhile.
/// 0 or a negative value returns at once without processing anything. Sleeps between
/// passes (no busy loop).
void Delay(int ms);
