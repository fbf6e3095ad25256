#pragma once
// The program's raised error: a Russian message for the operator.

#include <QString>
#include <stdexcept>

class EVeskError : public std::runtime_error {
public:
    explicit EVeskError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& Message() const { return message_; }

private:
    QString message_;
};

/// A value outside its range (an index, a narrowing assignment).
class ERangeError : public EVeskError {
public:
    using EVeskError::EVeskError;
};

/// A file that cannot be opened, read, written or closed.
class EFileError : public EVeskError {
public:
    using EVeskError::EVeskError;
};

/// The reason of a failed system call (an errno value) in Russian, without a full stop, to
/// follow a colon: "нет места на диске".
QString SystemErrorText(int error);

/// Text of any caught exception, for the error display.
QString ExceptionText(const std::exception& e);
