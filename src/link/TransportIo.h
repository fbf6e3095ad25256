#pragma once
// The two transports' send routines behind SendBuffer (link internals).

#include "link/TxBuffer.h"

/// Serial write of Buf.Data[0..Len-1] within Len x 50 ms (without wait: what the line
/// takes at once); returns the bytes written and reduces Buf.Len by them. No port: 0 at once.
int32_t ComWriteBuf(TTxBuffer& Buf, bool wait = true);
/// TCP send of Buf within 5 s (without wait: what the socket takes at once); returns the
/// bytes sent; Buf.Len is left as it was.
int32_t DoSendBufBytes(const TTxBuffer& Buf, bool wait = true);
inline constexpr int TcpSendTimeoutMs = 5000;
