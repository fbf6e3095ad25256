#pragma once
// The rings of the last bytes received and sent, shown by the monitor window and the
// voice call window's chart.

#include <QByteArray>
#include <atomic>
#include <cstdint>

/// Ring of the last bytes that passed: Head is the oldest, Tail the next write; equal
/// means empty; a full ring holds 1024 bytes and drops the oldest on each write.
struct TTraceRing {
    uint8_t Data[1025] = {};
    std::atomic<int32_t> Head{0};
    std::atomic<int32_t> Tail{0};

    inline void Put(uint8_t b);
    void Reset();
};

extern TTraceRing RxTraceRing;
extern TTraceRing TxTraceRing;

/// Advances a ring index: from 1024 to 0, else by one.
inline void RingInc(int32_t& i) {
    i = (i >= 1024) ? 0 : i + 1;
}
void TTraceRing::Put(uint8_t b) {
    int32_t tail = Tail.load(std::memory_order_relaxed);
    if (tail < 0 || tail > 1024)
        tail = 0;
    Data[tail] = b;
    RingInc(tail);
    int32_t head = Head.load(std::memory_order_relaxed);
    if (tail == head) {
        RingInc(head);
        Head.store(head, std::memory_order_release);
    }
    Tail.store(tail, std::memory_order_release);
}

/// Empties both rings.
void ResetTraceRings();
/// The bytes of a ring, oldest first. The writers take no lock, so the copy is taken
/// again until Head and Tail read the same before and after it.
QByteArray TraceSnapshot(const TTraceRing& ring);
