#include "platform/Clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>

namespace {

/// The system clock; its time of day looks the local offset up once a second, since a
/// local date and time reads the time zone file each time it is made.
class TSystemClock : public TClock {
public:
    QTime TimeOfDay() const override {
        const qint64 utc = QDateTime::currentMSecsSinceEpoch();
        if (utc / 1000 != second_) {
            second_ = utc / 1000;
            offsetMs_ = qint64(QDateTime::fromMSecsSinceEpoch(utc).offsetFromUtc()) * 1000;
        }
        constexpr qint64 day = 86'400'000;
        return QTime::fromMSecsSinceStartOfDay(int(((utc + offsetMs_) % day + day) % day));
    }

private:
    mutable qint64 second_ = -1;
    mutable qint64 offsetMs_ = 0;
};

TSystemClock systemClock;
std::atomic<TClock*> current{&systemClock};
} // namespace

qint64 TClock::MonotonicMs() const {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

QDateTime TClock::Now() const {
    return QDateTime::currentDateTime();
}

QTime TClock::TimeOfDay() const {
    return Now().time();
}

qint64 TFakeClock::MonotonicMs() const {
    const qint64 step = step_;
    if (step <= 0)
        return mono_;
    std::lock_guard lock(mutex_);
    now_ = now_.addMSecs(step);
    return mono_.fetch_add(step);
}

QDateTime TFakeClock::Now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void TFakeClock::Advance(qint64 ms) {
    std::lock_guard lock(mutex_);
    mono_ += ms;
    now_ = now_.addMSecs(ms);
}

TClock& Clock() {
    return *current.load();
}

void SetClock(TClock* clock) {
    current = clock ? clock : &systemClock;
}

void Delay(int ms) {
    const qint64 start = Clock().MonotonicMs();
    for (;;) {
        const qint64 passed = Clock().MonotonicMs() - start;
        if (passed >= ms)
            return;
        if (!QCoreApplication::instance())
            return;
        // One pass of the event loop, sleeping until an event or a short timer.
        QEventLoop loop;
        QTimer::singleShot(int(std::clamp<qint64>(ms - passed, 1, 10)), &loop, &QEventLoop::quit);
        loop.exec();
    }
}
