#pragma once
// The one transmit buffer and the send routine every command goes through.

#include <QString>
#include <cstdint>
#include <mutex>

/// Transmit buffer: Data[0..Len-1] is sent by SendBuffer.
struct TTxBuffer {
    uint8_t Data[1025] = {};
    int32_t Len = 0;
};

extern TTxBuffer TxBuffer;
extern int32_t TxSent;

/// Sends Buf over the selected transport; Sent receives the bytes handed over. Over TCP
/// Buf.Len keeps its value; over the serial port it holds the bytes not sent. Nothing
/// is raised: a failed send shows only in Sent. It never waits for the line: what the line
/// has no room for is handed to the link's writer (link/TxQueue.h), which sends it in order
/// or drops it after the write time-out. Without wait the send hands over only what the
/// line takes at once, and nothing while earlier bytes still wait (the window's uploads).
void SendBuffer(TTxBuffer& Buf, int32_t& Sent, bool wait = true);

/// Serialises the users of TxBuffer. SendBuffer takes it; a sender on another thread (the
/// sound capture) holds it from setting Len to the end of its SendBuffer so that no other
/// sender's bytes get mixed into its buffer. Re-entrant.
std::recursive_mutex& TxMutex();
using TTxLock = std::lock_guard<std::recursive_mutex>;

/// Appends one byte at TxBuffer.Len; an index past 1024 raises ERangeError.
void PutTxByte(uint8_t b);
