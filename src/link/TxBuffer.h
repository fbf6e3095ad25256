#pragma once
// The one transmit buffer and the send routine every command goes through.

#include <QString>
#include <cstdint>

/// Transmit buffer: Data[0..Len-1] is sent by SendBuffer.
struct TTxBuffer {
    uint8_t Data[1025] = {};
    int32_t Len = 0;
};

extern TTxBuffer TxBuffer;
extern int32_t TxSent;

/// Sends Buf over the selected transport; Sent receives the bytes handed over. One sender
/// at a time (callers on other threads are serialised).
void SendBuffer(TTxBuffer& Buf, int32_t& Sent);
