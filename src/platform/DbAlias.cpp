#include "platform/DbAlias.h"

#include "platform/Errors.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The file as sections of raw lines, so that a rewrite keeps every other alias (and any
// comment a maintainer put there) exactly as it was.
struct TIniSection {
    QString Name;      // empty for the lines before the first section
    QStringList Lines; // header included
};

QString SectionName(const QString& line) {
    const QString t = line.trimmed();
    if (t.size() >= 2 && t.startsWith(u'[') && t.endsWith(u']'))
        return t.mid(1, t.size() - 2).trimmed();
    return {};
}

// A line that an alias file can hold: blank, a comment, a section header or key=value, in
// UTF-8 without control characters.
bool IniLine(const QByteArray& raw, QString& line) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    line = utf8(raw);
    if (utf8.hasError())
        return false;
    for (QChar c : line)
        if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F)
            return false;
    const QString t = line.trimmed();
    return t.isEmpty() || t.startsWith(u';') || t.startsWith(u'#') || !SectionName(t).isEmpty() ||
           t.indexOf(u'=') > 0;
}

// The file's lines by section; any other line (garbage, another file's text) is left out
// and counted in *foreign.
QList<TIniSection> ParseIni(const QByteArray& text, int* foreign = nullptr) {
    QList<TIniSection> sections{TIniSection{}};
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    int dropped = 0;
    for (QByteArray raw : lines) {
        if (raw.endsWith('\r'))
            raw.chop(1);
        QString line;
        if (!IniLine(raw, line)) {
            ++dropped;
            continue;
        }
        const QString name = SectionName(line);
        if (!name.isEmpty())
            sections.append(TIniSection{name, {}});
        sections.last().Lines.append(line);
    }
    if (foreign)
        *foreign = dropped;
    return sections;
}

// Value of a key in a section (keys and section names are not case-sensitive); null when absent.
QString SectionValue(const TIniSection& section, const QString& key) {
    for (const QString& line : section.Lines) {
        const QString t = line.trimmed();
        if (t.startsWith(u';') || t.startsWith(u'#') || t.startsWith(u'['))
            continue;
        const qsizetype eq = t.indexOf(u'=');
        if (eq > 0 && t.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return t.mid(eq + 1).trimmed();
    }
    return QString();
}

const TIniSection* FindSection(const QList<TIniSection>& sections, const QString& alias) {
    for (const TIniSection& s : sections)
        if (!s.Name.isEmpty() && s.Name.compare(alias, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

constexpr qint64 AliasFileLimit = 1024 * 1024; // far beyond any list of aliases

// Reads the file (a missing one is empty); false with the reason when it exists but cannot
// be read. Nothing but a regular file is read, and nothing in its place is waited on.
bool ReadIni(QList<TIniSection>& sections, QByteArray* raw = nullptr, int* foreign = nullptr,
             QString* reason = nullptr) {
    QByteArray bytes;
    sections = ParseIni(QByteArray());
    QString why;
    switch (ReadRegularFile(AliasConfigPath(), AliasFileLimit, bytes, &why)) {
    case TReadResult::Failed:
        if (reason)
            *reason = QStringLiteral("не удаётся прочитать файл %1: %2")
                          .arg(QFileInfo(AliasConfigPath()).fileName(), why);
        return false;
    case TReadResult::NoFile:
        break;
    case TReadResult::Loaded:
        sections = ParseIni(bytes, foreign);
        break;
    }
    if (raw)
        *raw = bytes;
    return true;
}

EVeskError SaveError(const QString& reason) {
    return EVeskError(
        QStringLiteral("Не удалось сохранить настройки псевдонима базы данных: %1").arg(reason));
}

// Keeps the file as it is under "<file>.bad" before it is replaced: a link to it when the
// file system has links (a symbolic link stays the link itself), else a copy.
QString KeepAside(const QByteArray& raw) {
    const QString bad = AliasConfigPath() + QStringLiteral(".bad");
    const QByteArray from = QFile::encodeName(AliasConfigPath()), to = QFile::encodeName(bad);
    ::unlink(to.constData());
    if (::linkat(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), 0) != 0)
        WriteFileReplacing(bad, raw);
    return bad;
}

} // namespace

QString AliasConfigPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/vesk/aliases.ini");
}

QString AliasPath(const QString& alias) {
    QList<TIniSection> sections;
    if (!ReadIni(sections))
        return {};
    const TIniSection* section = FindSection(sections, alias);
    if (!section)
        return {};
    const QString path = SectionValue(*section, QStringLiteral("PATH"));
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return {};
    return path;
}

bool AliasExists(const QString& alias) {
    QList<TIniSection> sections;
    return ReadIni(sections) && FindSection(sections, alias);
}

QString SetAlias(const QString& alias, const QString& driver, const QString& path) {
    const auto badChar = [](const QString& s) { return s.contains(u'\n') || s.contains(u'\r'); };
    if (alias.trimmed().isEmpty() || alias.contains(u'[') || alias.contains(u']') || badChar(alias) ||
        badChar(driver) || badChar(path))
        throw SaveError(QStringLiteral("недопустимое имя или путь псевдонима \"%1\"").arg(alias));

    QString reason;
    QByteArray raw;
    int foreign = 0;
    QList<TIniSection> sections;
    // An unreadable file is not overwritten: the other aliases in it would be lost.
    if (!ReadIni(sections, &raw, &foreign, &reason))
        throw SaveError(reason);

    const TIniSection fresh{alias,
                            {QStringLiteral("[%1]").arg(alias), QStringLiteral("DRIVER=%1").arg(driver),
                             QStringLiteral("PATH=%1").arg(path)}};
    bool placed = false;
    for (qsizetype i = 0; i < sections.size(); ++i) {
        if (sections[i].Name.isEmpty() || sections[i].Name.compare(alias, Qt::CaseInsensitive) != 0)
            continue;
        if (placed) {
            sections.removeAt(i--); // a duplicate of the alias would shadow nothing but confuse readers
            continue;
        }
        // Keep a blank line that separated this section from the next one.
        const bool gap = !sections[i].Lines.isEmpty() && sections[i].Lines.last().trimmed().isEmpty();
        sections[i] = fresh;
        if (gap)
            sections[i].Lines.append(QString());
        placed = true;
    }
    if (!placed) {
        if (!sections.isEmpty()) {
            TIniSection& last = sections.last();
            if (!last.Lines.isEmpty() && !last.Lines.last().trimmed().isEmpty())
                last.Lines.append(QString());
        }
        sections.append(fresh);
    }

    QString text;
    for (const TIniSection& s : sections)
        for (const QString& line : s.Lines)
            text += line + u'\n';

    const QString file = AliasConfigPath();
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder))
        throw SaveError(QStringLiteral("не удалось создать папку %1").arg(folder));
    QString note;
    try {
        // Written through a file of its own renamed over the old one: a link in its place
        // is replaced, never followed, and a failed write leaves the old file whole.
        if (foreign > 0)
            note = QStringLiteral("В файле псевдонимов %1 были строки, не являющиеся описанием псевдонимов. "
                                  "Они не перенесены в новый файл; прежний файл сохранён как %2.")
                       .arg(file, KeepAside(raw));
        WriteFileReplacing(file, text.toUtf8());
    } catch (const EVeskError& e) {
        throw SaveError(e.Message());
    }
    return note;
}
