#include "platform/StallProbe.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>

namespace {

long long SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void StartStallProbe() {
    const QByteArray path = qgetenv("VESK_STALL_PROBE");
    if (path.isEmpty() || !QCoreApplication::instance())
        return;
    FILE* out = std::fopen(path.constData(), "a");
    if (!out)
        return;
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [out, last = SteadyNs()]() mutable {
        const long long now = SteadyNs();
        const long long gap = now - last;
        last = now;
        if (gap > 15'000'000) {
            std::fprintf(out, "%lld %lld\n", now, gap);
            std::fflush(out);
        }
    });
    timer->start();
}
