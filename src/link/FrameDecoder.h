#pragma once
// Decoding of the device's frames, and the frame-digit helpers other parts use.

#include "link/Frame.h"

#include <QString>
#include <cstdint>

/// Decodes one complete frame. A valid FA sound command is consumed (Code and Count
/// set to 0). A frame that breaks a bound (an eleventh queued result, a factory-number
/// index outside 10-41 or non-decimal digits, a squelch level above 255, fewer digits
/// than the decoder reads) changes nothing; the bound errors are raised as ERangeError.
void HandleFrame(TFrame& frame);

/// Hex text of digits 0..n-3 in arrival order, and their value with digit 0 the least
/// significant (32-bit, wrapping). n = -1 takes the frame's Count; n above 18 raises
/// ERangeError.
int FrameNibblesValue(const TFrame& frame, QString& hex, int n);
/// '0'-'9', 'A'-'F' for the low four bits of v.
inline QChar NibbleHexChar(uint8_t v) {
    return QChar("0123456789ABCDEF"[v & 15]);
}
/// Decimal text of value with '0' put in front up to width characters.
void IntToStrPad(int value, int width, QString& s);
/// Marks a frame consumed: Code and Count 0.
void ClearFrame(TFrame& frame);
/// Message-grid texts of the train (EC) and locomotive (EE) frames in RxFrame.
void FormatTrainNumber(QString& s);
void FormatLocoNumber(QString& s);
QString FormatTrainNumber(const TFrame& frame);
QString FormatLocoNumber(const TFrame& frame);

/// Applies ConfigWord (8 decimal digits) to the windows: standby channels, band blocks.
void ShowConfig();
/// The МВ band is blocked when bit 1 of ConfigWord's second digit is set.
void ApplyMvBlock();
/// The ГМВ band is blocked when bit 2 of ConfigWord's second digit is set.
void ApplyGmvBlock();

/// The numbers of the last train (EC) and locomotive (EE) frames.
extern QString DeviceTrainNumber;
extern QString DeviceLocoNumber;
