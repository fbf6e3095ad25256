#include "platform/DbAlias.h"

#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

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

QList<TIniSection> ParseIni(const QString& text) {
    QList<TIniSection> sections{TIniSection{}};
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString name = SectionName(line);
        if (!name.isEmpty())
            sections.append(TIniSection{name, {}});
        sections.last().Lines.append(line);
    }
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

// Reads the file; false when it exists but cannot be read.
bool ReadIni(QList<TIniSection>& sections, QString* reason = nullptr) {
    QFile file(AliasConfigPath());
    if (!file.exists()) {
        sections = ParseIni(QString());
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (reason)
            *reason = file.errorString();
        return false;
    }
    sections = ParseIni(QString::fromUtf8(file.readAll()));
    return true;
}

[[noreturn]] void SaveFailed(const QString& reason) {
    throw EVeskError(QStringLiteral("Не удалось сохранить настройки псевдонима базы данных: %1").arg(reason));
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

void SetAlias(const QString& alias, const QString& driver, const QString& path) {
    const auto badChar = [](const QString& s) { return s.contains(u'\n') || s.contains(u'\r'); };
    if (alias.trimmed().isEmpty() || alias.contains(u'[') || alias.contains(u']') || badChar(alias) ||
        badChar(driver) || badChar(path))
        SaveFailed(QStringLiteral("недопустимое имя или путь псевдонима \"%1\"").arg(alias));

    QString reason;
    QList<TIniSection> sections;
    // An unreadable file is not overwritten: the other aliases in it would be lost.
    if (!ReadIni(sections, &reason))
        SaveFailed(reason);

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
        TIniSection& last = sections.last();
        if (!last.Lines.isEmpty() && !last.Lines.last().trimmed().isEmpty())
            last.Lines.append(QString());
        sections.append(fresh);
    }

    QString text;
    for (const TIniSection& s : sections)
        for (const QString& line : s.Lines)
            text += line + u'\n';

    const QString file = AliasConfigPath();
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder))
        SaveFailed(QStringLiteral("не удалось создать папку %1").arg(folder));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        SaveFailed(out.errorString());
    const QByteArray bytes = text.toUtf8();
    if (out.write(bytes) != bytes.size())
        SaveFailed(out.errorString());
    if (!out.commit())
        SaveFailed(out.errorString());
}
