#pragma once
// A received frame and the queue of results of the running test.

#include <cstdint>

/// One received frame: opening byte, state, digits in arrival order.
struct TFrame {
    uint8_t Code = 0;  // even opening byte 0xE0-0xFE; 0 when none is held
    uint8_t State = 0; // 1 being received, 2 complete, 0 consumed
    uint8_t Nibbles[16] = {};
    uint8_t Count = 0;
};

inline constexpr int ResultQueueSize = 10;
/// Results of the running test, filled by the frame decoder, consumed by the wait loops.
extern TFrame ResultQueue[ResultQueueSize];
extern int ResultCount;
/// Empties the queue (every test started from the PC does so when it sets RunningTest).
void ClearResultQueue();
