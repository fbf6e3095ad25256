// The end of a run and its start, with results waiting. The program itself against the
// simulated station: a run ended by SIGTERM or SIGINT while results still wait (a burst
// larger than the backlog with its dialog open, a start-up dialog open, a journal that
// refuses rows, the answer to a test from the PC behind the About box) journals them, each
// with the direction it came with, before the program ends, and names in its log those it
// could not take. In the program's own process: results that come while a start-up dialog
// is open are kept whole, and so are bytes read but not decoded when the run ends.
#include "ResultBurst.h"
#include "Script.h"
#include "Station.h"

#include "app/Application.h"
#include "app/TAboutBox.h"
#include "app/TMainForm.h"
#include "journal/BlockNumTable.h"
#include "link/RxPump.h"
#include "runs/JournalWriters.h"
#include "runs/TFTestDlg.h"
#include "runs/TestRun.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

// Rows of a journal table; empty while the table cannot be read.
QList<TRow> TableRows(const QString& folder, const QString& file, const QList<TFieldDef>& fields,
                      const QStringList& key = {}) {
    try {
        TTable t(folder, file, fields, key);
        if (!t.Exists())
            return {};
        t.Open();
        return t.AllRows();
    } catch (const std::exception&) {
        return {};
    }
}

// One column of the tests 2/3 journal: 8 the codes, 3 the directions.
QStringList JournalColumn(const QString& folder, int column = 8) {
    QStringList values;
    for (const TRow& r : TableRows(folder, Test23FileName, Test23Fields()))
        values.append(r.value(column).toString());
    return values;
}

int FactoryNumberSets(const QString& folder) {
    return int(
        TableRows(folder, BlockNumFileName, TBlockNumTable::Fields(), TBlockNumTable::KeyFields()).size());
}

// A file in a table's place that holds no journal: the start-up dialog of the factory
// numbers or of the attenuation corrections stays open on it.
void Spoil(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
}

// How the run is ended: the signal (none: the main window is closed), the table file spoilt
// before the start (Test23.DB: one of other columns, which refuses every row), when the
// signal is sent, the results the station reports and the direction their rows take.
// AnswerBehindTheAboutBox: the operator (the test's second process, driving the program's
// own windows) starts test 2 from the menu and opens "О программе" while the station answers.
struct TEnding {
    const char* Name;
    int Signal;
    const char* Spoilt;
    enum { JournalWriting, StartupDialogOpen, RowsRefused, AnswerBehindTheAboutBox } When;
    int Count;
    const char* Direction;
};

constexpr const char* OperatorVariable = "VESK_OPERATOR_RUN";
constexpr const char* AnswerWaits = "the answer waits behind the About box";

void PrintTo(const TEnding& e, std::ostream* os) {
    *os << e.Name;
}

class EndOfRunTest : public ::testing::TestWithParam<TEnding> {};

