#include "link/FrameDecoder.h"

#include "link/Receiver.h"
#include "link/Sound.h"
#include "platform/Errors.h"
#include "runs/JournalWriters.h"
#include "runs/TestState.h"
#include "state/LinkView.h"
#include "state/MainView.h"
#include "state/UVesk.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <utility>

Q_LOGGING_CATEGORY(lcFrames, "vesk.link.frames")

QString DeviceTrainNumber;
QString DeviceLocoNumber;
TFrame ResultQueue[ResultQueueSize];
int ResultCount = 0;
TResultContext ResultContexts[ResultQueueSize];
bool ResultQueueFromStation = false;
std::deque<TPendingResult> ResultBacklog;
TBlockNumDigits BlockNumDigits;

namespace {
void LoseResult(const TFrame& f);
}

void ClearResultQueue(bool tell) {
    if (tell) {
        for (int i = 0; i < std::min(ResultCount, ResultQueueSize); ++i)
            if (ResultQueue[i].State == 2)
                LoseResult(ResultQueue[i]);
        for (const TPendingResult& p : ResultBacklog)
            LoseResult(p.Frame);
    }
    ResultBacklog.clear();
    ResultCount = 0;
    ResultQueueFromStation = false;
}

int RefillResultQueue() {
    int moved = 0;
    while (ResultCount < ResultQueueSize && !ResultBacklog.empty()) {
        ResultQueue[ResultCount] = ResultBacklog.front().Frame;
        ResultContexts[ResultCount] = std::move(ResultBacklog.front().Context);
        ResultBacklog.pop_front();
        ++ResultCount;
        ++moved;
    }
    return moved;
}

TResultContext SessionContext() {
    TResultContext c;
    c.Train = TrainNumber;
    c.Loco = LocoNumber;
    c.DeviceTrain = DeviceTrainNumber;
    c.DeviceLoco = DeviceLocoNumber;
    for (int i = 0; i < 3; ++i)
        c.Deviation[i] = MeasuredDeviation[i];
    c.ToneD = ToneFlagsD;
    c.ToneG = ToneFlagsG;
    c.ToneM = ToneFlagsM;
    c.BlockNums = BlockNumDigits;
    return c;
}

void ClearBlockNumDigits() {
    BlockNumDigits = TBlockNumDigits{};
}

bool TBlockNumDigits::IsEmpty() const {
    for (const auto& block : Digits)
        for (uint8_t d : block)
            if (d != 0)
                return false;
    return true;
}

