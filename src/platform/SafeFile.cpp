#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QMutex injectMutex;
QRegularExpression injectPattern;
int injectError = 0;

// The error planted for path by a test, or 0.
int InjectedError(const QString& path) {
    QMutexLocker lock(&injectMutex);
    return injectError != 0 && injectPattern.match(path).hasMatch() ? injectError : 0;
}

// The reason of a failed write in Russian: the temporary file is created in the target's
// folder, so a missing path means a missing folder.
QString WriteErrorText(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав на запись");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("папка не найдена");
    default:
        return SystemErrorText(error);
    }
}

[[noreturn]] void Fail(const QString& path, int error) {
    throw EFileError(QStringLiteral("Не удаётся записать файл «%1»: %2.")
                         .arg(QFileInfo(path).fileName(), WriteErrorText(error)));
}

} // namespace

void InjectFileError(const QString& pattern, int error) {
    QMutexLocker lock(&injectMutex);
    injectPattern = pattern.isEmpty()
                        ? QRegularExpression()
                        : QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern));
    injectError = pattern.isEmpty() ? 0 : error;
}

void RemoveStaleFiles(const QString& folderPath, const QString& prefix, const QStringList& suffixes) {
    const QDir folder(folderPath);
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (!name.startsWith(prefix))
            continue;
        for (const QString& suffix : suffixes) {
            if (!name.endsWith(suffix) || name.size() <= prefix.size() + suffix.size())
                continue;
            bool ok = false;
            const qint64 pid = QStringView(name)
                                   .mid(prefix.size(), name.size() - prefix.size() - suffix.size())
                                   .toLongLong(&ok);
            if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
                continue;
            if (pid_t(pid) == ::getpid() || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH))
                ::unlink(QFile::encodeName(folder.filePath(name)).constData());
            break;
        }
    }
}

void WriteFileReplacing(const QString& path, const QByteArray& data) {
    const QByteArray target = QFile::encodeName(path);
    // The temporary file of a save is named "<file>.<pid>.tmp". One left behind by a
    // process that has ended (killed before its rename) goes with the next save.
    const QFileInfo info(path);
    RemoveStaleFiles(info.absolutePath(), info.fileName() + u'.', {QStringLiteral(".tmp")});
    const QByteArray temp = target + '.' + QByteArray::number(qint64(::getpid())) + ".tmp";
    // The folder's usual rights, less the umask, as any saved file.
    int fd = -1;
    if (const int planted = InjectedError(QFile::decodeName(temp)))
        errno = planted;
    else
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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

int OpenRegularFile(const QString& path, int flags, bool followLink, QString* reason, int* error) {
    const bool writing = (flags & O_ACCMODE) != O_RDONLY;
    const auto fail = [&](int fd, int code) {
        if (fd >= 0)
            ::close(fd);
        if (reason) {
            if (code == EACCES || code == EPERM)
                *reason =
                    writing ? QStringLiteral("нет прав на запись") : QStringLiteral("нет прав на чтение");
            else if (code == ENXIO || code == EINVAL) // ENXIO: a FIFO without a reader, for writing
                *reason = QStringLiteral("на этом месте находится не обычный файл");
            else
                *reason = SystemErrorText(code);
        }
        if (error)
            *error = code;
        return -1;
    };
    if (const int planted = InjectedError(path))
        return fail(-1, planted);
    // Opened without truncating and without blocking: what is in the file's place is looked
    // at before anything is changed or waited for.
    const int openFlags =
        (flags & ~O_TRUNC) | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(QFile::encodeName(path).constData(), openFlags, 0666);
    if (fd < 0)
        return fail(-1, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail(fd, errno);
    if (S_ISDIR(st.st_mode))
        return fail(fd, EISDIR);
    if (!S_ISREG(st.st_mode))
        return fail(fd, EINVAL);
    if ((flags & O_TRUNC) && ::ftruncate(fd, 0) != 0)
        return fail(fd, errno);
    const int mode = ::fcntl(fd, F_GETFL);
    if (mode < 0 || ::fcntl(fd, F_SETFL, mode & ~O_NONBLOCK) != 0)
        return fail(fd, errno);
    return fd;
}

TReadResult ReadRegularFile(const QString& path, qint64 limit, QByteArray& data, QString* reason) {
    data.clear();
    int error = 0;
    const int fd = OpenRegularFile(path, O_RDONLY, true, reason, &error);
    if (fd < 0)
        return error == ENOENT ? TReadResult::NoFile : TReadResult::Failed;
    const auto fail = [&](const QString& why) {
        ::close(fd);
        data.clear();
        if (reason)
            *reason = why;
        return TReadResult::Failed;
    };
    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(SystemErrorText(errno));
        if (n == 0)
            break;
        data.append(chunk, n);
        if (data.size() > limit)
            return fail(SystemErrorText(EFBIG));
    }
    ::close(fd);
    return TReadResult::Loaded;
}
