#pragma once
// Small rules of the test parameters: the digit filter, fixed-width numbers and the band
// blocking of the configuration word.

#include <QString>
#include <cstdint>

/// s with every character that is not '0'-'9' replaced by '0'.
QString ReplaceNonDigits(const QString& s);
/// s with '0' put in front until it has at least width characters.
QString PadLeftZeros(const QString& s, int width);

enum class TChannelBand { None, Gmv, Mv };
/// Band of a channel: 1-2 ГМВ, 3-6 МВ, else none (ДМВ).
TChannelBand ChannelBand(int channel);
/// The МВ band is blocked: bit value 2 of the code of the word's second character.
bool MvBlocked(const QString& configWord);
/// The ГМВ band is blocked: bit value 4 of the code of the word's second character.
bool GmvBlocked(const QString& configWord);
