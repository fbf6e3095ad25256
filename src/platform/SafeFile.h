#pragma once
// Whole-file writes that never leave a half-written file behind.

#include <QByteArray>
#include <QString>

/// Writes data to path through a temporary file in the same folder, flushed to disk and
/// renamed over path, so that path holds either its old contents or the new ones. Raises
/// EFileError with the reason in Russian; the temporary file is removed on failure.
void WriteFileReplacing(const QString& path, const QByteArray& data);

/// The reason of a failed system call (errno value) in Russian.
QString SystemErrorText(int error);
