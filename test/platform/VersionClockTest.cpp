#include "platform/Clock.h"
#include "platform/Version.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// Made at run time so that the test program itself holds no block to be found.
QByteArray Block(const QList<QByteArray>& entries) {
    QByteArray b = QByteArray("VESKVERINF") + 'O' + '\0';
    for (const QByteArray& e : entries)
        b += e + '\0';
    return b + '\0';
}

QString VersionOf(const QTemporaryDir& dir, const QByteArray& content) {
    QFile f(dir.filePath("program"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return "not written";
    f.write(content);
    f.close();
    return GetFileVersionString(f.fileName());
}

} // namespace

TEST(VersionTest, ReadsFileVersionOfFirstTranslation) {
    QTemporaryDir dir;
    // A false marker, then a block whose marker straddles the scanner's 64 KiB chunks.
    QByteArray content = QByteArray(1000, 'x') + Block({"garbage"});
    content += QByteArray((1 << 16) - 5 - content.size(), '\xff');
    content +=
        Block({"Translation=040904b0", "FileVersion=1.2", "Translation=041904E3", "FileVersion=4.3.2.6"});
    EXPECT_EQ(VersionOf(dir, content), "1.2");

    EXPECT_EQ(VersionOf(dir, Block({"Translation=041904E3", "ProductVersion=4.3.2.6"})), "");
    EXPECT_EQ(VersionOf(dir, Block({"FileVersion=4.3.2.6"})), "");
    EXPECT_EQ(VersionOf(dir, QByteArray(200000, '\0')), "");
    EXPECT_EQ(VersionOf(dir, Block({"Translation=041904E3", "FileVersion=4.3"}).chopped(2)), "")
        << "an unterminated block";
    EXPECT_EQ(GetFileVersionString(dir.filePath("missing")), "");

    // The program's own block.
    EXPECT_EQ(GetFileVersionString(ProgramFilePath()), VESK_VERSION);
    EXPECT_TRUE(ProgramFolder().endsWith('/'));
    EXPECT_TRUE(ProgramFilePath().startsWith(ProgramFolder()));
}

TEST(ClockTest, DelayProcessesEventsOnlyWhenWaiting) {
    TFakeClock clock;
    clock.SetStep(5);
    SetClock(&clock);
    int handled = 0;
    QMetaObject::invokeMethod(
        qApp, [&] { ++handled; }, Qt::QueuedConnection);

    Delay(0);
    EXPECT_EQ(handled, 0);
    const qint64 start = clock.MonotonicMs();
    Delay(100);
    EXPECT_EQ(handled, 1);
    EXPECT_GE(clock.MonotonicMs() - start, 100);
    SetClock(nullptr);
}

// The system clock's time of day is the local one, the zone's offset included.
TEST(ClockTest, SystemTimeOfDayIsLocal) {
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "<+03>-3"); // three hours east of UTC, no daylight saving
    SetClock(nullptr);
    // The offset is looked up once a second: wait for a second the clock has not seen.
    const qint64 second = QDateTime::currentMSecsSinceEpoch() / 1000;
    while (QDateTime::currentMSecsSinceEpoch() / 1000 == second)
        QThread::msleep(5);
    const QTime before = QTime::currentTime();
    const QTime t = Clock().TimeOfDay();
    const QTime after = QTime::currentTime();
    const QTime utc = QDateTime::currentDateTimeUtc().time();
    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    if (after < before)
        GTEST_SKIP() << "midnight passed during the test";
    EXPECT_GE(t, before);
    EXPECT_LE(t, after);
    EXPECT_NEAR(utc.secsTo(t) < 0 ? utc.secsTo(t) + 86400 : utc.secsTo(t), 3 * 3600, 2);
}
