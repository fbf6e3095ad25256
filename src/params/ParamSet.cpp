#include "params/ParamSet.h"

#include "link/Builders.h"
#include "link/TxBuffer.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "runs/TestState.h"

#include <QFile>
#include <QList>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

uint16_t ParamsDirty = 0;

namespace {

// Appends the first count characters of s as digit bytes.
void PutDigits(const QString& s, int count, const char* what) {
    if (s.size() < count)
        throw ERangeError(QStringLiteral("%1: нужно %2 цифр, получено \"%3\"").arg(what).arg(count).arg(s));
    for (int i = 0; i < count; ++i)
        PutTxByte(uint8_t(0x80 + HexVal(s.mid(i, 1))));
}

void ThresholdFrame(uint8_t kind, int first) {
    PutTxByte(0xEA);
    PutTxByte(0x80);
    PutTxByte(kind);
    for (int i = first; i < first + 3; ++i)
        PutDigits(Thresholds[i], 2, "Порог девиации");
    PutTxByte(0xEB);
}

void CheckDigit(int digit) {
    if (digit < 1 || digit > 8)
        throw ERangeError(QStringLiteral("Номер цифры служебного слова вне диапазона"));
}

// ConfigWord brought to at least 8 characters, so that every digit can be written.
void FillConfigWord() {
    if (ConfigWord.size() < 8)
        ConfigWord = ConfigWord.leftJustified(8, u'0');
}

// The reason a read failed: rights to read; the rest as for any file operation.
QString ReadErrorText(int error) {
    if (error == EACCES || error == EPERM)
        return QStringLiteral("нет прав на чтение");
    return SystemErrorText(error);
}

// An integer line of "params.txt"; false when the line holds none.
bool IntegerLine(const QByteArray& line, int& value) {
    bool ok = false;
    value = QString::fromUtf8(line).trimmed().toInt(&ok);
    return ok;
}

// A line of count decimal values of width digits, each followed by one blank, as the save
// writes the thresholds and the channel numbers.
bool ValuesLine(const QByteArray& line, int count, int width) {
    if (line.size() != count * (width + 1))
        return false;
    for (int i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (i % (width + 1) == width ? c != ' ' : c < '0' || c > '9')
            return false;
    }
    return true;
}

constexpr qint64 ParamsFileLimit = 64 * 1024; // far beyond seven short lines

} // namespace

void AppendConfigWordFrame() {
    PutTxByte(0xE8);
    PutDigits(ConfigWord, 8, "Служебное слово");
    PutTxByte(0xE9);
}

void AppendUpperThresholdFrame() {
    ThresholdFrame(0x80, 0);
}

void AppendLowerThresholdFrame() {
    ThresholdFrame(0x81, 3);
}

void AppendParamBlock2Frame() {
    PutTxByte(0xEA);
    PutTxByte(0x80);
    PutTxByte(0x82);
    for (const QString& value : ParamBlock2)
        PutHexDigits(value);
    PutTxByte(0xEB);
}

void AppendChannelFrame(int n) {
    if (n < 1 || n > 4)
        throw ERangeError(QStringLiteral("Номер канала МВ вне диапазона"));
    PutTxByte(0xE4);
    PutTxByte(0x80);
    PutTxByte(uint8_t(0x80 + n));
    PutDigits(MvChannels[n].Prm, 3, "Номер канала приёма");
    PutDigits(MvChannels[n].Prd, 3, "Номер канала передачи");
    PutTxByte(0xE5);
}

void AppendGap() {
    for (int i = 0; i < 20; ++i)
        PutTxByte(0x00);
}

void AppendAllFrames() {
    AppendConfigWordFrame();
    AppendGap();
    AppendUpperThresholdFrame();
    AppendGap();
    AppendLowerThresholdFrame();
    AppendGap();
    AppendParamBlock2Frame();
    for (int n = 1; n <= 3; ++n) {
        AppendGap();
        AppendChannelFrame(n);
    }
}

void AppendParamFrames(int tag) {
    switch (tag) {
    case 0:
        AppendConfigWordFrame();
        break;
    case 1:
        AppendUpperThresholdFrame();
        AppendLowerThresholdFrame();
        break;
    case 2:
    case 3:
    case 4:
        AppendChannelFrame(tag - 1);
        break;
    case SendAllTag:
        AppendAllFrames();
        ParamsDirty = 0;
        return;
    default:
        throw ERangeError(QStringLiteral("Неизвестная группа параметров %1").arg(tag));
    }
    ParamsDirty &= uint16_t(~DirtyBits[tag]);
}

void SendParamFrames(int tag) {
    TTxLock lock(TxMutex());
    TxBuffer.Len = 0;
    AppendParamFrames(tag);
    SendBuffer(TxBuffer, TxSent);
}

QString ZapInsert(const QString& s) {
    return s.left(1) + u',' + s.mid(1);
}

bool ConfigFlag(const QString& word, int digit, int bit) {
    CheckDigit(digit);
    return digit <= word.size() && (word.at(digit - 1).unicode() & bit) != 0;
}

void SetConfigFlag(int digit, int bit, bool on) {
    CheckDigit(digit);
    FillConfigWord();
    // Worked on the digit's value, so that the result is always a digit: a character that
    // is none counts as 0, and 8 or 9 (no flag of theirs) lose their high bit once a flag
    // is set.
    const QChar c = ConfigWord.at(digit - 1);
    int value = c >= u'0' && c <= u'9' ? c.unicode() - u'0' : 0;
    value = on ? value | bit : value & ~bit;
    if (value > 9)
        value &= 7;
    ConfigWord[digit - 1] = QChar(u'0' + value);
}

