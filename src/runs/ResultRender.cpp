#include "runs/ResultRender.h"

#include "platform/Clock.h"
#include "runs/TestState.h"
#include "state/UVesk.h"

#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>
#include <optional>

namespace {

const char* const selfTestItems[7][3] = {
    {"внешнего ППЗУ", "ПРД-ПРМ кодограмм МВ", "ПРД-ПРМ кодограмм ГМВ"},
    {"СЧ МВ", "УМ МВ", "АФУ  МВ"},
    {"СЧ  ГМВ", "УМ  ГМВ", "АФУ ГМВ"},
    {"ПРМ тона МВ", "ПРМ (RSSI) МВ", "ПШ МВ"},
    {"ПРМ тона ГМВ", "ПРМ (RSSI) ГМВ", "ПШ ГМВ"},
    {"ПШ не проверялся МВ", "канал поражён МВ", nullptr},
    {"ПШ не проверялся ГМВ", "канал поражён ГМВ", nullptr},
};

// Digit values of a valid code; the caller has checked IsResultCode.
QList<int> Digits(const QString& code) {
    QList<int> d;
    for (QChar c : code.trimmed())
        d.append(QString(c).toInt(nullptr, 16));
    return d;
}

QList<TResultLine> Invalid(const QString& code) {
    return {{"Неверный код результата: " + code.trimmed(), ResultRed}};
}

// A 2-digit limit in tenths of kHz as the operator reads it: "35" -> "3,5".
QString LimitText(const QString& limit) {
    return limit.isEmpty() ? QStringLiteral(",") : limit.left(1) + u',' + limit.mid(1);
}

QString LiveVswrMv() {
    return VswrFromDb ? VswrTextMv : FormatVswr(VswrMv);
}
QString LiveVswrGmv() {
    return VswrFromDb ? VswrTextGmv : FormatVswr(VswrGmv);
}

} // namespace

QString FormatVswr(double value) {
    if (!(value >= 0.0) || !(value < 10.0))
        return QStringLiteral("???");
    const long tenths = std::lround(value * 10.0);
    if (tenths >= 100) // 9.95 and above would need a third digit
        return QStringLiteral("???");
    return QString::number(tenths / 10) + u',' + QString::number(tenths % 10);
}

QString FlagText(QChar flag) {
    if (flag == u'0')
        return QStringLiteral("0");
    return (flag.unicode() % 2 == 0 ? QStringLiteral("Норма:") : QStringLiteral("Брак:")) + flag;
}

QChar PackVswrText(const QString& text) {
    if (text.size() == 3 && text[0].isDigit() && text[1] == u',' && text[2].isDigit())
        return QChar(char16_t(text[0].digitValue() * 10 + text[2].digitValue()));
    return QChar(VswrPackedNotMeasured);
}

QString VswrTextFromPacked(QChar packed) {
    const int code = packed.unicode();
    if (code > 99)
        return QStringLiteral("???");
    return QString::number(code / 10) + u',' + QString::number(code % 10);
}

bool IsResultCode(const QString& code) {
    const QString t = code.trimmed();
    if (t.size() != 7)
        return false;
    for (QChar c : t)
        if (!((c >= u'0' && c <= u'9') || (c.toUpper() >= u'A' && c.toUpper() <= u'F')))
            return false;
    return true;
}

// The lines of a code that is empty, a time-out or not a result code; nothing for a real code.
std::optional<QList<TResultLine>> NonCodeLines(const QString& code) {
    if (code.isEmpty())
        return QList<TResultLine>{};
    if (code == u"?")
        return QList<TResultLine>{{"Нет ответа", ResultRed}};
    if (!IsResultCode(code))
        return Invalid(code);
    return std::nullopt;
}

