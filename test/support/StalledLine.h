#pragma once
// Fills the line of a simulated station that has stopped reading, for the tests of sends that
// must not wait for it.
#include "Station.h"
#include "link/TxBuffer.h"

#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>

/// Writes, without waiting, until the line takes nothing on several ticks apart (the kernel
/// frees room on its own time); the bytes written are added to `written`. True once it has
/// filled (a socket's buffers hold megabytes: no pause while the line takes bytes).
inline bool FillLineAgain(vesksim::TBytes& written) {
    int stalled = 0;
    for (int tick = 0; tick < 100000 && stalled < 5; ++tick) {
        TxBuffer.Len = 1024;
        for (int i = 0; i < 1024; ++i)
            TxBuffer.Data[i] = uint8_t((written.size() + size_t(i)) % 127);
        SendBuffer(TxBuffer, TxSent, false);
        written.insert(written.end(), TxBuffer.Data, TxBuffer.Data + std::max(TxSent, 0));
        stalled = TxSent <= 0 ? stalled + 1 : 0;
        if (TxSent <= 0)
            QThread::msleep(20);
    }
    return stalled == 5;
}

/// Stops the station reading and fills its line; returns the bytes written.
inline vesksim::TBytes FillLine(vesksim::TStation& station) {
    station.SetReading(false);
    vesksim::TBytes written;
    EXPECT_TRUE(FillLineAgain(written)) << "the line has filled";
    return written;
}
