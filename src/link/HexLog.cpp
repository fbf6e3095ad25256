#include "link/HexLog.h"

#include "link/LinkLog.h"
#include "link/TraceRing.h"
#include "link/Transport.h"
#include "platform/Errors.h"

#include <cerrno>

THexLog RxLog(QStringLiteral("receive.txt"));
THexLog TxLog(QStringLiteral("transmit.txt"));

void THexLog::Open() {
    Close();
    column_ = 0;
    file_.setFileName(fileName_);
    errno = 0;
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        const int error = errno;
        throw EFileError(QStringLiteral("Не удалось создать файл %1: %2")
                             .arg(fileName_, error != 0 ? SystemErrorText(error) : file_.errorString()));
    }
    open_ = true;
}

void THexLog::Close() {
    if (!open_)
        return;
    open_ = false;
    file_.close();
}

void THexLog::fail() {
    qCWarning(lcLink) << "hex log" << fileName_ << "cannot be written, closed:" << file_.errorString();
    DebugLog(QStringLiteral("Log %1 closed: %2").arg(fileName_, file_.errorString()));
    open_ = false;
    file_.close();
}

void THexLog::Write(uint8_t b) {
    if (!open_)
        return;
    static const char digits[] = "0123456789ABCDEF";
    char text[4] = {digits[b >> 4], digits[b & 15], ' ', '\n'};
    const int n = (++column_ >= 10) ? 4 : 3;
    if (column_ >= 10)
        column_ = 0;
    if (file_.write(text, n) != n)
        fail();
}

void THexLog::Write(const uint8_t* data, int count) {
    for (int i = 0; i < count && open_; ++i)
        Write(data[i]);
    Flush();
}

void THexLog::Flush() {
    if (open_ && !file_.flush())
        fail();
}