TEST_P(EndOfRunTest, ResultsStillWaitingAreJournalledOrNamedBeforeTheProgramEnds) {
    const TEnding& c = GetParam();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QDir r(root.path());
    for (const char* d : {"work", "config", "prog"})
        r.mkpath(d);
    const QString journal = r.filePath("prog") + "/";
    if (c.When == TEnding::RowsRefused)
        TTable(journal, Test23FileName, {{"X", TFieldType::String, 5}}).CreateTable();
    else if (c.Spoilt)
        Spoil(journal + QString::fromUtf8(c.Spoilt));
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
    const bool operatorRun = c.When == TEnding::AnswerBehindTheAboutBox;
    if (operatorRun) // no signal: the operator's side closes the main window itself
        env.insert(OperatorVariable, c.Signal ? "signal" : "close");
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(r.filePath("work"));
    if (operatorRun)
        program.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=OperatorAtTheProgram.*"});
    else
        program.start(VESK_PROGRAM, {});
    ASSERT_TRUE(program.waitForStarted(10000));
    ASSERT_TRUE(station.WaitFor({0xD0}, std::chrono::seconds(20))) << "the program's reset at start";

    if (!operatorRun)
        station.Send(ResultBurst(c.Count));
    QString log;
    const auto logged = [&](const QString& text) {
        log += QString::fromLocal8Bit(program.readAllStandardError());
        return log.count(text);
    };
    // The whole burst is decoded once its last result is named as beyond the backlog; a few
    // rows are in (or refused) while the dialog naming the rest is open.
    const QString last =
        QString("not kept: Тест %1 код %2").arg(2 + (c.Count - 1) % 2).arg(c.Count - 1, 7, 10, QChar('0'));
    const int refusals = c.When == TEnding::RowsRefused ? 31 : 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (c.When == TEnding::JournalWriting)
                return JournalColumn(journal).size() >= 20;
            if (operatorRun)
                return logged(AnswerWaits) > 0;
            return logged(last) > 0 && logged(Test23FileName) >= refusals;
        },
        60000))
        << log.toStdString();
    if (c.Signal)
        ::kill(program.processId(), c.Signal);
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "ended, not killed, by the signal";
    EXPECT_EQ(program.exitCode(), 0) << QString::fromLocal8Bit(program.readAllStandardOutput()).toStdString();

    // Every result journalled or named in the log, and none twice; the sets of factory
    // numbers that came with them saved or named.
    logged({});
    QSet<QString> accounted, sets;
    int twice = 0;
    const auto account = [&](const QString& code) {
        twice += accounted.contains(code) ? 1 : (accounted.insert(code), 0);
    };
    for (const QString& code : JournalColumn(journal))
        account(code);
    for (auto it = QRegularExpression("not (?:kept|journalled): Тест \\d код (\\d{7})").globalMatch(log);
         it.hasNext();)
        account(it.next().captured(1));
    for (auto it = QRegularExpression("factory numbers not saved: (\\d{7}(?: \\d{16}){8})").globalMatch(log);
         it.hasNext();)
        sets.insert(it.next().captured(1));
    EXPECT_EQ(accounted.size(), c.Count);
    EXPECT_EQ(twice, 0);
    EXPECT_EQ(FactoryNumberSets(journal) + sets.size(), std::min(c.Count, 100))
        << log.right(2000).toStdString();
    const QStringList directions = JournalColumn(journal, 3);
    EXPECT_EQ(QSet<QString>(directions.begin(), directions.end()),
              c.Direction ? QSet<QString>{c.Direction} : QSet<QString>{});
}

INSTANTIATE_TEST_SUITE_P(
    Signals, EndOfRunTest,
    ::testing::Values(
        TEnding{"Sigterm", SIGTERM, nullptr, TEnding::JournalWriting, 1200, "От РВ"},
        TEnding{"Sigint", SIGINT, nullptr, TEnding::JournalWriting, 1200, "От РВ"},
        TEnding{"SigtermInTheFactoryNumbersDialog", SIGTERM, BlockNumFileName, TEnding::StartupDialogOpen,
                1050, "От РВ"},
        TEnding{"SigintInTheAttenuationDialog", SIGINT, "РВ.db", TEnding::StartupDialogOpen, 1050, "От РВ"},
        TEnding{"SigtermWhileRowsAreRefused", SIGTERM, nullptr, TEnding::RowsRefused, 1200, nullptr},
        TEnding{"SigtermWithTheAnswerToAPcTestBehindTheAboutBox", SIGTERM, nullptr,
                TEnding::AnswerBehindTheAboutBox, 1, "От ВЕСК"},
        TEnding{"MainWindowClosedWithTheAnswerToAPcTestBehindTheAboutBox", 0, nullptr,
                TEnding::AnswerBehindTheAboutBox, 1, "От ВЕСК"}),
    [](const ::testing::TestParamInfo<TEnding>& info) { return std::string(info.param.Name); });

