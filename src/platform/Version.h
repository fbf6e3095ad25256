#pragma once
// The program's version block and the program file's whereabouts.
//
// The program file carries a block "VESKVERINFO\0" followed by NUL-terminated
// "Key=Value" entries and an empty entry that ends it. Each "Translation=<key>" entry
// (language and code page as 8 hexadecimal digits, "041904E3") starts the strings of that
// translation: "Translation=041904E3\0FileVersion=4.3.2.6\0\0".

#include <QString>

/// FileVersion string of the first translation in the version block of the given file;
/// empty when the file cannot be read or holds no such block or string.
QString GetFileVersionString(const QString& fileName);
/// Full path of the running program file.
QString ProgramFilePath();
/// Folder of the running program file, with a trailing '/' ($VESK_PROGRAM_DIR when set).
QString ProgramFolder();
