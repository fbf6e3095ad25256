#pragma once
// The two transports' send routines behind SendBuffer (link internals).

#include "link/TxBuffer.h"

/// Serial write of Buf.Data[0..Len-1]: what the line does not take at once waits for the
/// link's writer, which drops what is not taken within Len x 50 ms (without wait: only what
/// the line takes at once). Returns the bytes written or left waiting and reduces Buf.Len by
/// them; never waits. No port: 0.
int32_t ComWriteBuf(TTxBuffer& Buf, bool wait = true);
/// TCP send of Buf in the same way, the rest dropped after 5 s; Buf.Len is left as it was.
int32_t DoSendBufBytes(const TTxBuffer& Buf, bool wait = true);
inline constexpr int TcpSendTimeoutMs = 5000;
