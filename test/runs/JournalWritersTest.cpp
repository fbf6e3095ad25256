// The journal writers: exact columns, one timestamp per row, values cut to their widths,
// and a row that cannot be written is reported to the operator, never lost in silence.
#include "runs/JournalWriters.h"
#include "app/TMainForm.h"
#include "platform/Clock.h"
#include "platform/DbAlias.h"
#include "runs/ResultRender.h"
#include "runs/TestState.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A clock whose time of day moves on at every reading, across midnight.
class TTickingClock : public TClock {
public:
    QDateTime Now() const override {
        const QDateTime r = now_;
        now_ = now_.addMSecs(1);
        return r;
    }
    mutable QDateTime now_{QDate(2026, 1, 15), QTime(23, 59, 59, 999)};
};

QStringList TableColumns(TTable& t) {
    QStringList names;
    for (const TRow& r : t.Select("PRAGMA table_info(\"" + t.TableName() + "\")"))
        names.append(r.value(1).toString());
    return names;
}

class JournalWritersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.path() + "/";
        SetStartupDefaults();
        ResetTestState();
    }
    void TearDown() override { SetClock(nullptr); }
    QList<TRow> Rows(const char* file, const QList<TFieldDef>& fields) {
        TTable t(folder_, file, fields);
        t.Open();
        return t.AllRows();
    }
    QTemporaryDir dir_;
    QString folder_;
};

TEST_F(JournalWritersTest, SelfTestRowHasTheColumnsAndOneMomentForDateAndTime) {
    TTickingClock clock;
    SetClock(&clock);
    MechanicNumber = "12345678901234567"; // longer than its 13 characters
    ConfigWord = "01234567";
    for (int set = 1; set <= 3; ++set) {
        MvChannels[set].Prm = QString::number(1000 * set + 111); // one digit too many
        MvChannels[set].Prd = QString::number(1000 * set + 222);
    }
    MvChannels[2].Prd = "456";
    Thresholds[5] = "42";
    VswrPacked = QString(QChar(35)) + QChar(12);
    ASSERT_TRUE(AppendTests1Row(folder_, "Тест 1", "0000000", "Норма").Ok);

    TTable t(folder_, Tests1FileName, Tests1Fields());
    t.Open();
    QStringList expected;
    for (const TFieldDef& f : Tests1Fields())
        expected.append(f.Name);
    EXPECT_EQ(TableColumns(t), expected);
    EXPECT_EQ(expected.size(), 22);
    const QList<TRow> rows = t.AllRows();
    ASSERT_EQ(rows.size(), 1);
    const TRow& r = rows[0];
    EXPECT_EQ(r[0].toDate(), QDate(2026, 1, 15));
    EXPECT_EQ(r[1].toTime(), QTime(23, 59, 59, 999)) << "date and time come from one reading";
    EXPECT_EQ(RowFields(r, {2, 3, 4, 5, 6, 18}), "Тест 1|1234567890123|Норма|0000000|01234567|42");
    EXPECT_EQ(RowFields(r, {7, 8, 9, 10, 11, 12}), "111|122|211|456|311|322") << "every channel, cut to 3";
    EXPECT_EQ(VswrTextFromPacked(r[21].toString().at(0)), "3,5");
    EXPECT_EQ(VswrTextFromPacked(r[21].toString().at(1)), "1,2");
}

TEST_F(JournalWritersTest, ParameterSendRowAndTestsTwoThreeRow) {
    ASSERT_TRUE(AppendTests1Row(folder_, "Запись", "", "").Ok);
    const QList<TRow> rows1 = Rows(Tests1FileName, Tests1Fields());
    ASSERT_EQ(rows1.size(), 1);
    EXPECT_EQ(RowFields(rows1[0], {2, 4, 5}), "Запись||");

    ToneFlagsD = "00010";
    MeasuredDeviation[1] = "35";
    ASSERT_TRUE(AppendTest23Row(folder_, "Тест 2", "?", "Брак", "От ВЕСК").Ok);
    TTable t(folder_, Test23FileName, Test23Fields());
    t.Open();
    EXPECT_EQ(TableColumns(t).size(), 19);
    EXPECT_EQ(RowFields(t.AllRows().value(0), {2, 3, 5, 6, 8, 10, 12, 13, 16}),
              "Тест 2|От ВЕСК|1234|1234567|?|35|0|00|00010");
    EXPECT_EQ(ToneFlagsD, "00010") << "the core writer leaves the flags to the main window";
}

TEST_F(JournalWritersTest, AnExistingTableIsNeverRecreated) {
    {
        TTable other(folder_, Test23FileName, {{"X", TFieldType::String, 5}});
        other.CreateTable();
        other.Open();
        other.Append({"keep"});
    }
    const TJournalWrite w = AppendTest23Row(folder_, "Тест 2", "0000000", "Норма", "От ВЕСК");
    EXPECT_FALSE(w.Ok);
    EXPECT_FALSE(w.Error.isEmpty());
    TTable other(folder_, Test23FileName, {{"X", TFieldType::String, 5}});
    other.Open();
    ASSERT_EQ(other.AllRows().size(), 1);
    EXPECT_EQ(other.AllRows()[0][0].toString(), "keep");
}