namespace {

// The digits each decoder reads: a shorter frame carries stale digits of an earlier one.
constexpr int DecodedDigits = 8;

// Text of nibbles from..to (inclusive) as hex characters; assigned only when it differs,
// so a repeated report allocates nothing.
void AssignHex(QString& dst, const TFrame& f, int from, int to) {
    const int n = to - from + 1;
    bool same = dst.size() == n;
    for (int i = 0; same && i < n; ++i)
        same = dst.at(i) == NibbleHexChar(f.Nibbles[from + i]);
    if (same)
        return;
    QChar text[16];
    for (int i = 0; i < n; ++i)
        text[i] = NibbleHexChar(f.Nibbles[from + i]);
    dst = QString(text, n);
}

// A text put together on the stack and turned into one QString: the decoders run for every
// frame, and a string grown piece by piece would allocate at each piece.
class TText {
public:
    TText& operator<<(QStringView s) {
        for (QChar c : s)
            if (n_ < Size)
                c_[n_++] = c;
        return *this;
    }
    TText& operator<<(QChar c) {
        if (n_ < Size)
            c_[n_++] = c;
        return *this;
    }
    // A digit value in decimal (one or two characters).
    TText& Dec(unsigned v) {
        if (v >= 10)
            *this << QChar(u'0' + v / 10);
        return *this << QChar(u'0' + v % 10);
    }
    TText& Dec(const TFrame& f, int from, int to) {
        for (int i = from; i <= to; ++i)
            Dec(f.Nibbles[i]);
        return *this;
    }
    TText& Hex(const TFrame& f, int from, int to) {
        for (int i = from; i <= to; ++i)
            *this << NibbleHexChar(f.Nibbles[i]);
        return *this;
    }
    QStringView View() const { return QStringView(c_, n_); }
    QString Str() const { return QString(c_, n_); }

private:
    static constexpr int Size = 96;
    QChar c_[Size];
    int n_ = 0;
};

QString HexText(const TFrame& f, int from, int to) {
    return (TText().Hex(f, from, to)).Str();
}

// Assigns text to dst unless it already holds it.
void AssignText(QString& dst, QStringView text) {
    if (dst != text)
        dst = text.toString();
}

// A result the backlog could not take: named in the log at once, and to the operator once
// the decoding and the wait in progress are over.
void LoseResult(const TFrame& f) {
    const QString text = QStringLiteral("Тест %1 код %2").arg(f.Nibbles[7]).arg(HexText(f, 0, 6));
    qCWarning(lcFrames).noquote() << "result not kept:" << text;
    TellOperatorLater(TNotice::LostResults, text);
}

// Queues a result with what its journal rows need. The session's factory numbers and
// tone flags go with it: what arrives after it belongs to the next result. A result that
// finds the queue full waits in the backlog; its frame is decoded no further either way.
void QueueResult(const TFrame& f, int index) {
    if (index < 0)
        return;
    // The station's own results keep their order behind those already waiting; a test
    // started from the PC has its queue to itself.
    const bool behind = ResultQueueFromStation && !ResultBacklog.empty();
    if ((index >= ResultQueueSize || behind) && int(ResultBacklog.size()) >= ResultBacklogLimit) {
        LoseResult(f);
        return;
    }
    TResultContext context = SessionContext();
    // A result that comes while a test started from the PC waits for it is that test's
    // answer, whenever its wait takes it (at the end of the run too).
    context.FromPc = !ResultQueueFromStation;
    if (index >= ResultQueueSize || behind) {
        ResultBacklog.push_back({f, std::move(context)});
    } else {
        ResultQueue[index] = f;
        ResultContexts[index] = std::move(context);
        ResultCount = index + 1;
    }
    ResetToneFlags();
    ClearBlockNumDigits();
}

// A result frame has exactly eight digits: a shorter one would carry the test number of an
// earlier frame, and the wait loops take no other length.
bool IsResult(const TFrame& f) {
    return f.Count == 8 && f.Nibbles[7] >= 1 && f.Nibbles[7] <= 3;
}

void DeviceStartedResult(const TFrame& f) {
    if (!IsResult(f))
        return;
    // Results still waiting (there should be none while no test runs) come first.
    ResultCount = 0;
    ResultQueueFromStation = true;
    RefillResultQueue();
    QueueResult(f, ResultCount);
    const uint8_t test = ResultQueue[0].Nibbles[7];
    RunningTest = test;
    PostMainFormMessage(test == 1 ? WM_DEVICE_TEST1 : WM_DEVICE_TEST23);
}

// One МВ channel number of frame E4 from digits from..from+2; bad digits become '0'.
TText MvNumber(const TFrame& f, int from, uint8_t slot, int kind) {
    TText text;
    for (int i = 0; i < 3; ++i) {
        const uint8_t d = f.Nibbles[from + i];
        if (d <= 9) {
            text << QChar(u'0' + d);
        } else {
            text << u'0';
            MainView().Err_kan(slot, kind);
        }
    }
    return text;
}

void MvChannelFrame(const TFrame& f) {
    const uint8_t slot = f.Nibbles[1];
    const TText prm = MvNumber(f, 2, slot, 1);
    if (slot >= 1 && slot <= 4) {
        if ((DataErrorFlags & 0xFC) == 0)
            AssignText(MvChannels[slot].Prm, prm.View());
    } else {
        DataErrorFlags |= 2;
    }
    const TText prd = MvNumber(f, 5, slot, 2);
    if (slot >= 1 && slot <= 4) {
        if ((DataErrorFlags & 0xFC) == 0)
            AssignText(MvChannels[slot].Prd, prd.View());
    } else {
        DataErrorFlags |= 2;
    }
    LinkView().ParamsFormShow();
}

void ConfigFrame(const TFrame& f) {
    if (ConfigWord.size() < 8)
        ConfigWord = ConfigWord.leftJustified(8, u'0');
    for (int i = 0; i < 8; ++i) {
        const uint8_t d = f.Nibbles[i];
        if (d <= 9) {
            if (ConfigWord.at(i) != QChar(u'0' + d))
                ConfigWord[i] = QChar(u'0' + d);
        } else {
            DataErrorFlags |= 1;
        }
    }
    ShowConfig();
    LinkView().SetParamsConfigWord(ConfigWord);
    if (ConfigWord == QLatin1String("01111111"))
        DataErrorFlags |= 1;
}

void MeasurementFrame(const TFrame& f) {
    const uint8_t* d = f.Nibbles;
    if (d[0] != 0)
        return;
    switch (d[1]) {
    case 0:
    case 1: {
        const int base = d[1] == 0 ? 0 : 3;
        AssignHex(Thresholds[base + 0], f, 2, 3);
        AssignHex(Thresholds[base + 1], f, 4, 5);
        AssignHex(Thresholds[base + 2], f, 6, 7);
        LinkView().ParamsFormShow();
        break;
    }
    case 2:
        AssignHex(ParamBlock2[0], f, 2, 3);
        ParamBlock2[1].clear();
        ParamBlock2[2].clear();
        VswrMv = d[4] + d[5] / 10.0;
        VswrGmv = d[6] + d[7] / 10.0;
        break;
    case 3:
        AssignHex(MeasuredDeviation[0], f, 2, 3);
        AssignHex(MeasuredDeviation[1], f, 4, 5);
        AssignHex(MeasuredDeviation[2], f, 6, 7);
        {
            const QChar mv[3] = {NibbleHexChar(d[4]), u',', NibbleHexChar(d[5])};
            const QChar gmv[3] = {NibbleHexChar(d[6]), u',', NibbleHexChar(d[7])};
            LinkView().SetDeviation(QStringView(mv, 3), QStringView(gmv, 3));
        }
        break;
    case 4:
    case 5:
        LinkView().SetRssi(d[1] == 4 ? TBand::Mv : TBand::Gmv, TText().Dec(f, 4, 7).View());
        break;
    case 6:
    case 7: {
        const int level = d[5] * 100 + d[6] * 10 + d[7];
        if (level > 255)
            throw ERangeError(QStringLiteral("Уровень ПШ %1 вне диапазона").arg(level));
        TPshSetting& p = PshSettings[d[1] == 6 ? 0 : 1];
        p.Level = level;
        p.Off = d[4] != 0;
        MainView().ShowPSHs();
        LinkView().CallShowPshs();
        LinkView().ParamsShowPSHs();
        break;
    }
    default:
        break;
    }
}

void FactoryNumberFrame(const TFrame& f) {
    const uint8_t* d = f.Nibbles;
    for (int i = 0; i < 8; ++i)
        if (d[i] > 9)
            throw ERangeError(QStringLiteral("Заводской номер: цифра вне диапазона"));
    const int a = d[0] * 10 + d[1], b = d[2] * 10 + d[3], c = d[4] * 10 + d[5], check = d[6] * 10 + d[7];
    if ((a + b + c) % 100 != check)
        return;
    if (a < 10 || a > 41)
        throw ERangeError(QStringLiteral("Заводской номер: блок %1 вне диапазона").arg(a));
    const int block = (a - 10) / 4, quarter = (a - 10) % 4;
    for (int i = 0; i < 4; ++i)
        BlockNumDigits.Digits[block][quarter * 4 + i] = d[2 + i];
    TText row;
    row << u"Зав. номер ";
    row.Dec(unsigned(a / 10)).Dec(unsigned(a % 10)) << u" = ";
    row.Dec(unsigned(b / 10)).Dec(unsigned(b % 10)).Dec(unsigned(c / 10)).Dec(unsigned(c % 10));
    MainView().AddMessageRow(row.Str(), true);
}

// Returns false when the frame is not a sound command (wrong signature).
bool SoundCommandFrame(TFrame& f) {
    static constexpr uint8_t signature[7] = {0xF, 0x0, 0x5, 0xA, 0xF, 0x0, 0xF};
    if (f.Count != 8)
        return true;
    if (std::memcmp(f.Nibbles, signature, sizeof signature) != 0)
        return false;
    const int n = f.Nibbles[7];
    try {
        HandleSoundCommand(n);
    } catch (...) {
        ClearFrame(f);
        throw;
    }
    ClearFrame(f);
    return true;
}

} // namespace

