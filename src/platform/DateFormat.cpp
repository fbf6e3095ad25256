#include "platform/DateFormat.h"

#include <optional>

namespace {

std::optional<QLocale> localeOverride;
bool shortDdMmYy = false;

// The separator of a Qt pattern: its first character that is not a pattern letter.
QChar SeparatorOf(const QString& pattern, QChar fallback) {
    for (QChar c : pattern)
        if (!c.isLetter() && c != u'\'' && !c.isSpace())
            return c;
    return fallback;
}

QString Pad(int value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QChar(u'0'));
}

int RunLength(const QString& s, qsizetype at) {
    int n = 1;
    while (at + n < s.size() && s[at + n].toLower() == s[at].toLower())
        ++n;
    return n;
}

} // namespace

QLocale ProgramLocale() {
    if (localeOverride)
        return *localeOverride;
    const QLocale system = QLocale::system();
    return system.language() == QLocale::C ? QLocale(QLocale::Russian, QLocale::Russia) : system;
}

void SetProgramLocale(const QLocale& locale) {
    if (locale.language() == QLocale::C)
        localeOverride.reset();
    else
        localeOverride = locale;
}

QChar DateSeparator() {
    return SeparatorOf(ProgramLocale().dateFormat(QLocale::ShortFormat), u'.');
}

QChar TimeSeparator() {
    return SeparatorOf(ProgramLocale().timeFormat(QLocale::ShortFormat), u':');
}

QString ShortDateFormat() {
    if (!shortDdMmYy)
        return ProgramLocale().dateFormat(QLocale::ShortFormat);
    const QString sep(DateSeparator());
    return QStringLiteral("dd") + sep + QStringLiteral("MM") + sep + QStringLiteral("yy");
}

void UseShortDateFormatDdMmYy() {
    shortDdMmYy = true;
}

void ResetShortDateFormat() {
    shortDdMmYy = false;
}

QString DateToStr(const QDate& date) {
    return date.isValid() ? ProgramLocale().toString(date, ShortDateFormat()) : QString();
}

QString TimeToStr(const QTime& time) {
    if (!time.isValid())
        return {};
    const QString sep(TimeSeparator());
    return Pad(time.hour(), 2) + sep + Pad(time.minute(), 2) + sep + Pad(time.second(), 2);
}

QString DateTimeToStr(const QDateTime& moment) {
    if (!moment.isValid())
        return {};
    return DateToStr(moment.date()) + u' ' + TimeToStr(moment.time());
}

QString FormatDateTime(const QString& pattern, const QDateTime& moment) {
    const QDate d = moment.date();
    const QTime t = moment.time();
    QString out;
    bool afterHour = false; // "mm" right after an hour is minutes
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        const char16_t lower = c.toLower().unicode();
        const int n = RunLength(pattern, i);
        switch (lower) {
        case u'd':
            out += n >= 2 ? Pad(d.day(), 2) : QString::number(d.day());
            afterHour = false;
            break;
        case u'm':
            if (afterHour)
                out += n >= 2 ? Pad(t.minute(), 2) : QString::number(t.minute());
            else
                out += n >= 2 ? Pad(d.month(), 2) : QString::number(d.month());
            afterHour = false;
            break;
        case u'y':
            out += n >= 4 ? QString::number(d.year()) : Pad(d.year() % 100, 2);
            afterHour = false;
            break;
        case u'h':
            out += n >= 2 ? Pad(t.hour(), 2) : QString::number(t.hour());
            afterHour = true;
            break;
        case u'n':
            out += n >= 2 ? Pad(t.minute(), 2) : QString::number(t.minute());
            afterHour = false;
            break;
        case u's':
            out += n >= 2 ? Pad(t.second(), 2) : QString::number(t.second());
            afterHour = false;
            break;
        case u'z':
            out += n >= 3 ? Pad(t.msec(), 3) : QString::number(t.msec());
            afterHour = false;
            break;
        case u'/':
            out += QString(DateSeparator()).repeated(n);
            break;
        case u':':
            out += QString(TimeSeparator()).repeated(n);
            break;
        default:
            out += pattern.mid(i, n);
            break;
        }
        i += n;
    }
    return out;
}
