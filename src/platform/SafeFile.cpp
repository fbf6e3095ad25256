#include "platform/SafeFile.h"

#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits>
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

// The temporary file of a save is named "<file>.<pid>.tmp". One left behind by a process
// that has ended (killed before its rename) is removed by the next save of the same file.
void RemoveStaleTemporaries(const QString& path) {
    const QFileInfo info(path);
    const QString prefix = info.fileName() + u'.';
    const QDir folder = info.absoluteDir();
    const QStringList names =
        folder.entryList({prefix + QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        bool ok = false;
        const qint64 pid =
            QStringView(name).mid(prefix.size(), name.size() - prefix.size() - 4).toLongLong(&ok);
        if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
            continue;
        if (pid_t(pid) == ::getpid() || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH))
            ::unlink(QFile::encodeName(folder.filePath(name)).constData());
    }
}

} // namespace

void WriteFileReplacing(const QString& path, const QByteArray& data) {
    const QByteArray target = QFile::encodeName(path);
    RemoveStaleTemporaries(path);
    const QByteArray temp = target + '.' + QByteArray::number(qint64(::getpid())) + ".tmp";
    // The folder's usual rights, less the umask, as any saved file.
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        Fail(path, errno);
    const auto discard = [&](int error) {
        ::close(fd);
        ::unlink(temp.constData());
        Fail(path, error);
    };
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
