#pragma once
// The device's working parameters as the parameters window edits them: the marks of
// unsent groups, the composition of the configuration word, the frames that carry the
// parameters to the device and the text file "params.txt". No widgets here.

#include "state/UVesk.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

/// One bit per parameter group changed in the window and not sent yet.
extern uint16_t ParamsDirty;
/// The bit of ParamsDirty that belongs to a control's Tag (0 service word, 1 thresholds,
/// 2-4 channel numbers of МВ1-МВ3).
inline constexpr uint16_t DirtyBits[8] = {1, 2, 4, 8, 16, 32, 64, 0};
/// Tag of the send-all button.
inline constexpr int SendAllTag = 10;

// Frame builders: each appends at TxBuffer.Len and advances it. A character travels as
// 0x80 plus its value as a hexadecimal digit (0x80 for any other character). A value
// shorter than the characters a frame reads raises ERangeError.
void AppendConfigWordFrame();
void AppendUpperThresholdFrame();
void AppendLowerThresholdFrame();
void AppendParamBlock2Frame();
/// МВ channel numbers of slot n (1-4).
void AppendChannelFrame(int n);
/// 20 bytes 0x00 between two frames of the send-all packet.
void AppendGap();
/// The send-all packet: configuration word, both threshold frames, the device block and
/// the channel numbers of slots 1-3, a gap between each two (184-190 bytes).
void AppendAllFrames();

/// Appends the frames of the send button with this tag and clears its mark (all marks
/// for SendAllTag). A tag no button has raises ERangeError before anything is appended.
void AppendParamFrames(int tag);
/// TxBuffer from its start := the frames of the tag; one SendBuffer.
void SendParamFrames(int tag);

/// The 2-digit tenths of kHz as the operator reads them: a comma before the second
/// character ("15" -> "1,5"; "5" -> "5,"; "" -> ",").
QString ZapInsert(const QString& s);

// The configuration word: digit d is the d-th character (1-8). Digits 1-3 carry three
// flags each in the low bits of the character code.
/// True when the given bit (1, 2 or 4) of digit d of word is set.
bool ConfigFlag(const QString& word, int digit, int bit);
/// Sets or clears a flag bit of digit d of ConfigWord.
void SetConfigFlag(int digit, int bit, bool on);
/// ConfigWord's digit d := c.
void SetConfigDigit(int digit, QChar c);
/// The value of digit d of word as a number, -1 when it is no decimal digit or missing.
int ConfigDigit(const QString& word, int digit);

/// A parameter set as "params.txt" holds it.
struct TParamsFile {
    QString ConfigWord;
    QString Thresholds[6];    // items 1, 2, 4, 5 are in the file; 0 and 3 stay as they are
    TMvChannel MvChannels[5]; // slots 1-4
    TPshSetting PshSettings[2];
};

inline constexpr const char* ParamsFileName = "params.txt";

/// The seven lines of "params.txt" from the shared set, each ended by CR LF.
QByteArray ParamsFileText();
/// Parses the seven lines into out. Lines 1 to 3 must stand as the save writes them: 8
/// decimal digits; four 2-digit thresholds; eight 3-digit channel numbers, each value
/// followed by one blank. Lines 4 and 6 must be integers 0-255, lines 5 and 7 integers.
/// False when the text is refused (out is then unspecified), with the line and the fault
/// in reason.
bool ParseParamsFile(const QByteArray& text, TParamsFile& out, QString* reason = nullptr);
/// Copies a parsed set into the shared state.
void ApplyParamsFile(const TParamsFile& file);

/// Writes "params.txt" (path) from the shared set through a temporary file renamed over
/// it, so that a failed save leaves the previous file whole. Raises EFileError with the
/// reason in Russian.
void SaveParamsFile(const QString& path);

enum class TParamsLoad { NoFile, Loaded, Refused };
/// Reads path into the shared set, all or nothing: a file that cannot be read or is
/// refused by ParseParamsFile changes nothing; reason then says why. Only a regular file
/// is read: anything else in its place is refused without waiting on it.
TParamsLoad LoadParamsFile(const QString& path, QString* reason = nullptr);