int FrameNibblesValue(const TFrame& frame, QString& hex, int n) {
    if (n == -1)
        n = frame.Count;
    if (n > 18)
        throw ERangeError(QStringLiteral("Число цифр кадра вне диапазона"));
    hex.clear();
    uint32_t value = 0, weight = 1; // the weight wraps to 0 from the ninth digit on
    for (int i = 0; i <= n - 3; ++i) {
        value += frame.Nibbles[i] * weight;
        weight *= 16;
        hex += NibbleHexChar(frame.Nibbles[i]);
    }
    return int32_t(value);
}

void IntToStrPad(int value, int width, QString& s) {
    s = QString::number(value);
    while (s.size() < width)
        s.prepend(u'0');
}

void ClearFrame(TFrame& frame) {
    frame.Code = 0;
    frame.Count = 0;
}

QString FormatTrainNumber(const TFrame& f) {
    TText number;
    number.Dec(f, 2, 5);
    TText s;
    s << u"Номер поезда: " << (number.View() == u"0000" ? QStringView(u"XXXX") : number.View());
    if (f.Nibbles[0] == 9 && f.Nibbles[1] == 7)
        (s << u". Код теста1 р/c: ").Hex(f, 6, 7);
    return s.Str();
}

QString FormatLocoNumber(const TFrame& f) {
    TText s;
    s << u"Номер локомотива: ";
    return s.Dec(f, 1, 7).Str();
}

