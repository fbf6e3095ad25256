#pragma once
// The optional hex logs of the bytes received ("receive.txt") and sent ("transmit.txt").

#include "link/TraceRing.h"

#include <QFile>
#include <QString>
#include <cstdint>

/// A hex log: two uppercase hex digits and a blank per byte, a line break after every
/// tenth byte, the column running on across messages. A log that cannot be written is
/// closed (the send or receive that wrote it goes on).
class THexLog {
public:
    explicit THexLog(QString fileName) : fileName_(std::move(fileName)) {}
    /// Creates the file anew (closing it first when open). Raises EFileError.
    void Open();
    void Close();
    bool IsOpen() const { return open_; }
    int Column() const { return column_; }
    void Write(uint8_t b);
    void Write(const uint8_t* data, int count);
    /// Pushes buffered text to the file.
    void Flush();
    const QString& FileName() const { return fileName_; }

private:
    void fail();

    QString fileName_;
    QFile file_;
    bool open_ = false;
    uint8_t column_ = 0;
};

extern THexLog RxLog; // "receive.txt"
extern THexLog TxLog; // "transmit.txt"

/// Writes a received byte to the receive log when it is open and to RxTraceRing.
inline void LogRxByte(uint8_t b) {
    if (RxLog.IsOpen())
        RxLog.Write(b);
    RxTraceRing.Put(b);
}