void SetConfigDigit(int digit, QChar c) {
    CheckDigit(digit);
    FillConfigWord();
    ConfigWord[digit - 1] = c;
}

int ConfigDigit(const QString& word, int digit) {
    CheckDigit(digit);
    if (digit > word.size())
        return -1;
    const QChar c = word.at(digit - 1);
    return c >= u'0' && c <= u'9' ? c.unicode() - u'0' : -1;
}

QByteArray ParamsFileText() {
    QString text = ConfigWord + "\r\n";
    for (int i : {1, 4, 2, 5})
        text += Thresholds[i] + u' ';
    text += "\r\n";
    for (int slot = 1; slot <= 4; ++slot)
        text += MvChannels[slot].Prm + u' ' + MvChannels[slot].Prd + u' ';
    text += "\r\n";
    for (const TPshSetting& p : PshSettings)
        text += QString::number(p.Level) + "\r\n" + (p.Off ? "0" : "1") + "\r\n";
    return text.toUtf8();
}

bool ParseParamsFile(const QByteArray& bytes, TParamsFile& out, QString* reason) {
    const auto refuse = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    // Taken as bytes: every line the save writes is plain ASCII, so anything else is refused
    // by the checks below rather than decoded into something that looks like a digit.
    QList<QByteArray> lines = bytes.split('\n');
    if (lines.size() < 7)
        return refuse(QStringLiteral("в файле меньше семи строк"));
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    const QByteArray& word = lines[0];
    if (word.size() != 8)
        return refuse(QStringLiteral("строка 1: в служебном слове должно быть 8 цифр"));
    // Any decimal digit, in the flag digits 1-3 too: the station may report 8 or 9 there,
    // and a saved word comes back as it was written.
    for (const char c : word)
        if (c < '0' || c > '9')
            return refuse(QStringLiteral("строка 1: в служебном слове должны быть только цифры"));
    out.ConfigWord = QString::fromLatin1(word);
    if (!ValuesLine(lines[1], 4, 2))
        return refuse(QStringLiteral("строка 2: нужны четыре порога девиации по две цифры, каждый с пробелом "
                                     "после него"));
    const int thresholdOrder[4] = {1, 4, 2, 5};
    for (int k = 0; k < 4; ++k)
        out.Thresholds[thresholdOrder[k]] = QString::fromLatin1(lines[1].mid(3 * k, 2));
    if (!ValuesLine(lines[2], 8, 3))
        return refuse(QStringLiteral("строка 3: нужны восемь номеров каналов МВ по три цифры, каждый с "
                                     "пробелом после него"));
    for (int k = 0; k < 8; ++k) {
        TMvChannel& slot = out.MvChannels[k / 2 + 1];
        (k % 2 == 0 ? slot.Prm : slot.Prd) = QString::fromLatin1(lines[2].mid(4 * k, 3));
    }
    for (int band = 0; band < 2; ++band) {
        int level = 0, on = 0;
        const int levelLine = 3 + 2 * band;
        if (!IntegerLine(lines[levelLine], level) || level < 0 || level > 255)
            return refuse(QStringLiteral("строка %1: уровень ПШ должен быть целым числом от 0 до 255")
                              .arg(levelLine + 1));
        if (!IntegerLine(lines[levelLine + 1], on))
            return refuse(QStringLiteral("строка %1: нужно целое число").arg(levelLine + 2));
        out.PshSettings[band] = {level, on == 0};
    }
    return true;
}

void ApplyParamsFile(const TParamsFile& file) {
    ConfigWord = file.ConfigWord;
    for (int i : {1, 2, 4, 5})
        Thresholds[i] = file.Thresholds[i];
    for (int slot = 1; slot <= 4; ++slot)
        MvChannels[slot] = file.MvChannels[slot];
    PshSettings[0] = file.PshSettings[0];
    PshSettings[1] = file.PshSettings[1];
}

void SaveParamsFile(const QString& path) {
    WriteFileReplacing(path, ParamsFileText());
}

TParamsLoad LoadParamsFile(const QString& path, QString* reason) {
    const auto refuse = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return TParamsLoad::Refused;
    };
    // Opened without blocking and checked before reading: a FIFO or a device in the
    // file's place would hold the window until someone writes into it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return TParamsLoad::NoFile;
        return refuse(ReadErrorText(errno));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(S_ISDIR(st.st_mode) ? QStringLiteral("на этом месте находится папка")
                                          : QStringLiteral("это не обычный файл"));
    }
    if (st.st_size > ParamsFileLimit) {
        ::close(fd);
        return refuse(QStringLiteral("файл слишком велик для файла параметров"));
    }
    QByteArray bytes;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return refuse(ReadErrorText(error));
        }
        if (n == 0)
            break;
        bytes.append(chunk, n);
        if (bytes.size() > ParamsFileLimit) {
            ::close(fd);
            return refuse(QStringLiteral("файл слишком велик для файла параметров"));
        }
    }
    ::close(fd);
    TParamsFile file;
    QString why;
    if (!ParseParamsFile(bytes, file, &why))
        return refuse(why);
    ApplyParamsFile(file);
    return TParamsLoad::Loaded;
}
