#include "platform/Version.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <optional>

#ifndef VESK_VERSION
#define VESK_VERSION "0.0.0.0"
#endif

namespace {

// The block itself, kept in the program file by the linker even though only its first bytes
// are read. Searching with these same bytes leaves no second copy of the marker in the file.
__attribute__((used, section(".vesk_version"))) const char versionBlock[] =
    "VESKVERINFO\0"
    "Translation=041904E3\0"
    "FileVersion=" VESK_VERSION "\0"
    "ProductVersion=" VESK_VERSION "\0";

constexpr qsizetype markerSize = 12; // "VESKVERINFO" and its NUL
constexpr qint64 chunkSize = 1 << 16;
constexpr qint64 maxBlockSize = 4096;
constexpr qint64 maxScanSize = qint64(512) << 20;

// nullopt when the bytes after a marker are no version block (the marker bytes happened to
// occur in other data); otherwise the FileVersion of the first translation, maybe empty.
std::optional<QString> ParseBlock(const QByteArray& bytes) {
    QList<QByteArray> entries;
    qsizetype from = 0;
    for (;;) {
        const qsizetype end = bytes.indexOf('\0', from);
        if (end < 0)
            return std::nullopt; // not terminated within the bound
        if (end == from)
            break;
        entries.append(bytes.mid(from, end - from));
        from = end + 1;
    }
    static const QByteArray translationKey = "Translation=";
    if (entries.isEmpty() || !entries.first().startsWith(translationKey))
        return std::nullopt;

    const QByteArray wanted = entries.first().mid(translationKey.size()).trimmed().toUpper();
    QByteArray current;
    for (const QByteArray& entry : entries) {
        const qsizetype eq = entry.indexOf('=');
        if (eq <= 0)
            return std::nullopt;
        const QByteArray key = entry.left(eq);
        const QByteArray value = entry.mid(eq + 1);
        if (key == "Translation")
            current = value.trimmed().toUpper();
        else if (key == "FileVersion" && current == wanted)
            return QString::fromUtf8(value);
    }
    return QString();
}

} // namespace

QString GetFileVersionString(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray marker = QByteArray::fromRawData(versionBlock, markerSize);

    qint64 offset = 0; // file offset of buffer[0]
    QByteArray carry;  // the last bytes of the previous chunk, for a marker cut in two
    while (offset < maxScanSize) {
        const QByteArray chunk = file.read(chunkSize);
        if (chunk.isEmpty())
            break;
        const QByteArray buffer = carry + chunk;
        for (qsizetype at = buffer.indexOf(marker); at >= 0; at = buffer.indexOf(marker, at + 1)) {
            const qint64 resume = file.pos();
            if (!file.seek(offset + at + markerSize))
                return {};
            if (std::optional<QString> version = ParseBlock(file.read(maxBlockSize)))
                return *version;
            if (!file.seek(resume))
                return {};
        }
        const qsizetype keep = std::min<qsizetype>(markerSize - 1, buffer.size());
        carry = buffer.right(keep);
        offset += buffer.size() - keep;
    }
    return {};
}

QString ProgramFilePath() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

QString ProgramFolder() {
    // Tests give the program a folder of its own, so that no journal lands in the build tree.
    const QString overridden = qEnvironmentVariable("VESK_PROGRAM_DIR");
    if (!overridden.isEmpty())
        return overridden.endsWith(u'/') ? overridden : overridden + u'/';
    const QString path = ProgramFilePath();
    return path.isEmpty() ? QString() : QFileInfo(path).absolutePath() + u'/';
}
