#pragma once
// A received frame, the queue of results of the running test and the factory-number
// digits collected while a test runs.

#include <QString>
#include <cstdint>
#include <deque>

/// One received frame: opening byte, state, digits in arrival order.
struct TFrame {
    uint8_t Code = 0;  // even opening byte 0xE0-0xFE; 0 when none is held
    uint8_t State = 0; // 1 being received, 2 complete, 0 consumed
    uint8_t Nibbles[16] = {};
    uint8_t Count = 0;
};

inline constexpr int BlockCount = 8;
inline constexpr int BlockDigits = 16;
/// Factory-number digits of the radio station's 8 blocks (frame F8), 16 digit values each.
struct TBlockNumDigits {
    uint8_t Digits[BlockCount][BlockDigits] = {};
    bool IsEmpty() const;
};
/// Digits reported by frames F8 since the last free event or save.
extern TBlockNumDigits BlockNumDigits;
/// Zeroes BlockNumDigits (free event, after each tests 2/3 answer).
void ClearBlockNumDigits();

inline constexpr int ResultQueueSize = 10;
/// Results of the running test, filled by the frame decoder, consumed by the wait loops.
extern TFrame ResultQueue[ResultQueueSize];
extern int ResultCount;
/// What a queued result needs from the moment it arrived. The frames of the station's
/// next session (its numbers, factory numbers, tone events) may come before the wait
/// loop takes this result, so the result's own copy is what its journal rows take.
struct TResultContext {
    QString Train, Loco;             // TrainNumber, LocoNumber
    QString DeviceTrain, DeviceLoco; // the station's own numbers (panel captions)
    QString Deviation[3];            // MeasuredDeviation
    QString ToneD, ToneG, ToneM;     // the tone flags of the session
    TBlockNumDigits BlockNums;       // factory numbers reported since the last result
    bool FromPc = false;             // the answer to a test started from the PC ("От ВЕСК")
};
extern TResultContext ResultContexts[ResultQueueSize];
/// The shared state a result would take at this moment.
TResultContext SessionContext();
/// True while the queue's run was started by the station: results of its other tests are
/// then queued too instead of being dropped.
extern bool ResultQueueFromStation;
/// Empties the queue and the backlog (every test started from the PC does so when it sets
/// RunningTest). tell: results still waiting in them (they came during test 1, which takes
/// none) are named to the operator as not journalled.
void ClearResultQueue(bool tell = false);

/// A station result that found the queue full, with what came with it.
struct TPendingResult {
    TFrame Frame;
    TResultContext Context;
};
/// Results that did not fit the queue wait here in the order they came; each wait that
/// ends refills the queue from here, so a station that reports faster than the journal
/// takes its results loses none of them.
extern std::deque<TPendingResult> ResultBacklog;
/// Beyond this many waiting results the station is out of step with the program: a
/// further result is not kept, and the operator is told which ones went.
inline constexpr int ResultBacklogLimit = 1000;
/// Moves waiting results into the free entries of the queue; returns how many moved.
int RefillResultQueue();
