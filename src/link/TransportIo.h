#pragma once
// The two transports' send routines behind SendBuffer (link internals).

#include "link/TxBuffer.h"

/// Serial write of Buf.Data[0..Len-1] within Len x 50 ms; returns the bytes written and
/// reduces Buf.Len by them. No port: 0 at once.
int32_t ComWriteBuf(TTxBuffer& Buf);
/// TCP send of Buf within 5 s; returns the bytes sent; Buf.Len is left as it was.
int32_t DoSendBufBytes(const TTxBuffer& Buf);
inline constexpr int TcpSendTimeoutMs = 5000;
