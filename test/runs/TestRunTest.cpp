// Test runs: what is sent, what each ending writes to the journal, and the guards
// against a second test or a stale result.
#include "TestRunSupport.h"

#include "app/TGauge.h"
#include "link/EventDecoder.h"
#include "support/TestUtil.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTextEdit>

namespace {

class TestRunTest : public TTestRunFixture {};

TEST_F(TestRunTest, SelfTestJudgesDigitsOneToFiveAndPacksTheVswr) {
    ConfigWord = "03111111"; // self-test with the squelch check: 80 s
    WhileWaiting([] {
        Handle(0xEA, {0, 2, 1, 2, 3, 5, 1, 2});
        Deliver("0000050", 1);
    });
    MainForm->ITest1Click();
    EXPECT_EQ(MainForm->Gauge2->MaxValue(), 80);
    EXPECT_EQ(Sent(10), "E2 80 80 80 80 80 80 80 81 E3");
    const QList<TRow> rows = Rows1();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(RowFields(rows[0], {4, 5, 21}), "Норма|0000050|" + QString(QChar(35)) + QChar(12));
    EXPECT_EQ(MainForm->LTest1->text(), "0000050");
    EXPECT_EQ(MainForm->LResult->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_TRUE(MainForm->RichEdit1->toPlainText().contains("АФУ  МВ КСВ=3,5"));
}

// The limit runs on the monotonic clock: the PC clock set back during the wait (here
// just before midnight) neither stretches nor cuts it.
TEST_F(TestRunTest, SelfTestTimeOutWritesTheQuestionMarkRowAtTwentySeconds) {
    clock_.SetNow(QDateTime(QDate(2026, 3, 1), QTime(23, 59, 50)));
    ConfigWord = "00111111"; // no squelch check: 20 s
    WhileWaiting([this] { clock_.SetNow(clock_.Now().addSecs(-3600)); });
    const qint64 start = clock_.MonotonicMs();
    MainForm->ITest1Click();
    EXPECT_GE(clock_.MonotonicMs() - start, 20'000);
    EXPECT_LT(clock_.MonotonicMs() - start, 30'000);
    EXPECT_EQ(MainForm->Gauge2->MaxValue(), 20);
    const QList<TRow> rows = Rows1();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(RowFields(rows[0], {4, 5}), "Брак|?");
    EXPECT_EQ(MainForm->LResult->text(), "Нет ответа ");
    EXPECT_EQ(MainForm->BitBtn3->text(), "OK");
}

// The no-confirmation event ends a tests 2/3 wait at once: the no-answer row comes within
// a second, not at the limit.
TEST_F(TestRunTest, NoConfirmationEndsTheTestTwoWaitAtOnce) {
    clock_.SetStep(100);
    AnswerDialog(1, "1234567", 0);
    WhileWaiting([] { HandleEventByte(0xAB); });
    const qint64 start = clock_.MonotonicMs();
    MainForm->ITest2Click();
    EXPECT_LT(clock_.MonotonicMs() - start, 1000);
    ASSERT_EQ(Rows23().size(), 1);
    EXPECT_EQ(RowFields(Rows23()[0], {7, 8}), "Брак|?");
}

// A self-test measures the antenna afresh: the values of an earlier session are not shown.
TEST_F(TestRunTest, SelfTestForgetsTheVswrOfAnEarlierSession) {
    ConfigWord = "00111111";
    VswrMv = 1.5;
    VswrGmv = 2.0;
    double during[2] = {};
    WhileWaiting([&] {
        during[0] = VswrMv;
        during[1] = VswrGmv;
        Deliver("0000000", 1);
    });
    MainForm->ITest1Click();
    EXPECT_EQ(during[0], VswrNotMeasured);
    EXPECT_EQ(during[1], VswrNotMeasured);
    EXPECT_FALSE(MainForm->RichEdit1->toPlainText().contains("КСВ=1,5"));
}

TEST_F(TestRunTest, BusyEventDuringAWaitOnlyHidesThePanel) {
    AnswerDialog(1, "1234567", 0);
    WhileWaiting([this] {
        // A result rendered elsewhere (a browser) has been on screen for a while.
        ResultShown = true;
        ResultShownAt = clock_.Now().addSecs(-5);
        CloseShownResultOnBusy();
        EXPECT_TRUE(MainForm->Panel5->isHidden());
        EXPECT_TRUE(TestWaiting);
        When([] { return true; }, [] { Deliver("0000000", 2); });
    });
    MainForm->ITest2Click();
    ASSERT_EQ(Rows23().size(), 1);
    EXPECT_EQ(Rows23()[0][8].toString(), "0000000");
    EXPECT_FALSE(MainForm->Panel5->isHidden()) << "the answer shows the panel again";

    // After the wait the busy event closes the panel as its OK button does.
    clock_.Advance(5000);
    CloseShownResultOnBusy();
    EXPECT_TRUE(MainForm->Panel5->isHidden());
    EXPECT_FALSE(ResultShown);

    // During a self-test wait the self-test panel and its cancel button stay.
    ConfigWord = "00111111";
    bool selfTestPanelStayed = false;
    WhileWaiting([&] {
        ResultShown = true;
        ResultShownAt = clock_.Now().addSecs(-5);
        CloseShownResultOnBusy();
        selfTestPanelStayed = !MainForm->Panel4->isHidden();
        Deliver("0000000", 1);
    });
    MainForm->ITest1Click();
    EXPECT_TRUE(selfTestPanelStayed);
    EXPECT_FALSE(MainForm->Panel4->isHidden());
    EXPECT_EQ(MainForm->LResult->text(), "Тест ВЕСК:НОРМА");
}

TEST_F(TestRunTest, StationResultMetAtTheEndOfAnotherWaitIsHandledAfterIt) {
    {
        const TWaitGuard finishing; // a wait in its last steps, e.g. showing a journal error
        Deliver("0000001", 3);
        ASSERT_EQ(RunningTest, 3);
        QCoreApplication::processEvents();
        EXPECT_TRUE(Rows23().isEmpty());
    }
    ASSERT_TRUE(PumpUntil([this] { return Rows23().size() == 1; }));
    EXPECT_EQ(RowFields(Rows23()[0], {2, 3}), "Тест 3|От РВ");
    EXPECT_EQ(RunningTest, 0) << "the next test can start";
}

// A result the journal cannot take is named to the operator with the cause.
TEST_F(TestRunTest, AResultTheJournalRefusesIsNamedWithTheCause) {
    ASSERT_TRUE(QDir(journal_).mkpath(Test23FileName));
    Deliver("0100003", 3);
    ASSERT_TRUE(PumpUntil([this] { return RunningTest == 0 && !TestWaitRunning() && !dialogs_.isEmpty(); }));
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_TRUE(
        dialogs_[0].Text.startsWith("Результат (Тест 3, код 0100003) не сохранён в журнале «Test23.DB»."))
        << dialogs_[0].Text.toStdString();
    EXPECT_TRUE(dialogs_[0].Text.contains("находится папка")) << dialogs_[0].Text.toStdString();
}

// The error dialog runs the event loop: results refused while the operator reads it are
// named together once it is closed, never in a dialog over another; every one of them is
// named under the reason, told once.
TEST_F(TestRunTest, ResultsRefusedWhileTheErrorIsShownAreNamedTogetherAfterIt) {
    ASSERT_TRUE(QDir(journal_).mkpath(Test23FileName));
    constexpr int more = 40;
    int open = 0, deepest = 0;
    SetDialogHook([&](const TDialogRecord& d, QWidget*) {
        dialogs_.append(d);
        deepest = std::max(deepest, ++open);
        if (dialogs_.size() == 1) { // while the first is read, more results come
            for (int i = 1; i <= more; ++i) {
                Deliver(QStringLiteral("0200%1").arg(i, 3, 10, QChar('0')), 3);
                PumpUntil([] { return RunningTest == 0 && !TestWaitRunning(); });
            }
        }
        --open;
        return int(mrOk);
    });
    Deliver("0100003", 3);
    ASSERT_TRUE(PumpUntil([this] { return dialogs_.size() == 2 && RunningTest == 0 && !TestWaitRunning(); }))
        << dialogs_.size() << " " << int(RunningTest) << " " << TestWaitRunning() << " "
        << (dialogs_.isEmpty() ? std::string() : dialogs_.last().Text.toStdString());
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(deepest, 1) << "no dialog over another";
    ASSERT_EQ(dialogs_.size(), 2);
    const QString& rest = dialogs_[1].Text;
    EXPECT_TRUE(rest.startsWith("Не сохранены в журнале 40 результатов:\n\nЖурнал «Test23.DB»: "))
        << rest.toStdString();
    for (int i = 1; i <= more; ++i)
        EXPECT_TRUE(rest.contains(QStringLiteral("\nТест 3, код 0200%1").arg(i, 3, 10, QChar('0')))) << i;
    EXPECT_EQ(rest.count("находится папка"), 1) << "the one reason is told once";
}

// A factory-number table that cannot be written (a folder in the place of its file, as a
// full disk leaves a table that could not be made): the results are journalled all the
// same, the failures met while the operator reads the first dialog come in one more, and
// once the space is back the next set is saved without a restart.
TEST_F(TestRunTest, FactoryNumberFailuresAreGatheredAndTheTableIsTriedAgain) {
    BlockNumTable()->Close();
    const QString file = journal_ + BlockNumFileName;
    ASSERT_TRUE(QFile::rename(file, file + ".away"));
    ASSERT_TRUE(QDir().mkpath(file));
    const auto session = [](uint8_t d) {
        Handle(0xF8, {1, 0, 0, d, 0, 0, 1, d});
        Deliver(QString("010000%1").arg(d), 2);
    };
    int open = 0, deepest = 0;
    SetDialogHook([&](const TDialogRecord& d, QWidget*) {
        dialogs_.append(d);
        deepest = std::max(deepest, ++open);
        if (dialogs_.size() == 1) { // while the first is read, four more results come
            for (uint8_t d = 2; d <= 5; ++d) {
                session(d);
                PumpUntil([] { return RunningTest == 0 && !TestWaitRunning(); });
            }
        }
        --open;
        return int(mrOk);
    });
    session(1);
    ASSERT_TRUE(PumpUntil([this] { return dialogs_.size() == 2 && RunningTest == 0 && !TestWaitRunning(); }))
        << dialogs_.size();
    PumpUntil([] { return false; }, 150);
    EXPECT_EQ(deepest, 1) << "no dialog over another";
    ASSERT_EQ(dialogs_.size(), 2);
    EXPECT_TRUE(dialogs_[0].Text.startsWith("Ошибка при записи заводских номеров: Не удалось"))
        << dialogs_[0].Text.toStdString();
    EXPECT_TRUE(dialogs_[1].Text.startsWith("Ошибка при записи заводских номеров (не записано наборов: 4): "))
        << dialogs_[1].Text.toStdString();
    EXPECT_EQ(Rows23().size(), 5) << "every result journalled";

    ASSERT_TRUE(QDir(file).removeRecursively());
    ASSERT_TRUE(QFile::rename(file + ".away", file));
    session(6);
    ASSERT_TRUE(PumpUntil([this] { return Rows23().size() == 6 && RunningTest == 0 && !TestWaitRunning(); }));
    TTable numbers(journal_, BlockNumFileName, TBlockNumTable::Fields(), TBlockNumTable::KeyFields());
    numbers.Open();
    ASSERT_EQ(numbers.AllRows().size(), 1);
    EXPECT_EQ(numbers.AllRows()[0][bnBlock1].toString(), "0600000000000000");
    EXPECT_EQ(dialogs_.size(), 2);
}

TEST_F(TestRunTest, NoTestStartsWhileAStationResultWaitsToBeHandled) {
    Deliver("0000000", 2); // posted, not yet handled
    ASSERT_EQ(RunningTest, 2);
    MainForm->ITest3Click();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Type, TMsgDlgType::Warning);
    EXPECT_FALSE(FTestDlg->isVisible());
    QCoreApplication::processEvents();
    ASSERT_EQ(Rows23().size(), 1);
    EXPECT_EQ(Rows23()[0][3].toString(), "От РВ");
}

// A result frame too short to be one, with digits of an earlier frame behind it, starts
// no wait: the station's real result that follows is the one journalled.
TEST_F(TestRunTest, ShortResultFrameStartsNoPhantomWait) {
    TFrame shortFrame = ResultFrame("0000000", 2);
    shortFrame.Count = 0; // "E2 E3" after a frame whose digit 7 was 2
    HandleFrame(shortFrame);
    EXPECT_EQ(RunningTest, 0);
    Deliver("0000000", 3);
    ASSERT_TRUE(PumpUntil([this] { return Rows23().size() == 1; }, 3000));
    EXPECT_EQ(RowFields(Rows23()[0], {2, 7, 8}), "Тест 3|Норма|0000000");
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(Rows23().size(), 1);
}

// Two results the station starts back to back, in one read or while the first one's
// wait is ending, are both journalled, each with the numbers and factory numbers of its
// own session; a result of the other test is not dropped either.
TEST_F(TestRunTest, StationResultsBackToBackEachKeepTheirOwnSession) {
    // Locomotive 765432d with factory number 0d00... in block 1, then the result.
    const auto session = [](uint8_t d, int test) {
        Handle(0xEE, {0, 7, 6, 5, 4, 3, 2, d});
        Handle(0xF8, {1, 0, 0, d, 0, 0, 1, d});
        HandleEventByte(d % 2 ? 0xB1 : 0xB2); // the session's own tone event
        Deliver("0000000", test);
    };
    session(1, 2);
    session(2, 2);
    ASSERT_TRUE(PumpUntil([this] { return Rows23().size() == 2; }, 3000));

    session(3, 2);
    When([this] { return TestWaitRunning() && Rows23().size() == 3; }, [&] { session(4, 2); });
    ASSERT_TRUE(PumpUntil([this] { return Rows23().size() == 4; }, 3000)) << "the second of a 5 ms pair";

    session(5, 2);
    session(6, 3);
    ASSERT_TRUE(PumpUntil([this] { return Rows23().size() == 6; }, 3000)) << "a test 3 result after test 2";
    PumpUntil([] { return RunningTest == 0 && !TestWaitRunning(); }, 3000);

    const QList<TRow> rows = Rows23();
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(RowFields(rows[i], {2, 3, 6, 16}), QString("Тест %1|От РВ|765432%2|%3")
                                                         .arg(i == 5 ? 3 : 2)
                                                         .arg(i + 1)
                                                         .arg(i % 2 ? "00100" : "00010"))
            << i;
    TTable t(journal_, BlockNumFileName, TBlockNumTable::Fields(), TBlockNumTable::KeyFields());
    t.Open();
    const QList<TRow> numbers = t.AllRows();
    ASSERT_EQ(numbers.size(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(RowFields(numbers[i], {bnLoko, bnBlock1}),
                  QString("765432%1|0%1%2").arg(i + 1).arg(QString(14, '0')))
            << i;
    EXPECT_EQ(MainForm->Label23->text(), "Номер локомотива: 7654326");
    EXPECT_EQ(RunningTest, 0);
    EXPECT_TRUE(BlockNumDigits.IsEmpty()) << "the factory numbers went with their result";
    EXPECT_EQ(ToneFlagsD, "00000") << "and so did the tone flags";

    // The same for the station's self-tests.
    ConfigWord = "00111111";
    Deliver("0000000", 1);
    When([this] { return TestWaitRunning() && Rows1().size() == 1; }, [] { Deliver("0100000", 1); });
    ASSERT_TRUE(PumpUntil([this] { return Rows1().size() == 2; }, 3000));
    EXPECT_EQ(RowFields(Rows1()[1], {2, 4, 5}), "Тест 1|Брак|0100000");
}

// A late second answer to a test started from the PC is the station's own result: the wait
// that takes it also keeps a result of the station's next test.
TEST_F(TestRunTest, LateAnswerToAPcTestIsHandledAsTheStationsOwn) {
    AnswerDialog(1, "1234567", 0);
    WhileWaiting([] { Deliver("0000000", 2); });
    When([this] { return TestWaitRunning() && Rows23().size() == 1; }, [] { Deliver("0000001", 2); });
    When([this] { return TestWaitRunning() && Rows23().size() == 2; }, [] { Deliver("0000002", 3); });
    MainForm->ITest2Click();
    ASSERT_TRUE(PumpUntil([this] { return Rows23().size() == 3; }, 3000));
    const QList<TRow> rows = Rows23();
    EXPECT_EQ(RowFields(rows[0], {2, 3, 8}), "Тест 2|От ВЕСК|0000000");
    EXPECT_EQ(RowFields(rows[1], {2, 3, 8}), "Тест 2|От РВ|0000001");
    EXPECT_EQ(RowFields(rows[2], {2, 3, 8}), "Тест 3|От РВ|0000002");
    EXPECT_EQ(LastResultHex, "0") << "test 3 reads its verdict from digit 1";
    TTable numbers(journal_, BlockNumFileName, TBlockNumTable::Fields(), TBlockNumTable::KeyFields());
    numbers.Open();
    EXPECT_TRUE(numbers.AllRows().isEmpty()) << "no factory numbers came: none are saved";
}

// The run ends before the station's wait takes such an answer: it is still the station's.
TEST_F(TestRunTest, LateAnswerLeftWaitingAtTheEndIsTheStationsOwnToo) {
    AnswerDialog(1, "1234567", 0);
    WhileWaiting([] { Deliver("0000000", 2); });
    When([this] { return TestWaitRunning() && Rows23().size() == 1; }, [] { Deliver("0000001", 2); });
    MainForm->ITest2Click();
    ASSERT_EQ(JournalWaitingResults(journal_), 1);
    const QList<TRow> rows = Rows23();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(RowFields(rows[0], {3, 8}), "От ВЕСК|0000000");
    EXPECT_EQ(RowFields(rows[1], {3, 8}), "От РВ|0000001");
}

TEST_F(TestRunTest, PostedResultMessagesWithoutTheirResultDoNothing) {
    PostMainFormMessage(WM_DEVICE_TEST23);
    PostMainFormMessage(WM_DEVICE_TEST1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(MainForm->Panel5->isHidden());
    EXPECT_TRUE(Rows23().isEmpty());
    EXPECT_TRUE(Rows1().isEmpty());

    // A running test whose queue lost its result is released, not left stuck; a message
    // of the other kind leaves a waiting result alone.
    RunningTest = 3;
    ClearResultQueue();
    MainForm->Test2();
    EXPECT_EQ(RunningTest, 0);
    RunningTest = 1;
    MainForm->Test1();
    EXPECT_EQ(RunningTest, 0);
    Deliver("0000000", 2);
    MainForm->Test1();
    EXPECT_EQ(RunningTest, 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(Rows23().size(), 1);

    // A waiting result of another test starts no wait (that would end in a "no answer" row).
    Deliver("0000000", 3);
    RunningTest = 2;
    MainForm->Test2();
    EXPECT_EQ(RunningTest, 0);
    EXPECT_EQ(Rows23().size(), 1);
}

TEST(WaitClock, CountsWholeSecondsFromItsStart) {
    TFakeClock clock;
    SetClock(&clock);
    clock.Advance(5000);
    const TWaitClock wait;
    clock.Advance(2600);
    EXPECT_EQ(wait.ElapsedSeconds(), 3);
    SetClock(nullptr);
}

TEST_F(TestRunTest, TestOneRunsSeventySecondsAndEndsWithTheResetByte) {
    LocoNumber = "1234567";
    AnswerDialog(1, "1234567", 0);
    int gaugeAfterNoConfirmation = -1;
    bool testsOffMeanwhile = false;
    WhileWaiting([&] {
        testsOffMeanwhile = !MainForm->ITest->menuAction()->isEnabled() && !MainForm->ToolPositionEnabled(0);
        Handle(0xEA, {0, 3, 0, 2, 3, 5, 1, 9}); // the deviation measured during the test
        Deliver("0000012", 1);                  // taken by no wait: named when the next test starts
        EndWaitRequest = true;
        When([] { return !EndWaitRequest; },
             [&] { gaugeAfterNoConfirmation = MainForm->Gauge4->Progress(); });
    });
    // A tests 2/3 result has been on screen for a while when test 1 is started.
    ResultShown = true;
    ResultShownAt = clock_.Now().addSecs(-5);
    const qint64 start = clock_.MonotonicMs();
    MainForm->ToolButton1Click();
    EXPECT_GE(clock_.MonotonicMs() - start, 70'000) << "0xAB does not end test 1";
    EXPECT_EQ(gaugeAfterNoConfirmation, 60);
    EXPECT_TRUE(testsOffMeanwhile) << "no second test while test 1 runs";
    EXPECT_EQ(Sent(1), "D0");
    EXPECT_TRUE(Rows1().isEmpty());
    EXPECT_TRUE(Rows23().isEmpty());
    EXPECT_EQ(MainForm->Label25->text(), "Результаты тестирования");
    EXPECT_TRUE(MainForm->BitBtn5->isHidden());
    // That earlier result is gone: a busy event after the test leaves its measurement shown.
    CloseShownResultOnBusy();
    EXPECT_EQ(MainForm->ELevm->text(), "3,5");

    EXPECT_TRUE(dialogs_.isEmpty());
    MainForm->ITest1Click(); // the next test
    ASSERT_TRUE(PumpUntil([this] { return !dialogs_.isEmpty(); }, 2000)) << "told once its wait is over";
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_TRUE(dialogs_[0].Text.endsWith("Не записаны в журнал (1):\nТест 1 код 0000012"))
        << dialogs_[0].Text.toStdString();
}

TEST_F(TestRunTest, TechnologicalModeOneSendsItsFrameOnly) {
    MainForm->EnableTestControls(false);
    MainForm->N9Click();
    EXPECT_EQ(Sent(10), "E2 80 80 80 80 80 80 80 85 E3");
    EXPECT_EQ(MainForm->Label25->text(), "Технологический режим 1: измерение девиации");
    EXPECT_FALSE(MainForm->ITest->menuAction()->isEnabled()) << "the controls stay as they were";
    EXPECT_EQ(RunningTest, 0);
}

} // namespace
