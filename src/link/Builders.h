#pragma once
// Builders of the units the PC sends and the small senders.

#include <QString>
#include <cstdint>

/// Value of 1-2 hexadecimal characters (stops at the first non-digit); 0 otherwise.
int HexVal(const QString& s);
/// Two uppercase hexadecimal characters of b.
QString ByteToHex(uint8_t b);

// Each appends at TxBuffer.Len and advances it; an index past 1024 raises ERangeError,
// a string shorter than the characters read raises ERangeError too.
void PutHexDigits(const QString& s);
void PutChannelByte();
void PutTrainFrame();
void PutLocoFrame();
void PutCodeFrame();
void PutTestFrame(int n);

/// The data bytes of the sound command frame; their low halves but the last are the
/// signature checked in the device's FA frames.
inline constexpr uint8_t SoundSignature[8] = {0x8F, 0x80, 0x85, 0x8A, 0x8F, 0x80, 0x8F, 0x80};

// Senders: fill TxBuffer from the start and call SendBuffer once.
void SendReset(); // also declared in link/Transport.h
void SendCmd(uint8_t cmd);
void SendCmdSnd(int n);
/// Sends the call; after 500 ms sends it once more when an amplifier alarm was shown.
void SendCall(int n);
void SendAutoPsh();
/// Sends the squelch frame of band (0 ГМВ, 1 МВ) from PshSettings[band]: EA 80 (86 + band)
/// 80 80, the off flag, the level's three decimal digits, EB. No journal row.
void SendPsh(uint8_t band);
