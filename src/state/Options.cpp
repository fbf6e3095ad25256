#include "state/Options.h"

#include "platform/DbAlias.h"
#include "platform/Errors.h"
#include "platform/Version.h"

#include <QFile>

void WriteOptions(const QString& name) {
    QFile f(OptionsFileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EFileError(QString("Не удалось записать файл %1: %2").arg(OptionsFileName, f.errorString()));
    const QByteArray bytes = name.toUtf8() + "\r\n";
    if (f.write(bytes) != bytes.size() || !f.flush())
        throw EFileError(QString("Не удалось записать файл %1: %2").arg(OptionsFileName, f.errorString()));
    f.close();
}

TOptions ReadOptions() {
    QFile f(OptionsFileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EFileError(QString("Не удалось прочитать файл %1: %2").arg(OptionsFileName, f.errorString()));
    QByteArray line = f.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    TOptions o;
    o.PortName = QString::fromUtf8(line);
    // A short line ("TCP") or a fourth character that is not a digit gives 0, never an error.
    if (o.PortName.size() >= 4) {
        const QChar c = o.PortName.at(3);
        if (c >= '0' && c <= '9')
            o.PortDigit = uint8_t(c.unicode() - '0');
    }
    return o;
}

void EnsureDbAlias() {
    const QString folder = ProgramFolder();
    if (AliasPath("dbVesk") != folder)
        SetAlias("dbVesk", "PARADOX", folder);
}

QString JournalFolder() {
    const QString path = AliasPath("dbVesk");
    return path.isEmpty() ? ProgramFolder() : path;
}
