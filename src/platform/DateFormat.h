#pragma once
// Date and time as text, program-wide. Every date the program shows or prints goes
// through here: the short date format starts as the system's and becomes "dd/mm/yy"
// (with the system's date separator) once the operator has used a record selection,
// for the rest of the run. Patterns given to FormatDateTime use the station's letters:
// d day, m month (minutes right after an hour), y year, h hour, n minute, s second,
// z millisecond, '/' the date separator, ':' the time separator; anything else is copied.

#include <QChar>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

/// The locale the formats come from: the system's, or Russian when the system has none
/// (the C locale).
QLocale ProgramLocale();
/// Test hook: the locale to take instead of the system's; QLocale::c() puts the system's back.
void SetProgramLocale(const QLocale& locale);

QChar DateSeparator();
QChar TimeSeparator();

/// The program-wide short date format as a QDate pattern ("dd.MM.yyyy" on a Russian system).
QString ShortDateFormat();
/// Switches the program-wide short date format to day, month and two-digit year.
void UseShortDateFormatDdMmYy();
/// Puts the system's short date format back (tests start each case with it).
void ResetShortDateFormat();

/// A date in the program-wide short format; empty for an invalid date.
QString DateToStr(const QDate& date);
/// A time as hours, minutes and seconds with the system's separator; empty when invalid.
QString TimeToStr(const QTime& time);
/// Date and time as the system's default text: short date, a blank, the time.
QString DateTimeToStr(const QDateTime& moment);

/// Formats with a station pattern (see above): "Распечатано dd/mm/yy в hh:nn".
QString FormatDateTime(const QString& pattern, const QDateTime& moment);
