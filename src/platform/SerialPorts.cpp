#include "platform/SerialPorts.h"

#include "platform/Errors.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// Its debug lines (modem lines a terminal refuses) only when switched on:
// QT_LOGGING_RULES="vesk.serialports.debug=true".
Q_LOGGING_CATEGORY(lcSerialPorts, "vesk.serialports", QtInfoMsg)

namespace {

QString DirFromEnv(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

// Compares names so that runs of digits count as numbers: ttyUSB2 comes before ttyUSB10.
bool NaturalLess(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // Leading zeros do not change the number; compare by significant length, then digits.
            QStringView da = QStringView(a).mid(i, ei - i), db = QStringView(b).mid(j, ej - j);
            while (da.size() > 1 && da.front() == u'0')
                da = da.mid(1);
            while (db.size() > 1 && db.front() == u'0')
                db = db.mid(1);
            if (da.size() != db.size())
                return da.size() < db.size();
            if (const int c = da.compare(db); c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b;
}

QString OpenErrorText(const QString& path, int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("Нет доступа к порту %1: добавьте пользователя в группу dialout").arg(path);
    case EBUSY:
    case EWOULDBLOCK:
        return QStringLiteral("Порт %1 занят другой программой").arg(path);
    default:
        return QStringLiteral("Не удалось открыть порт %1: %2").arg(path, SystemErrorText(error));
    }
}

} // namespace

QString SysDir() {
    return DirFromEnv("VESK_SYS_DIR", QStringLiteral("/sys"));
}

QString DevDir() {
    return DirFromEnv("VESK_DEV_DIR", QStringLiteral("/dev"));
}

bool IsBarePortName(const QString& name) {
    if (name.isEmpty() || name.size() > 32 || name.contains(u'/') || name.contains(QLatin1String("..")))
        return false;
    for (QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control)
            return false;
    return true;
}

QString SerialDevicePath(const QString& portName) {
    return QDir(DevDir()).filePath(portName);
}

QList<TSerialPortEntry> SerialPortMap() {
    QList<TSerialPortEntry> ports;
    const QDir ttyDir(SysDir() + QStringLiteral("/class/tty"));
    const QStringList names = ttyDir.entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QFileInfo driver(ttyDir.filePath(name) + QStringLiteral("/device/driver"));
        // Virtual consoles and pseudo-terminals have no device driver: they are not ports.
        if (!driver.exists())
            continue;
        const QString target = driver.isSymLink() ? driver.symLinkTarget() : driver.canonicalFilePath();
        ports.append({QFileInfo(target).fileName(), name});
    }
    std::sort(ports.begin(), ports.end(), [](const TSerialPortEntry& a, const TSerialPortEntry& b) {
        return NaturalLess(a.PortName, b.PortName);
    });
    return ports;
}

QString FindAdapterPort() {
    for (const TSerialPortEntry& port : SerialPortMap())
        if (port.Driver == QLatin1String("cp210x"))
            return port.PortName;
    return {};
}

int OpenSerialDevice(const QString& path, QString* errorText) {
    const QByteArray native = QFile::encodeName(path);
    const auto fail = [&](int fd, int error) {
        if (fd >= 0)
            ::close(fd);
        const QString text = OpenErrorText(path, error);
        if (errorText)
            *errorText = text;
        qCWarning(lcSerialPorts).noquote() << text;
        return -1;
    };

    const int fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(-1, errno);
    // TIOCEXCL does not stop a privileged process, so a lock on the device file keeps a
    // second instance of the program (even one run as root) off the port as well.
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(fd, errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(fd, errno == EWOULDBLOCK ? EBUSY : errno);

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return fail(fd, errno);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B115200);
    ::cfsetospeed(&tio, B115200);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        return fail(fd, errno);
    ::tcflush(fd, TCIOFLUSH);

    const int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIS, &lines) != 0)
        qCDebug(lcSerialPorts) << "modem lines refused on" << path;
    return fd;
}

void CloseSerialDevice(int fd) {
    if (fd < 0)
        return;
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}
