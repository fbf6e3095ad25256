#include "platform/SerialPorts.h"
#include "EnvGuard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A sysfs look-alike: class/tty/<name>/device/driver -> bus/<bus>/drivers/<driver>.
class SerialPortsTest : public ::testing::Test {
protected:
    void AddTty(const QString& name, const QString& driver = {}) {
        const QString device = sys_.path() + "/class/tty/" + name + "/device";
        ASSERT_TRUE(QDir().mkpath(device));
        if (driver.isEmpty())
            return;
        ASSERT_TRUE(QDir().mkpath(sys_.path() + "/bus/usb-serial/drivers/" + driver));
        // Relative, like the kernel's own links.
        ASSERT_TRUE(QFile::link("../../../../bus/usb-serial/drivers/" + driver, device + "/driver"));
    }

    QTemporaryDir sys_;
    QTemporaryDir dev_;
    TEnvGuard sysEnv_{"VESK_SYS_DIR", sys_.path().toUtf8()};
    TEnvGuard devEnv_{"VESK_DEV_DIR", dev_.path().toUtf8()};
};

QStringList Names(const QList<TSerialPortEntry>& ports) {
    QStringList names;
    for (const TSerialPortEntry& p : ports)
        names << p.PortName + ":" + p.Driver;
    return names;
}

struct TPty {
    TPty() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            slave = QString::fromLocal8Bit(ptsname(master));
    }
    ~TPty() {
        if (master >= 0)
            ::close(master);
    }
    int master = -1;
    QString slave;
};

} // namespace

TEST_F(SerialPortsTest, MapListsDrivenTtysInNaturalOrder) {
    EXPECT_TRUE(SerialPortMap().isEmpty());
    EXPECT_TRUE(FindAdapterPort().isEmpty());

    AddTty("tty0"); // a console: no driver link
    AddTty("ttyUSB10", "cp210x");
    AddTty("ttyUSB2", "ftdi_sio");
    AddTty("ttyUSB3", "cp210x");
    AddTty("ttyS0", "serial8250");
    EXPECT_EQ(Names(SerialPortMap()),
              QStringList({"ttyS0:serial8250", "ttyUSB2:ftdi_sio", "ttyUSB3:cp210x", "ttyUSB10:cp210x"}));
    // The first adapter by number, not by spelling ("ttyUSB10" sorts first as text).
    EXPECT_EQ(FindAdapterPort(), "ttyUSB3");
    EXPECT_EQ(SerialDevicePath("ttyUSB3"), dev_.path() + "/ttyUSB3");
}

TEST_F(SerialPortsTest, OpensPseudoTerminalRawAndExclusive) {
    TPty pty;
    ASSERT_FALSE(pty.slave.isEmpty());
    ASSERT_TRUE(QFile::link(pty.slave, dev_.path() + "/ttyUSB0"));

    QString error;
    const int fd = OpenSerialDevice(SerialDevicePath("ttyUSB0"), &error);
    ASSERT_GE(fd, 0) << error.toStdString();

    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(cfgetispeed(&tio), speed_t(B115200));
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B115200));
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_TRUE(fcntl(fd, F_GETFL) & O_NONBLOCK);
    EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);

    // Every byte value passes untouched: CR, XON/XOFF, the interrupt and delete characters.
    QByteArray sent;
    for (int b = 0; b < 256; ++b)
        sent.append(char(b));
    ASSERT_EQ(write(pty.master, sent.constData(), sent.size()), sent.size());
    QByteArray got;
    pollfd p{fd, POLLIN, 0};
    while (got.size() < sent.size() && poll(&p, 1, 5000) > 0) {
        char buf[512];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, n);
    }
    EXPECT_EQ(got, sent);

    QString second;
    EXPECT_EQ(OpenSerialDevice(SerialDevicePath("ttyUSB0"), &second), -1);
    EXPECT_TRUE(second.contains("ttyUSB0")) << second.toStdString();

    CloseSerialDevice(fd);
    const int again = OpenSerialDevice(SerialDevicePath("ttyUSB0"));
    EXPECT_GE(again, 0) << "the port stays locked after it was closed";
    CloseSerialDevice(again);
}

TEST_F(SerialPortsTest, MissingOrForbiddenDeviceGivesRussianText) {
    QString error;
    const QString path = SerialDevicePath("ttyUSB7");
    EXPECT_EQ(OpenSerialDevice(path, &error), -1);
    EXPECT_EQ(error, "Не удалось открыть порт " + path + ": файл или устройство не найдены")
        << error.toStdString();
    EXPECT_EQ(OpenSerialDevice(path), -1); // no error text wanted
    // A file that is no terminal in the port's place: the system's reason in Russian too.
    QFile plain(dev_.path() + "/ttyS5");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_EQ(OpenSerialDevice(plain.fileName(), &error), -1);
    EXPECT_EQ(error, "Не удалось открыть порт " + plain.fileName() + ": это не последовательный порт")
        << error.toStdString();

    if (geteuid() == 0)
        GTEST_SKIP() << "root opens any device file; the permission text cannot be provoked";
    QFile locked(dev_.path() + "/ttyS9");
    ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
    locked.setPermissions({});
    EXPECT_EQ(OpenSerialDevice(locked.fileName(), &error), -1);
    EXPECT_TRUE(error.contains("dialout")) << error.toStdString();
}
