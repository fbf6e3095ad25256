#pragma once
// Help and links: opened with the desktop's viewer.

#include <QString>

/// Opens the help file (a bare name, looked up beside the program and in the current
/// folder) with the desktop's viewer when it exists; otherwise nothing happens.
void OpenHelpFile(const QString& fileName);
/// Opens a URL (mailto:, http:) with the desktop's handler; false when none took it.
bool ShellOpen(const QString& url);