QList<TResultLine> SelfTestLines(const QString& code) {
    if (auto lines = NonCodeLines(code))
        return *lines;
    const QList<int> d = Digits(code);
    if (d[0] & 8)
        return {{d[0] == 8 ? " Брак ЦПУ (ПЗУ) " : " Брак ЦПУ (ОЗУ) ", ResultRed}};

    QList<TResultLine> lines{{" Норма ЦПУ (ПЗУ)", ResultBlack}, {" Норма ЦПУ (ОЗУ)", ResultBlack}};
    for (int digit = 0; digit < 7; ++digit) {
        for (int bit = 0; bit < 3 && selfTestItems[digit][bit]; ++bit) {
            const bool fault = d[digit] & (1 << bit);
            if (digit >= 5 && !fault)
                continue;
            QString item = QString::fromUtf8(selfTestItems[digit][bit]);
            if (digit == 1 && bit == 2)
                item += " КСВ=" + LiveVswrMv();
            else if (digit == 2 && bit == 2)
                item += " КСВ=" + LiveVswrGmv();
            lines.append(fault ? TResultLine{" Брак " + item, ResultRed}
                               : TResultLine{" Норма " + item, ResultBlack});
        }
    }
    return lines;
}

QList<TResultLine> RadioTestLines(int test, const QString& code, const QString& serviceWord) {
    if (auto lines = NonCodeLines(code))
        return *lines;
    const QList<int> d = Digits(code);

    static const char* const names[7] = {"", "", "МВ", "ГМВ", "", "девиации МВ", "девиации ГМВ"};
    static const char* const bands[7] = {"", "", "", "", "", "МВ", "ГМВ"};
    const int blockBits = serviceWord.size() >= 2 ? serviceWord[1].unicode() : 0;

    QList<TResultLine> lines;
    const int last = test == 2 ? 6 : 3;
    for (int i = 1; i <= last; ++i) {
        const QString name = QString::fromUtf8(names[i]);
        const QString band = QString::fromUtf8(bands[i]);
        if (i >= 4 && d[i - 4] > 0) {
            lines.append({"Девиация не измерялась " + band, ResultRed});
            continue;
        }
        TResultLine line;
        const int v = d[i - 1];
        if (v == 0)
            line = {"Норма " + name, ResultGreen};
        else if (v == 1)
            line = {"Брак " + name, ResultRed};
        else if (i >= 4 && v == 2)
            line = {"Девиация " + band + " больше " + LimitText(Thresholds[i - 4]) + " кГц", ResultRed};
        else if (i >= 4 && v == 3)
            line = {"Девиация " + band + " меньше " + LimitText(Thresholds[i - 1]) + " кГц", ResultRed};
        else // a value the station does not define: shown as a fault with its digit
            line = {"Брак " + name + " (код " + QString::number(v, 16).toUpper() + ")", ResultRed};
        if (!serviceWord.isEmpty()) {
            if ((i == 2 || i == 5) && (blockBits & 2))
                line = {"Заблокирован МВ", ResultBlack};
            else if ((i == 3 || i == 6) && (blockBits & 4))
                line = {"Заблокирован ГМВ", ResultBlack};
        }
        lines.append(line);
    }
    if (test == 3)
        lines.append({"Код теста 1 р/с: " + QString::number(d[6], 16).toUpper(), ResultBlack});
    return lines;
}

void WriteResultLines(const QList<TResultLine>& lines, QTextDocument* target) {
    if (!target)
        return;
    target->clear();
    QTextCursor cursor(target);
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            cursor.insertBlock();
        QTextCharFormat format;
        format.setForeground(lines[i].Color);
        cursor.insertText(lines[i].Text, format);
    }
}

void ShowSelfTestResult(const QString& code, QTextDocument* target) {
    const QList<TResultLine> lines = SelfTestLines(code);
    // The packed form follows the live values only, and only when the antenna lines
    // were written (no processor fault).
    if (!VswrFromDb && IsResultCode(code) && !(QString(code.trimmed()[0]).toInt(nullptr, 16) & 8)) {
        VswrPacked = QString(PackVswrText(FormatVswr(VswrMv))) + PackVswrText(FormatVswr(VswrGmv));
    }
    WriteResultLines(lines, target);
}

void ShowRadioTestResult(int test, const QString& code, const QString& serviceWord, QTextDocument* target) {
    ResultShown = true;
    ResultShownAt = Clock().Now();
    WriteResultLines(RadioTestLines(test, code, serviceWord), target);
}
