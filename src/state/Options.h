#pragma once
// "Options.dat" (the serial port name, one CR LF line, current folder) and the
// database alias of the journal.

#include <QString>
#include <cstdint>

inline constexpr const char* OptionsFileName = "Options.dat";

/// Writes "Options.dat" anew with the name and a CR LF, through a temporary file renamed
/// over the old one. Raises EFileError naming the current folder (the old file then stays
/// as it was).
void WriteOptions(const QString& name);

struct TOptions {
    QString PortName;
    uint8_t PortDigit = 0; // fourth character minus '0'; 0 when the line is shorter or not a digit
};
/// Reads the first line of "Options.dat". Raises EFileError when it cannot be read, and
/// ERangeError when the line is not a bare port name (IsBarePortName) or empty.
TOptions ReadOptions();

/// Makes sure the alias "dbVesk" exists and points at the program's folder. Raises
/// EVeskError when the alias file cannot be read or written; the result is a note for the
/// operator when the file held more than aliases (see SetAlias), else empty.
QString EnsureDbAlias();
/// The folder of the alias "dbVesk" (with its trailing '/'), where the tables live;
/// the program's folder when the alias is not set.
QString JournalFolder();
