#pragma once
// The widget-free parts of the test runs: reading results out of the queue, judging
// them, timing the waits, pumping events between passes and the factory numbers that
// a tests 2/3 answer brings.

#include "link/Frame.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

/// The 7 uppercase hexadecimal digits of nibbles 0 to 6 of a result frame.
QString ResultCodeOf(const TFrame& frame);

/// One result taken from the queue: its place in the queue and its code.
struct TFoundResult {
    int Index = 0;
    QString Code;
};
/// One scan of the queue for a wait of the given test: each complete entry of that test
/// is marked consumed and returned, in queue order. Results of the station's other tests
/// stay queued for the waits that follow.
QList<TFoundResult> ScanResults(int test);
/// The queue holds a result of the test that no wait has taken yet.
bool QueueHoldsResult(int test);
/// What came with the first result of the test still queued; null when there is none.
const TResultContext* QueuedResultContext(int test);
/// At the end of a wait: drops the consumed entries and returns the test of the first
/// result still queued (it arrived while the wait was ending), or 0 when none is left.
/// What is left is handed on as the station's own; keepDirections (the run is ending and
/// no wait will take them) leaves the answers to a test from the PC marked as such.
int NextQueuedTest(bool keepDirections = false);

/// Self-test verdict: НОРМА when digits 1 to 5 of the code are all zero.
bool SelfTestNorma(const QString& code);
/// Tests 2/3 verdict: test 2 looks at digits 1 to 4, test 3 at digit 1 and digit 7.
/// verdictHex receives the digits the verdict was read from.
bool RadioTestNorma(int test, const QString& code, QString* verdictHex = nullptr);

/// Elapsed whole seconds of a wait on the monotonic clock (a wait across midnight or a
/// clock change keeps counting upwards).
class TWaitClock {
public:
    TWaitClock();
    int ElapsedSeconds() const;

private:
    qint64 start_;
};

/// One pass of a wait: runs the pending events, sleeping up to maxMs when none is there
/// (never a busy loop). maxMs 0 only runs what is pending.
void WaitPass(int maxMs = 10);

/// Counts the waits in progress (a device-started result may run one inside another
/// handler's event pass).
class TWaitGuard {
public:
    TWaitGuard();
    ~TWaitGuard();
    TWaitGuard(const TWaitGuard&) = delete;
    TWaitGuard& operator=(const TWaitGuard&) = delete;
};
/// A test wait is in progress.
bool TestWaitRunning();
/// A test runs or a device-started result waits to be handled: no other test may start.
bool TestRunBusy();
/// Start-up is making the windows (its dialogs may run the event loop): the station's
/// results that come meanwhile wait until every window exists, the factory-number table
/// among them, and so do the dialogs that name failures.
void SetStartingUp(bool on);
bool StartingUp();

/// The eight block strings of collected factory-number digits: 16 characters each, a
/// digit 0-9 as itself and a non-decimal digit as its hexadecimal letter, so that a set
/// always fits its column. Empty when every digit is zero.
QStringList BlockNumStrings(const TBlockNumDigits& digits);
/// Saves the factory numbers that came with a tests 2/3 answer under the answer's own
/// locomotive number, when any digit is not zero. A set that could not be saved is named
/// in the log (the operator is told through SaveBlockNums); false then.
bool FlushBlockNumDigits(const TResultContext& result);

/// Date and time as the status bar and the printed-at lines show them.
QString DateTimeText(const QDateTime& moment);
