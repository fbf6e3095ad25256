// The transmit buffer and the one send routine of both transports.
#include "link/HexLog.h"
#include "link/LinkLog.h"
#include "link/TraceRing.h"
#include "link/Transport.h"
#include "link/TransportIo.h"
#include "link/TxBuffer.h"
#include "platform/Errors.h"

Q_LOGGING_CATEGORY(lcLink, "vesk.link")
// The diagnostic texts of DebugLog: off unless switched on (QT_LOGGING_RULES="vesk.link.debug=true").
Q_LOGGING_CATEGORY(lcLinkDebug, "vesk.link.debug", QtInfoMsg)

TTxBuffer TxBuffer;
int32_t TxSent = 0;
std::atomic<bool> TcpSelected{false};

std::recursive_mutex& TxMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

void PutTxByte(uint8_t b) {
    if (TxBuffer.Len < 0 || TxBuffer.Len > 1024)
        throw ERangeError(QStringLiteral("Переполнение буфера передачи"));
    TxBuffer.Data[TxBuffer.Len++] = b;
}

int DebugLog(const QString& text) {
    qCDebug(lcLinkDebug).noquote() << text;
    return 0;
}

void SendBuffer(TTxBuffer& Buf, int32_t& Sent, bool wait) {
    TTxLock lock(TxMutex());
    if (Buf.Len <= 0 || Buf.Len > int32_t(sizeof Buf.Data)) {
        if (Buf.Len != 0)
            DebugLog(QStringLiteral("SendBuffer: bad length %1").arg(Buf.Len));
        Sent = 0;
        return;
    }
    // A send that does not wait may hand over part of the buffer: the log gets what went.
    if (wait && TxLog.IsOpen())
        TxLog.Write(Buf.Data, Buf.Len);
    const int32_t sent = TcpSelected ? DoSendBufBytes(Buf, wait) : ComWriteBuf(Buf, wait);
    if (!wait && sent > 0 && TxLog.IsOpen())
        TxLog.Write(Buf.Data, sent);
    for (int32_t i = 0; i < sent; ++i)
        TxTraceRing.Put(Buf.Data[i]);
    Sent = sent;
}
