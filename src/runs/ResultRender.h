#pragma once
// Rendering of result codes into coloured explanatory lines: the self-test code one line
// per unit it covers, the tests 2/3 code verdict lines per band with the deviation limits.
// Used by the live result panels, the journal browsers and the expanded reports.

#include <QColor>
#include <QList>
#include <QString>

class QTextDocument;

/// One explanatory line and its colour.
struct TResultLine {
    QString Text;
    QColor Color;
    bool operator==(const TResultLine&) const = default;
};

inline const QColor ResultBlack{0, 0, 0};
inline const QColor ResultGreen{0, 128, 0};
inline const QColor ResultRed{255, 0, 0};

/// Packed journal character of a band whose VSWR was not measured (10.0 or more). Codes
/// 0..99 are ten times a measured VSWR; this one lies outside them.
inline constexpr char16_t VswrPackedNotMeasured = u'~';

/// VSWR text with one decimal and a decimal comma whatever the locale ("3,5"); "???" for
/// 10.0 and above (not measured) and for values that are not a VSWR at all.
QString FormatVswr(double value);
/// Sensitivity verdict text: '0' -> "0", an even code -> "Норма:c", an odd one -> "Брак:c".
QString FlagText(QChar flag);
/// The packed character of a VSWR text made by FormatVswr.
QChar PackVswrText(const QString& text);
/// Text of one packed character read back from the journal ("3,5"); "???" for the
/// not-measured marker and any other character outside 0..99.
QString VswrTextFromPacked(QChar packed);

/// True when code is 7 hexadecimal digits (either case, surrounding blanks ignored).
bool IsResultCode(const QString& code);

/// Lines of the self-test explanation of code. The antenna lines take VswrTextMv and
/// VswrTextGmv when VswrFromDb is set, else the live values.
QList<TResultLine> SelfTestLines(const QString& code);
/// Lines of the tests 2/3 explanation. serviceWord: configuration word whose blocked
/// bands are shown as blocked; empty applies no blocking.
QList<TResultLine> RadioTestLines(int test, const QString& code, const QString& serviceWord);

/// Clears target and writes the self-test explanation. With live values (VswrFromDb
/// clear) and a code without processor fault it also rebuilds VswrPacked.
void ShowSelfTestResult(const QString& code, QTextDocument* target);
/// Clears target and writes the tests 2/3 explanation; marks the result as shown
/// (ResultShown, ResultShownAt) whatever the target.
void ShowRadioTestResult(int test, const QString& code, const QString& serviceWord, QTextDocument* target);
/// Replaces the content of target by the lines, each in its colour.
void WriteResultLines(const QList<TResultLine>& lines, QTextDocument* target);
