#include "state/Options.h"

#include "platform/DbAlias.h"
#include "platform/Errors.h"
#include "platform/SerialPorts.h"
#include "platform/Version.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

void WriteOptions(const QString& name) {
    // Written to a file of its own and renamed over the old one: a write that fails (a full
    // disk) leaves the old name, never an empty file.
    const QByteArray path = QFile::encodeName(OptionsFileName);
    const QByteArray temp = path + ".new";
    const QByteArray bytes = name.toUtf8() + "\r\n";
    const auto fail = [](int error) {
        return EFileError(QString("Не удалось записать файл %1: %2")
                              .arg(OptionsFileName, QString::fromLocal8Bit(strerror(error))));
    };
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw fail(errno);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    int error = done == bytes.size() ? 0 : (errno ? errno : EIO);
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.constData(), path.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.constData());
        throw fail(error);
    }
}

TOptions ReadOptions() {
    QFile f(OptionsFileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EFileError(QString("Не удалось прочитать файл %1: %2").arg(OptionsFileName, f.errorString()));
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

void EnsureDbAlias() {
    const QString folder = ProgramFolder();
    if (AliasPath("dbVesk") != folder)
        SetAlias("dbVesk", "PARADOX", folder);
}

QString JournalFolder() {
    const QString path = AliasPath("dbVesk");
    return path.isEmpty() ? ProgramFolder() : path;
}
