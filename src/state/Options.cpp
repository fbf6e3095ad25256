#include "state/Options.h"

#include "platform/DbAlias.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "platform/SerialPorts.h"
#include "platform/Version.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <unistd.h>

void WriteOptions(const QString& name) {
    // Written through a temporary file renamed over the old one: a write that fails (a full
    // disk) leaves the old name, never an empty file.
    try {
        WriteFileReplacing(OptionsFileName, name.toUtf8() + "\r\n");
    } catch (const EFileError& e) {
        // The file lives in the current folder, which the operator may not know: name it.
        throw EFileError(e.Message() + QStringLiteral("\nПапка: «%1».").arg(QDir::currentPath()));
    }
}

TOptions ReadOptions() {
    // A regular file only: nothing in its place (a FIFO) holds the start waiting.
    QString reason;
    const int fd = OpenRegularFile(OptionsFileName, O_RDONLY, true, &reason);
    QFile f;
    if (fd < 0 || !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        throw EFileError(QString("Не удалось прочитать файл %1: %2").arg(OptionsFileName, reason));
    }
    // The first line only, and no more of it than a port name can hold.
    constexpr qint64 limit = 64;
    QByteArray line = f.readLine(limit + 1);
    const bool whole = line.endsWith('\n') || f.atEnd();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    TOptions o;
    o.PortName = QString::fromUtf8(line);
    if (!whole || (!o.PortName.isEmpty() && !IsBarePortName(o.PortName)))
        throw ERangeError(QString("В файле %1 недопустимое имя порта").arg(OptionsFileName));
    // A short line ("TCP") or a fourth character that is not a digit gives 0, never an error.
    if (o.PortName.size() >= 4) {
        const QChar c = o.PortName.at(3);
        if (c >= '0' && c <= '9')
            o.PortDigit = uint8_t(c.unicode() - '0');
    }
    return o;
}

QString EnsureDbAlias() {
    const QString folder = ProgramFolder();
    if (AliasPath("dbVesk") != folder)
        return SetAlias("dbVesk", "PARADOX", folder);
    return {};
}

QString JournalFolder() {
    const QString path = AliasPath("dbVesk");
    return path.isEmpty() ? ProgramFolder() : path;
}
