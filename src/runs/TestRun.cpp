#include "runs/TestRun.h"

#include "journal/BlockNumTable.h"
#include "platform/Clock.h"
#include "platform/DateFormat.h"
#include "state/UVesk.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>
#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcRuns, "vesk.runs")

namespace {
int waitDepth = 0;
bool startingUp = false;

QChar HexChar(int v) {
    return QChar(u"0123456789ABCDEF"[v & 15]);
}

int Digit(const QString& code, int i) {
    return i < code.size() ? QString(code[i]).toInt(nullptr, 16) : 0;
}
} // namespace

QString ResultCodeOf(const TFrame& frame) {
    QString code;
    for (int i = 0; i < 7; ++i)
        code += HexChar(frame.Nibbles[i]);
    return code;
}

QList<TFoundResult> ScanResults(int test) {
    QList<TFoundResult> found;
    const int count = std::clamp(ResultCount, 0, ResultQueueSize);
    for (int i = 0; i < count; ++i) {
        TFrame& f = ResultQueue[i];
        // The station's results are journalled in the order they came: a wait stops at
        // one of another test, which the next wait takes.
        if (f.State == 2 && f.Nibbles[7] != test && ResultQueueFromStation)
            break;
        if (f.State != 2 || f.Nibbles[7] != test)
            continue;
        f.State = 0;
        if (f.Code == 0xE2 && f.Count == 8)
            found.append({i, ResultCodeOf(f)});
    }
    return found;
}

namespace {
int FirstQueued(int test) {
    const int count = std::clamp(ResultCount, 0, ResultQueueSize);
    for (int i = 0; i < count; ++i) {
        const TFrame& f = ResultQueue[i];
        if (f.State == 2 && f.Nibbles[7] == test)
            return i;
    }
    return -1;
}
} // namespace

bool QueueHoldsResult(int test) {
    return FirstQueued(test) >= 0;
}

const TResultContext* QueuedResultContext(int test) {
    const int i = FirstQueued(test);
    return i >= 0 ? &ResultContexts[i] : nullptr;
}

int NextQueuedTest(bool keepDirections) {
    const int count = std::clamp(ResultCount, 0, ResultQueueSize);
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const TFrame& f = ResultQueue[i];
        if (f.State != 2) // consumed; the decoder queues results only
            continue;
        if (kept != i) {
            ResultQueue[kept] = f;
            ResultContexts[kept] = ResultContexts[i];
        }
        ++kept;
    }
    ResultCount = kept;
    RefillResultQueue();
    if (ResultCount == 0)
        return 0;
    // What is left is the station's own: the waits that take it take its other tests too,
    // and journal it as the station's.
    ResultQueueFromStation = true;
    if (!keepDirections) {
        for (int i = 0; i < ResultCount; ++i)
            ResultContexts[i].FromPc = false;
        for (TPendingResult& p : ResultBacklog)
            p.Context.FromPc = false;
    }
    return ResultQueue[0].Nibbles[7];
}

bool SelfTestNorma(const QString& code) {
    for (int i = 0; i < 5; ++i)
        if (Digit(code, i) != 0)
            return false;
    return true;
}

bool RadioTestNorma(int test, const QString& code, QString* verdictHex) {
    const int n = test == 3 ? 1 : 4;
    if (verdictHex)
        *verdictHex = code.left(n);
    bool norma = true;
    for (int i = 0; i < n; ++i)
        norma = norma && Digit(code, i) == 0;
    if (test == 3)
        norma = norma && Digit(code, 6) == 0;
    return norma;
}

TWaitClock::TWaitClock() : start_(Clock().MonotonicMs()) {}

int TWaitClock::ElapsedSeconds() const {
    return int(std::llround((Clock().MonotonicMs() - start_) / 1000.0));
}

void WaitPass(int maxMs) {
    if (!QCoreApplication::instance())
        return;
    if (maxMs <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    // Sleeps in the event dispatcher until an event comes or the timer wakes it.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(maxMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

TWaitGuard::TWaitGuard() {
    ++waitDepth;
}

TWaitGuard::~TWaitGuard() {
    --waitDepth;
}

bool TestWaitRunning() {
    return waitDepth > 0;
}

bool TestRunBusy() {
    return RunningTest != 0 || waitDepth > 0;
}

void SetStartingUp(bool on) {
    startingUp = on;
}

bool StartingUp() {
    return startingUp;
}

QStringList BlockNumStrings(const TBlockNumDigits& digits) {
    bool any = false;
    QStringList blocks;
    for (const auto& block : digits.Digits) {
        QString s;
        for (uint8_t d : block) {
            any = any || d != 0;
            s += HexChar(d);
        }
        blocks.append(s);
    }
    return any ? blocks : QStringList();
}

bool FlushBlockNumDigits(const TResultContext& result) {
    const QStringList blocks = BlockNumStrings(result.BlockNums);
    if (blocks.isEmpty() || SaveBlockNums(result.Loco, KindFromDevice, Clock().Now(), blocks))
        return true;
    qCWarning(lcRuns).noquote() << "factory numbers not saved:" << result.Loco << blocks.join(u' ');
    return false;
}

QString DateTimeText(const QDateTime& moment) {
    return DateTimeToStr(moment);
}