// The operator's side of AnswerBehindTheAboutBox, run in a process of its own started by
// the case above (skipped otherwise): the program runs as its main() runs it, the operator
// starts test 2 from the menu and opens "О программе" while it waits; once the station's
// answer waits behind the box, the case sends the signal, or the main window is closed.
TEST(OperatorAtTheProgram, StartsTestTwoAndReadsTheAboutBoxWhileTheAnswerComes) {
    if (qEnvironmentVariableIsEmpty(OperatorVariable))
        GTEST_SKIP() << "a part of EndOfRunTest";
    InstallEndOfRun();
    InitApplication();
    // A message box would wait for an operator who is not there: its text goes to the log.
    SetDialogHook([](const TDialogRecord& d, QWidget*) {
        std::fprintf(stderr, "dialog: %s\n", qPrintable(d.Text));
        return int(mrOk);
    });
    CreateForms();
    MainForm->show();
    QTimer operatorHand;
    bool aboutOpened = false, told = false;
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        if (FTestDlg->isVisible()) {
            FTestDlg->RadioGroup1->setCurrentIndex(1);
            FTestDlg->Edit1->setText("1234567");
            FTestDlg->ComboBox1->setCurrentIndex(0);
            FTestDlg->BitBtn1->click();
        } else if (TestWaitRunning() && !aboutOpened) {
            aboutOpened = true;
            // The wait goes on behind the modal box; this hand stays free to watch it.
            QTimer::singleShot(1, MainForm->N10, &QAction::trigger);
        } else if (AboutBox->isVisible() && QueueHoldsResult(2) && !told) {
            told = true;
            std::fprintf(stderr, "%s\n", AnswerWaits);
            std::fflush(stderr);
            // The desktop session ends: the window system closes the main window.
            if (qEnvironmentVariable(OperatorVariable) == "close")
                MainForm->close();
        }
    });
    operatorHand.start(20);
    QTimer::singleShot(10, MainForm->ITest2, &QAction::trigger);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    operatorHand.stop();
    EXPECT_TRUE(told);
    FinishRun();
    DestroyForms();
}

// The start and the end of a run in the program's own process.
class RunEdgeTest : public TAppFixture {
protected:
    QList<TRow> Rows23() { return TableRows(journal_, Test23FileName, Test23Fields()); }
    const QString journal_ = root_.path() + "/prog/";
};

// The attenuation table spoilt: while its start-up dialog is open the station reports a
// self-test and three results. They wait until every window exists, and then are journalled
// with their factory numbers, which the factory-number table (made after the dialog) keeps.
// The dialog gives the engine's own words last, after the Russian.
TEST_F(RunEdgeTest, ResultsThatComeWhileAStartupDialogIsOpenAreKeptWhole) {
    Spoil(journal_ + "РВ.db");
    vesksim::TStation station;
    ASSERT_TRUE(station.StartSerial(root_.path().toStdString())) << station.Error();
    SetDialogHook([&](const TDialogRecord& d, QWidget*) {
        dialogs_.append(d);
        if (dialogs_.size() == 1) {
            vesksim::TBytes results = vesksim::TestSession(1); // a self-test first
            const vesksim::TBytes burst = ResultBurst(3);
            results.insert(results.end(), burst.begin(), burst.end());
            station.Send(results);
            EXPECT_TRUE(PumpUntil([&] { return ResultBacklog.size() + ResultCount + Rows23().size() >= 4; }));
            // Everything posted before this event, the message that hands on the first
            // result among it, has been handled when it comes.
            bool after = false;
            QMetaObject::invokeMethod(
                qApp, [&] { after = true; }, Qt::QueuedConnection);
            PumpUntil([&] { return after; });
            EXPECT_TRUE(Rows23().isEmpty()) << "nothing is journalled before every window exists";
        }
        return int(mrOk);
    });
    Start(false);
    ASSERT_TRUE(PumpUntil([&] { return Rows23().size() == 3 && RunningTest == 0 && !TestWaitRunning(); }));
    EXPECT_EQ(TableRows(journal_, Tests1FileName, Tests1Fields()).size(), 1);
    EXPECT_EQ(FactoryNumberSets(journal_), 3);
    ASSERT_EQ(dialogs_.size(), 1) << dialogs_.last().Text.toStdString();
    EXPECT_TRUE(
        dialogs_[0].Text.startsWith("Не удалось открыть таблицу РВ.db: файл " + journal_ + "РВ.db повреждён"))
        << dialogs_[0].Text.toStdString();
    EXPECT_TRUE(dialogs_[0].Text.endsWith(".\nПодробности: file is not a database"))
        << dialogs_[0].Text.toStdString();
}

// What the reader took from the line and the window thread had not decoded when the run
// ended holds results like any other: they are journalled before the program ends.
TEST_F(RunEdgeTest, BytesReadButNotDecodedWhenTheRunEndsAreJournalled) {
    Start(false);
    const vesksim::TBytes burst = ResultBurst(3);
    PushReceivedBytes(burst.data(), burst.size());
    FinishRun();
    EndDialogs(false);
    EXPECT_EQ(JournalColumn(journal_), QStringList({"0000000", "0000001", "0000002"}));
    EXPECT_EQ(FactoryNumberSets(journal_), 3);
}

} // namespace
