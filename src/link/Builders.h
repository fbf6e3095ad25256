#pragma once
// Builders of the units the PC sends and the small senders.

#include <QString>
#include <cstdint>

/// Value of 1-2 hexadecimal characters (stops at the first non-digit); 0 otherwise.
int HexVal(const QString& s);
/// Two uppercase hexadecimal characters of b.
QString ByteToHex(uint8_t b);

// Each appends at TxBuffer.Len and advances it; an index past 1024 raises ERangeError.
void PutHexDigits(const QString& s);
void PutChannelByte();
void PutTrainFrame();
void PutLocoFrame();
void PutCodeFrame();
void PutTestFrame(int n);

// Senders: fill TxBuffer from the start and call SendBuffer once.
void SendReset(); // also declared in link/Transport.h
void SendCmd(uint8_t cmd);
void SendCmdSnd(int n);
void SendCall(int n);
void SendAutoPsh();
