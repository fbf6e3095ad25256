#include "link/TraceRing.h"

TTraceRing RxTraceRing;
TTraceRing TxTraceRing;

void TTraceRing::Reset() {
    Head.store(0, std::memory_order_release);
    Tail.store(0, std::memory_order_release);
}

void ResetTraceRings() {
    RxTraceRing.Reset();
    TxTraceRing.Reset();
}

QByteArray TraceSnapshot(const TTraceRing& ring) {
    QByteArray out;
    for (int attempt = 0; attempt < 100; ++attempt) {
        int32_t head = ring.Head.load(std::memory_order_acquire);
        const int32_t tail = ring.Tail.load(std::memory_order_acquire);
        out.clear();
        for (int32_t i = head; i != tail && out.size() < 1025; RingInc(i))
            out.append(char(ring.Data[i]));
        if (ring.Head.load(std::memory_order_acquire) == head &&
            ring.Tail.load(std::memory_order_acquire) == tail)
            return out;
    }
    return out;
}
