#pragma once
// Sets an environment variable for the life of a test and puts back what was there.

#include <QByteArray>
#include <QtGlobal>

class TEnvGuard {
public:
    TEnvGuard(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~TEnvGuard() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    TEnvGuard(const TEnvGuard&) = delete;
    TEnvGuard& operator=(const TEnvGuard&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};
