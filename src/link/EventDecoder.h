#pragma once
// Decoding of the device's one-byte events (0x90-0xDF).

#include <QString>
#include <cstdint>

/// Decodes one event byte: grid row, channel, indicators, tone flags, busy/free state,
/// heartbeat, and the reply to the attenuation request 0xCC.
void HandleEventByte(uint8_t b);
/// The message text of an event, empty when it has none. For 0xB5-0xB8 it also moves the
/// current channel to the standby channel, so it is called once per received event.
/// A standby digit of ConfigWord outside its band, when a move takes it, raises
/// ERangeError (nothing moves).
QString EventText(uint8_t b);

/// The device reported busy (0xC9) and no heartbeat (0xCB) has come since.
extern bool DeviceBusy;
/// Direction of the next heartbeat step (+1 or -1) and the needle's position 0-100.
extern int HeartbeatTag;
extern int HeartbeatProgress;

/// Puts the event decoder's own state back to its start (tests, fuzzing).
void ResetEventDecoder();
