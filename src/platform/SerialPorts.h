#pragma once
// The system's list of serial ports, read from sysfs, and the raw serial open.
// $VESK_SYS_DIR (default /sys) and $VESK_DEV_DIR (default /dev) let tests build a fake
// tree whose ttyUSB0 points at a pseudo-terminal.

#include <QList>
#include <QString>

struct TSerialPortEntry {
    QString Driver;   // name of the driver the tty's device is bound to ("cp210x")
    QString PortName; // tty name ("ttyUSB0")
};

QString SysDir();
QString DevDir();
/// A port name is a bare tty name: 1 to 32 characters, no '/', no "..", no control
/// character. Any other name is refused before it becomes a path.
bool IsBarePortName(const QString& name);
/// Device file opened for a port name: $VESK_DEV_DIR/<name>.
QString SerialDevicePath(const QString& portName);

/// Every tty under class/tty whose device has a driver link, in natural name order.
QList<TSerialPortEntry> SerialPortMap();
/// First port whose driver is the station's USB adapter driver (cp210x), or empty.
QString FindAdapterPort();
/// The port that stands for the default "COM1".
inline QString DefaultPortName() {
    return QStringLiteral("ttyS0");
}

/// Opens a serial device raw, 115200 8N1, CLOCAL|CREAD, no flow control, exclusive,
/// non-blocking, DTR and RTS raised (a refusal of the modem lines is not an error).
/// Returns the descriptor or -1; errorText then holds the system's text of the error.
int OpenSerialDevice(const QString& path, QString* errorText = nullptr);
/// Gives up the exclusive use and closes a descriptor from OpenSerialDevice. A terminal
/// that outlives the descriptor (a pseudo-terminal) would otherwise stay closed to others.
void CloseSerialDevice(int fd);
