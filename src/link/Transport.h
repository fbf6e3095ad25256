#pragma once
// The device link: serial and TCP transports behind one send routine and one receiver.
// (Start-up uses these names; the link engineer owns this file.)

#include <QString>

/// The station's USB-serial port name, or empty.
QString FindUsbSerialPort();
/// Opens a serial port and starts its reader; true on success. The reason of a failure
/// is kept for LastOpenErrorText().
bool OpenComPort(const QString& name);
QString LastOpenErrorText();
/// Sends the reset byte D0 alone.
void SendReset();
/// Empties both trace rings.
void ResetTraceRings();
/// The link's diagnostic routine: takes a text and discards it.
int DebugLog(const QString& text);
