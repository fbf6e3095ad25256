#include "FuzzTarget.h"

#include "link/EventDecoder.h"
#include "link/FrameDecoder.h"
#include "link/Receiver.h"
#include "link/Sound.h"
#include "link/TraceRing.h"
#include "runs/JournalWriters.h"
#include "runs/TestState.h"
#include "state/UVesk.h"

#include <QString>

namespace {

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

void StartState(uint8_t mode) {
    // Failures meant for the operator (results lost to a full backlog) wait for a window
    // that never comes here: each input starts without those of the inputs before it.
    TakeUntoldNotices();
    SetStartupDefaults();
    ResetTestState();
    ResetReceiver();
    ResetEventDecoder();
    ClearResultQueue();
    ResultBacklog.clear();
    ClearBlockNumDigits();
    ResetTraceRings();
    DataErrorFlags = (mode & 0x40) ? 4u : 0u;
    CurrentChannel = uint8_t(1 + (mode >> 5) % 6);
    RunningTest = mode & 3;
    if (mode & 4) {
        SoundFlags = SoundReceiving;
        SoundTransferOn = true;
        SoundMode = (mode & 8) ? 1 : 0;
        SoundFirstByte = (mode & 16) != 0;
    }
    if (mode & 0x80)
        ConfigWord = QStringLiteral("06400042");
}

} // namespace

int VeskFuzzOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    StartState(data[0]);
    for (size_t i = 1; i < size; ++i) {
        ReceiveByte(data[i]);
        Check(RxFrame.Count <= 16);
        Check(SoundHoldCount >= 0 && SoundHoldCount <= 16);
        Check(SoundWriteIdx >= 0 && SoundWriteIdx < SoundRingSize);
        Check(SoundRingFill() >= 0 && SoundRingFill() < SoundRingSize);
        Check(ResultCount >= 0 && ResultCount <= ResultQueueSize);
        Check(RunningTest <= 3);
        Check(CurrentChannel <= 6);
        Check(HeartbeatProgress >= 0 && HeartbeatProgress <= 100);
        Check(ConfigWord.size() == 8);
    }
    // The helpers other parts run on a received frame.
    QString hex;
    FrameNibblesValue(RxFrame, hex, -1);
    Check(hex.size() <= 16);
    Check(!FormatTrainNumber(RxFrame).isEmpty());
    Check(!FormatLocoNumber(RxFrame).isEmpty());
    Check(TraceSnapshot(RxTraceRing).size() <= 1024);
    ResetReceiver();
    return 0;
}
