#pragma once
// Files the program owns: whole-file writes that never leave a half-written file behind,
// opens that take a regular file only, and the clean-up of what a killed run left.

#include "platform/Errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

/// Writes data to path through a temporary file in the same folder, flushed to disk and
/// renamed over path, so that path holds either its old contents or the new ones. Raises
/// EFileError with the reason in Russian; the temporary file is removed on failure. A link
/// in the place of path is replaced, never written through.
void WriteFileReplacing(const QString& path, const QByteArray& data);

/// Opens path (flags as for open(2): O_RDONLY, or O_WRONLY with O_CREAT and O_TRUNC) when
/// it is a regular file, without waiting on anything else in its place (a FIFO, a device)
/// and, unless followLink, without following a symbolic link. The descriptor returned
/// blocks as usual and closes on exec; -1 on failure, with the reason in Russian in
/// *reason, without the file's name ("на этом месте находится папка", "нет прав на
/// чтение"...), and the errno value in *error. O_TRUNC empties the file only once it is
/// known to be regular.
int OpenRegularFile(const QString& path, int flags, bool followLink, QString* reason = nullptr,
                    int* error = nullptr);

enum class TReadResult { Loaded, NoFile, Failed };
/// Reads the whole regular file at path (links followed) if it is no larger than limit
/// bytes; Failed with the reason in Russian (as OpenRegularFile's) otherwise.
TReadResult ReadRegularFile(const QString& path, qint64 limit, QByteArray& data, QString* reason = nullptr);

/// Removes the files named prefix + <pid> + one of suffixes in folder whose process has
/// ended (or is this one): what a run killed in the middle of a save left behind.
void RemoveStaleFiles(const QString& folder, const QString& prefix, const QStringList& suffixes);

/// Test seam: every later open by these routines of a path that matches the wildcard
/// pattern fails with the error (root has every right, so "no rights" is planted). An
/// empty pattern ends it.
void InjectFileError(const QString& pattern, int error);