void FormatTrainNumber(QString& s) {
    s = FormatTrainNumber(RxFrame);
}

void FormatLocoNumber(QString& s) {
    s = FormatLocoNumber(RxFrame);
}

namespace {
int ConfigBits() {
    if (ConfigWord.size() < 8)
        throw ERangeError(QStringLiteral("Служебное слово короче 8 цифр"));
    const QChar c = ConfigWord.at(1);
    if (c < u'0' || c > u'9')
        throw ERangeError(QStringLiteral("Служебное слово: не цифра"));
    return c.unicode() - u'0';
}
} // namespace

void ShowConfig() {
    const int bits = ConfigBits();
    LinkView().SetStandbyChannels(QStringView(ConfigWord).mid(7, 1), QStringView(ConfigWord).mid(6, 1));
    ApplyMvBlock();
    LinkView().SetGmvGrey((bits & 4) != 0);
}

void ApplyMvBlock() {
    LinkView().ApplyMvBlock((ConfigBits() & 2) != 0);
}

void ApplyGmvBlock() {
    LinkView().ApplyGmvBlock((ConfigBits() & 4) != 0);
}

void HandleFrame(TFrame& f) {
    // Results of the running test go to the queue whatever else is going on.
    if (RunningTest != 0 && f.Code == 0xE2) {
        // While the station's own results are handled, a result of its next test waits
        // its turn; a test started from the PC takes its own results only, and the
        // operator is told of a result of another test that it leaves out.
        if (IsResult(f) && (f.Nibbles[7] == RunningTest || ResultQueueFromStation))
            QueueResult(f, ResultCount);
        else if (IsResult(f))
            LoseResult(f);
        return;
    }
    bool refreshDataError = true;
    if (!SoundTransferOn || f.Code == 0xFA) {
        const bool shortFrame = f.Count < DecodedDigits;
        switch (f.Code) {
        case 0xE2:
            DeviceStartedResult(f);
            break;
        case 0xE4:
            if (shortFrame)
                return;
            MvChannelFrame(f);
            break;
        case 0xE8:
            if (shortFrame)
                return;
            ConfigFrame(f);
            break;
        case 0xEA:
            if (shortFrame)
                return;
            MeasurementFrame(f);
            break;
        case 0xEC:
            // Six digits carry the number; the test-1 code needs all eight.
            if (f.Count < 6 || (f.Nibbles[0] == 9 && f.Nibbles[1] == 7 && f.Count < 8))
                return;
            AssignHex(DeviceTrainNumber, f, 2, 5);
            MainView().AddMessageRow(FormatTrainNumber(f), true);
            TrainNumber = DeviceTrainNumber;
            break;
        case 0xEE:
            if (shortFrame)
                return;
            AssignHex(DeviceLocoNumber, f, 1, 7);
            MainView().AddMessageRow(FormatLocoNumber(f), true);
            LocoNumber = DeviceLocoNumber;
            break;
        case 0xF0:
        case 0xF2: {
            if (shortFrame)
                return;
            QString text = HexText(f, 0, 7);
            if (f.Code == 0xF2)
                text[1] = u' ';
            LinkView().ShowSpecialResult(f.Code == 0xF0 ? 0 : 1, text);
            LinkView().Beep();
            break;
        }
        case 0xF6:
            if (shortFrame)
                return;
            AssignHex(DeviceVersion, f, 2, 7);
            LinkView().SetParamsVersion(DeviceVersion);
            break;
        case 0xF8:
            if (shortFrame)
                return;
            FactoryNumberFrame(f);
            break;
        case 0xFA:
            refreshDataError = SoundCommandFrame(f);
            break;
        default:
            break;
        }
    }
    if (refreshDataError)
        LinkView().ShowDataError(DataErrorFlags != 0);
}
