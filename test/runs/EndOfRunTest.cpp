// The program itself against the simulated station: a run ended by SIGTERM or SIGINT
// while results still wait (a burst larger than the backlog, its dialog open) journals
// them before the program ends, and names in its log those it could not take.
#include "ResultBurst.h"
#include "Script.h"
#include "Station.h"

#include "journal/BlockNumTable.h"
#include "runs/JournalWriters.h"
#include "support/TestUtil.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// Codes of the journal's rows; empty while the table cannot be read.
QStringList JournalCodes(const QString& folder) {
    try {
        TTable t(folder, Test23FileName, Test23Fields());
        if (!t.Exists())
            return {};
        t.Open();
        QStringList codes;
        for (const TRow& r : t.AllRows())
            codes.append(r.value(8).toString());
        return codes;
    } catch (const std::exception&) {
        return {};
    }
}

class EndOfRunTest : public ::testing::TestWithParam<int> {};

TEST_P(EndOfRunTest, ResultsStillWaitingAreJournalledOrNamedBeforeTheProgramEnds) {
    constexpr int count = 1200;
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QDir r(root.path());
    for (const char* d : {"work", "config", "prog"})
        r.mkpath(d);
    vesksim::TStation station;
    ASSERT_TRUE(station.StartSerial(root.path().toStdString())) << station.Error();
    station.SetHandler(vesksim::StationAnswers);

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VESK_SYS_DIR", QString::fromStdString(station.SysDir()));
    env.insert("VESK_DEV_DIR", QString::fromStdString(station.DevDir()));
    env.insert("XDG_CONFIG_HOME", r.filePath("config"));
    env.insert("VESK_PROGRAM_DIR", r.filePath("prog"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(r.filePath("work"));
    program.start(VESK_PROGRAM, {});
    ASSERT_TRUE(program.waitForStarted(10000));
    ASSERT_TRUE(station.WaitFor({0xD0}, std::chrono::seconds(20))) << "the program's reset at start";

    station.Send(ResultBurst(count));
    const QString journal = r.filePath("prog") + "/";
    // A few rows are in while the dialog that names the results beyond the backlog is open.
    ASSERT_TRUE(PumpUntil([&] { return JournalCodes(journal).size() >= 20; }, 60000));
    ::kill(program.processId(), GetParam());
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "ended, not killed, by the signal";

    QSet<QString> accounted;
    int twice = 0;
    for (const QString& code : JournalCodes(journal))
        twice += accounted.contains(code) ? 1 : (accounted.insert(code), 0);
    const QString log = QString::fromLocal8Bit(program.readAllStandardError());
    const QRegularExpression named("not (?:kept|journalled): Тест \\d код (\\d{7})");
    for (auto it = named.globalMatch(log); it.hasNext();) {
        const QString code = it.next().captured(1);
        twice += accounted.contains(code) ? 1 : (accounted.insert(code), 0);
    }
    EXPECT_EQ(accounted.size(), count) << "every result journalled or named in the log";
    EXPECT_EQ(twice, 0) << "none both journalled and named, or twice";

    // The factory numbers that came with them: a hundred sets, each saved once.
    TTable sets(journal, BlockNumFileName, TBlockNumTable::Fields(), TBlockNumTable::KeyFields());
    sets.Open();
    EXPECT_EQ(sets.AllRows().size(), 100);
}

INSTANTIATE_TEST_SUITE_P(Signals, EndOfRunTest, ::testing::Values(SIGTERM, SIGINT));

} // namespace