TFrame WaitingResult(const char* code, int test, uint8_t state = 2) {
    TFrame f;
    f.Code = 0xE2;
    f.State = state;
    f.Count = 8;
    for (int i = 0; i < 7; ++i)
        f.Nibbles[i] = uint8_t(QString(QChar(code[i])).toInt(nullptr, 16));
    f.Nibbles[7] = uint8_t(test);
    return f;
}

QStringList logged;
void Keep(QtMsgType, const QMessageLogContext&, const QString& text) {
    logged.append(text);
}

// The end of a run: the results still waiting in the queue and the backlog are journalled
// in the order they came; where the journal refuses them, each is named in the log.
TEST_F(JournalWritersTest, ResultsStillWaitingAreJournalledAtTheEndOrNamedInTheLog) {
    const auto fill = [] {
        ResultQueue[0] = WaitingResult("0000000", 1);
        ResultQueue[1] = WaitingResult("0100000", 2, 0); // taken by its wait already
        ResultQueue[2] = WaitingResult("0000003", 3);
        ResultContexts[2].Loco = "7654321";
        ResultCount = 3;
        ResultQueueFromStation = true;
        ResultBacklog.push_back({WaitingResult("1000002", 2), {}});
    };
    fill();
    EXPECT_EQ(JournalWaitingResults(folder_), 3);
    EXPECT_EQ(ResultCount, 0);
    EXPECT_TRUE(ResultBacklog.empty());
    const QList<TRow> rows1 = Rows(Tests1FileName, Tests1Fields());
    ASSERT_EQ(rows1.size(), 1);
    EXPECT_EQ(RowFields(rows1[0], {2, 4, 5}), "Тест 1|Норма|0000000");
    const QList<TRow> rows23 = Rows(Test23FileName, Test23Fields());
    ASSERT_EQ(rows23.size(), 2);
    EXPECT_EQ(RowFields(rows23[0], {2, 3, 6, 7, 8}), "Тест 3|От РВ|7654321|Брак|0000003");
    EXPECT_EQ(RowFields(rows23[1], {2, 7, 8}), "Тест 2|Брак|1000002");

    // A journal that cannot be written: the results and the failures not yet told are logged.
    logged.clear();
    const QtMessageHandler before = qInstallMessageHandler(Keep);
    const QString refused = folder_ + "refused/";
    ASSERT_TRUE(QDir().mkpath(refused + Test23FileName));
    fill();
    TellOperatorLater(TNotice::BlockNums, "диск заполнен");
    const int written = JournalWaitingResults(refused);
    qInstallMessageHandler(before);
    EXPECT_EQ(written, 1) << "the self-test row went in";
    const QString log = logged.join('\n');
    EXPECT_TRUE(log.contains("result not journalled: Тест 3 код 0000003")) << log.toStdString();
    EXPECT_TRUE(log.contains("result not journalled: Тест 2 код 1000002")) << log.toStdString();
    EXPECT_FALSE(log.contains("0100000")) << "what its wait took is not named";
    EXPECT_TRUE(log.contains("Ошибка при записи заводских номеров: диск заполнен")) << log.toStdString();
    EXPECT_TRUE(TakeUntoldNotices().isEmpty());

    // Neither table: the self-test result is named too.
    logged.clear();
    qInstallMessageHandler(Keep);
    ASSERT_TRUE(QFile::remove(refused + Tests1FileName));
    ASSERT_TRUE(QDir().mkpath(refused + Tests1FileName));
    fill();
    EXPECT_EQ(JournalWaitingResults(refused), 0);
    qInstallMessageHandler(before);
    EXPECT_TRUE(logged.join('\n').contains("result not journalled: Тест 1 код 0000000"));
}

// The main window's writers in a place where no journal can exist.
class JournalFailureTest : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        Start(false);
        QFile plain(work_ + "/plain");
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
        plain.close();
        // The alias folder lies under a regular file: it cannot be created, even by root.
        SetAlias("dbVesk", "PARADOX", work_ + "/plain/journal/");
        dialogs_.clear();
    }
};

TEST_F(JournalFailureTest, OperatorIsToldOnceAndTheProgramGoesOn) {
    ToneFlagsG = "11000";
    MainForm->WriteToTable2("Тест 2", "0000000", "Норма", "От ВЕСК");
    PumpUntil([this] { return !dialogs_.isEmpty(); }, 1000); // shown after the handler
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Type, TMsgDlgType::Error);
    EXPECT_TRUE(dialogs_[0].Text.contains("не сохранён")) << dialogs_[0].Text.toStdString();
    EXPECT_TRUE(dialogs_[0].Text.contains("Test23.DB"));
    EXPECT_EQ(ToneFlagsG, "00000") << "the flags are reset whether or not the row was written";

    MainForm->WriteToTable1("Тест 1", "?", "Брак");
    PumpUntil([this] { return dialogs_.size() > 1; }, 1000);
    ASSERT_EQ(dialogs_.size(), 2);
    EXPECT_TRUE(dialogs_[1].Text.contains("tests1.DB"));
    EXPECT_FALSE(QFile::exists(work_ + "/plain/journal/tests1.DB"));
}

} // namespace
