#include "link/Builders.h"

#include "link/TxBuffer.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "state/LinkView.h"
#include "state/UVesk.h"

namespace {

int HexDigit(QChar c) {
    const ushort u = c.toUpper().unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Appends 0x80 + the hex value of each of the first count characters of s.
void PutDigitsOf(const QString& s, int count, const char* what) {
    if (s.size() < count)
        throw ERangeError(QStringLiteral("%1: нужно %2 цифр, получено \"%3\"").arg(what).arg(count).arg(s));
    for (int i = 0; i < count; ++i)
        PutTxByte(uint8_t(0x80 + HexVal(s.mid(i, 1))));
}

} // namespace

int HexVal(const QString& s) {
    if (s.isEmpty() || s.size() > 2)
        return 0;
    int value = 0;
    for (QChar c : s) {
        const int d = HexDigit(c);
        if (d < 0)
            break;
        value = value * 16 + d;
    }
    return value;
}

QString ByteToHex(uint8_t b) {
    static const char digits[] = "0123456789ABCDEF";
    const QChar text[2] = {QChar(digits[b >> 4]), QChar(digits[b & 15])};
    return QString(text, 2);
}

void PutHexDigits(const QString& s) {
    PutDigitsOf(s, int(s.size()), "Цифры кадра");
}

void PutChannelByte() {
    if (CurrentChannel > 0x6F)
        throw ERangeError(QStringLiteral("Номер канала вне допустимого диапазона"));
    PutTxByte(uint8_t(0x90 + CurrentChannel));
}

void PutTrainFrame() {
    PutTxByte(0xEC);
    PutTxByte(0x80);
    PutTxByte(0x80);
    PutDigitsOf(TrainNumber, 4, "Номер поезда");
    PutTxByte(0x80);
    PutTxByte(0x80);
    PutTxByte(0xED);
}

void PutLocoFrame() {
    PutTxByte(0xEE);
    PutTxByte(0x81);
    PutDigitsOf(LocoNumber, 7, "Номер локомотива");
    PutTxByte(0xEF);
}

void PutCodeFrame() {
    PutTxByte(0xE0);
    PutDigitsOf(SpecialInfo, 8, "Код режима");
    PutTxByte(0xE1);
}

void PutTestFrame(int n) {
    if (n < 0 || n > 15)
        throw ERangeError(QStringLiteral("Номер теста вне допустимого диапазона"));
    PutTxByte(0xE2);
    for (int i = 0; i < 7; ++i)
        PutTxByte(0x80);
    PutTxByte(uint8_t(0x80 + n));
    PutTxByte(0xE3);
}

void SendReset() {
    TTxLock lock(TxMutex());
    TxBuffer.Len = 1;
    TxBuffer.Data[0] = 0xD0;
    SendBuffer(TxBuffer, TxSent);
}

void SendCmd(uint8_t cmd) {
    TTxLock lock(TxMutex());
    TxBuffer.Len = 0;
    PutChannelByte();
    PutTxByte(cmd);
    SendBuffer(TxBuffer, TxSent);
}

void SendCmdSnd(int n) {
    if (n < 0 || n > 15)
        throw ERangeError(QStringLiteral("Номер звуковой команды вне допустимого диапазона"));
    TTxLock lock(TxMutex());
    TxBuffer.Len = 10;
    TxBuffer.Data[0] = 0xFA;
    for (int i = 0; i < 8; ++i)
        TxBuffer.Data[1 + i] = SoundSignature[i];
    TxBuffer.Data[8] = uint8_t(0x80 | n);
    TxBuffer.Data[9] = 0xFB;
    SendBuffer(TxBuffer, TxSent);
}

namespace {
void SendCallOnce(int n) {
    TTxLock lock(TxMutex());
    TxBuffer.Len = 0;
    PutChannelByte();
    PutTxByte(uint8_t(0xD1 + n));
    SendBuffer(TxBuffer, TxSent);
}
} // namespace

void SendCall(int n) {
    if (n < 0 || n > 46)
        throw ERangeError(QStringLiteral("Номер вызова вне допустимого диапазона"));
    SendCallOnce(n);
    // The lock is not held over the wait: other handlers send while it runs.
    Delay(500);
    if (LinkView().AmplifierAlarmShown()) {
        LinkView().HideAmplifierAlarms();
        SendCallOnce(n);
    }
}

void SendAutoPsh() {
    TTxLock lock(TxMutex());
    TxBuffer.Len = 0;
    PutTxByte(0xD5);
    SendBuffer(TxBuffer, TxSent);
}

void SendPsh(uint8_t band) {
    if (band > 1)
        throw ERangeError(QStringLiteral("Номер диапазона ПШ вне допустимого диапазона"));
    const TPshSetting& p = PshSettings[band];
    if (p.Level < 0 || p.Level > 255)
        throw ERangeError(QStringLiteral("Уровень ПШ вне допустимого диапазона"));
    TTxLock lock(TxMutex());
    TxBuffer.Len = 0;
    for (uint8_t b : {uint8_t(0xEA), uint8_t(0x80), uint8_t(0x86 + band), uint8_t(0x80), uint8_t(0x80),
                      uint8_t(p.Off ? 0x81 : 0x80), uint8_t(0x80 + p.Level / 100),
                      uint8_t(0x80 + p.Level % 100 / 10), uint8_t(0x80 + p.Level % 10), uint8_t(0xEB)})
        PutTxByte(b);
    SendBuffer(TxBuffer, TxSent);
}
