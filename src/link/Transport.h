#pragma once
// The device link: serial and TCP transports behind one send routine and one receiver.
// Received bytes of either transport reach ReceiveByte in arrival order on the window
// thread (see RxPump.h).

#include <QString>
#include <atomic>

/// The station's USB-serial port name, or empty.
QString FindUsbSerialPort();
/// Opens a serial port and starts its reader; true on success. The reason of a failure
/// is kept for LastOpenErrorText(). A port already open is closed first.
bool OpenComPort(const QString& name);
QString LastOpenErrorText();
/// Stops the reader and closes the serial port; nothing when none is open.
void CloseComPort();
bool ComPortOpen();
/// Stops the serial reader (joins it); the port stays open.
void StopReader();
/// Called on the window thread when the serial reader has ended on a hang-up or a read
/// error: delivers the bytes read before it, closes the port and tells the link lost.
void HandleReaderEnded();
/// Sends the reset byte D0 alone.
void SendReset();
/// Empties both trace rings.
void ResetTraceRings();
/// The link's diagnostic routine: takes a text and discards it (it reaches the debug
/// log of the link category only when that is switched on).
int DebugLog(const QString& text);

/// The interface chosen in the hidden interface menu: TCP when set, else the serial port.
extern std::atomic<bool> TcpSelected;

/// The TCP link to the device.
extern bool TcpConnected;
/// The device's TCP port (4001); tests point it at their own listener.
extern int DeviceTcpPort;
/// The device's factory address, offered by the "Enter IP" box.
inline constexpr const char* DeviceFactoryAddress = "192.168.0.100";
/// Connects to the device (no-op when connected); the outcome is TcpConnected. Waits at
/// most TcpConnectTimeoutMs, letting window events other than input run meanwhile.
void OpenConnection(const QString& address, int port);
inline constexpr int TcpConnectTimeoutMs = 20000;
/// Closes the socket; TcpConnected := false.
void CloseConnection();
/// Reads what waits on the socket and hands it to the receiver; a closed or reset peer
/// closes the connection and is told as a lost link (LineLost).
void HandleSocketInput();
