// Placeholder until the link lands.
#include "link/Transport.h"
#include "platform/SerialPorts.h"
QString FindUsbSerialPort() { return FindAdapterPort(); }
bool OpenComPort(const QString&) { return false; }
QString LastOpenErrorText() { return {}; }

void ResetTraceRings() {}
int DebugLog(const QString&) { return 0; }

#include "link/Builders.h"
#include "link/Frame.h"
#include "link/TxBuffer.h"
TFrame ResultQueue[ResultQueueSize];
int ResultCount = 0;
void ClearResultQueue() { ResultCount = 0; }
TTxBuffer TxBuffer;
int32_t TxSent = 0;
void SendBuffer(TTxBuffer& b, int32_t& sent) { sent = 0; (void)b; }
int HexVal(const QString&) { return 0; }
QString ByteToHex(uint8_t b) { return QString("%1").arg(b, 2, 16, QChar('0')).toUpper(); }
void PutHexDigits(const QString&) {}
void PutChannelByte() {}
void PutTrainFrame() {}
void PutLocoFrame() {}
void PutCodeFrame() {}
void PutTestFrame(int) {}
void SendCmd(uint8_t) {}
void SendCmdSnd(int) {}
void SendCall(int) {}
void SendAutoPsh() {}
void SendReset() {}
