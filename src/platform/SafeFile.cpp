#include "platform/SafeFile.h"

#include "platform/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString SystemErrorText(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав на запись");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("нет места на диске");
    case EROFS:
        return QStringLiteral("диск доступен только для чтения");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("папка не найдена");
    case EISDIR:
        return QStringLiteral("на этом месте находится папка");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя файла");
    default:
        return QStringLiteral("системная ошибка %1 (%2)")
            .arg(error)
            .arg(QString::fromLocal8Bit(strerror(error)));
    }
}

namespace {

[[noreturn]] void Fail(const QString& path, int error) {
    throw EFileError(QStringLiteral("Не удаётся записать файл «%1»: %2.")
                         .arg(QFileInfo(path).fileName(), SystemErrorText(error)));
}

} // namespace

void WriteFileReplacing(const QString& path, const QByteArray& data) {
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        Fail(path, errno);
    const auto discard = [&](int error) {
        ::close(fd);
        ::unlink(temp.constData());
        Fail(path, error);
    };
    // mkstemp makes the file private; a saved file gets the usual rights.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            discard(n < 0 ? errno : EIO);
        done += n;
    }
    if (::fsync(fd) != 0)
        discard(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        Fail(path, error);
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        Fail(path, error);
    }
}
