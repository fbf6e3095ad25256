// Test runs: what is sent, what each ending writes to the journal, and the guards
// against a second test or a stale result.
#include "TestRunSupport.h"

#include "app/TGauge.h"
#include "support/TestUtil.h"

#include <QLabel>
#include <QTableWidget>
#include <QTextEdit>

namespace {

class TestRunTest : public TTestRunFixture {
protected:
    QString LastGridText() const {
        auto* it = MainForm->StringGrid1->item(MessageCount, 2);
        return it ? it->text() : QString();
    }
};

TEST_F(TestRunTest, TestTwoSendsOneCommandAndItsAnswerWritesTheRow) {
    LocoNumber = "1234567";
    AnswerDialog(1, "1234567", 2); // locomotive, МВ1 (channel 3)
    WhileWaiting([] { Deliver("0000100", 2); });
    MainForm->ITest2Click();

    EXPECT_EQ(Sent(21).toHex(' ').toUpper(),
              "93 EE 81 81 82 83 84 85 86 87 EF E2 80 80 80 80 80 80 80 82 E3");
    const QList<TRow> rows = Rows23();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][2].toString(), "Тест 2");
    EXPECT_EQ(rows[0][3].toString(), "От ВЕСК");
    EXPECT_EQ(rows[0][6].toString(), "1234567");
    EXPECT_EQ(rows[0][7].toString(), "Норма") << "digit 5 is not part of the test 2 verdict";
    EXPECT_EQ(rows[0][8].toString(), "0000100");
    EXPECT_EQ(MainForm->Label20->text(), "Тест2:НОРМА");
    EXPECT_EQ(MainForm->Label21->text(), "Результат теста: 0000100");
    EXPECT_EQ(MainForm->Label23->text(), "№ локомотива: 1234567");
    EXPECT_EQ(MainForm->BitBtn4->text(), "OK");
    EXPECT_EQ(MainForm->Gauge3->Progress(), 115);
    EXPECT_EQ(LastGridText(), QString(52, '*'));
    EXPECT_TRUE(MainForm->StatusText(1).startsWith("Начат 01.03.2026"));
    EXPECT_EQ(RunningTest, 0);
    EXPECT_TRUE(MainForm->ITest->menuAction()->isEnabled());
}

TEST_F(TestRunTest, NoAnswerWritesTheQuestionMarkRowAtTheLimit) {
    const qint64 start = clock_.MonotonicMs();
    AnswerDialog(0, "4321", 0);
    MainForm->ITest3Click();
    EXPECT_GE(clock_.MonotonicMs() - start, 115'000);
    const QList<TRow> rows = Rows23();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][2].toString(), "Тест 3");
    EXPECT_EQ(rows[0][5].toString(), "4321");
    EXPECT_EQ(rows[0][7].toString(), "Брак");
    EXPECT_EQ(rows[0][8].toString(), "?");
    EXPECT_EQ(MainForm->Label20->text(), "Нет ответа");
    EXPECT_EQ(MainForm->RichEdit2->toPlainText(), "Нет ответа");
    EXPECT_NE(LastGridText(), QString(52, '*'));
    EXPECT_EQ(Sent(11).toHex(' ').toUpper(), "91 EC 80 80 84 83 82 81 80 80 ED");
}

TEST_F(TestRunTest, NoConfirmationEventEndsTheWait) {
    const qint64 start = clock_.MonotonicMs();
    AnswerDialog(1, "1234567", 0);
    WhileWaiting([] { EndWaitRequest = true; });
    MainForm->ITest2Click();
    EXPECT_LT(clock_.MonotonicMs() - start, 20'000);
    const QList<TRow> rows = Rows23();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][8].toString(), "?");
}

TEST_F(TestRunTest, CancelWritesNothing) {
    AnswerDialog(1, "1234567", 0);
    WhileWaiting([] { MainForm->BitBtn4->click(); });
    MainForm->ITest2Click();
    EXPECT_TRUE(Rows23().isEmpty());
    EXPECT_EQ(MessageCount, 0);
    EXPECT_TRUE(MainForm->Panel5->isHidden());
    EXPECT_EQ(RunningTest, 0);
    EXPECT_TRUE(MainForm->ITest->menuAction()->isEnabled());
}

TEST_F(TestRunTest, LateAnswerIsTakenAsAStationStartedResult) {
    AnswerDialog(1, "1234567", 0);
    MainForm->ITest2Click();
    ASSERT_EQ(Rows23().size(), 1);

    Deliver("1000000", 2); // the decoder posts WM_DEVICE_TEST23
    EXPECT_EQ(RunningTest, 2);
    QCoreApplication::processEvents();
    const QList<TRow> rows = Rows23();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1][3].toString(), "От РВ");
    EXPECT_EQ(rows[1][7].toString(), "Брак");
    EXPECT_FALSE(MainForm->Panel5->isHidden());
    EXPECT_EQ(MainForm->Label20->text(), "Тест2:БРАК");
    EXPECT_EQ(RunningTest, 0);
}

TEST_F(TestRunTest, StationStartedSelfTestAndTestsTwoThreeWriteTheirRows) {
    TFrame loco;
    loco.Code = 0xEE;
    loco.State = 2;
    loco.Count = 8;
    const uint8_t digits[8] = {1, 7, 6, 5, 4, 3, 2, 1};
    std::copy(digits, digits + 8, loco.Nibbles);
    HandleFrame(loco);
    ASSERT_EQ(LocoNumber, "7654321");

    Deliver("0000000", 1);
    QCoreApplication::processEvents();
    ASSERT_EQ(Rows1().size(), 1);
    EXPECT_EQ(Rows1()[0][2].toString(), "Тест 1");
    EXPECT_EQ(MainForm->LResult->text(), "Тест ВЕСК:НОРМА");

    Deliver("0000003", 3);
    QCoreApplication::processEvents();
    ASSERT_EQ(Rows23().size(), 1);
    EXPECT_EQ(Rows23()[0][2].toString(), "Тест 3");
    EXPECT_EQ(Rows23()[0][3].toString(), "От РВ");
    EXPECT_EQ(Rows23()[0][6].toString(), "7654321");
    EXPECT_EQ(Rows23()[0][7].toString(), "Брак") << "test 3 looks at digit 7 as well";
    EXPECT_EQ(MainForm->Label23->text(), "Номер локомотива: 7654321");
    EXPECT_EQ(MainForm->Label19->text(), "Тест 3");
}

TEST_F(TestRunTest, TenTestsInARowEachFindTheirOwnAnswer) {
    for (int i = 0; i < 10; ++i) {
        // A stale entry left from before the start must not be taken.
        ResultQueue[0] = ResultFrame("FFFFFFF", 2);
        ResultCount = 1;
        const QString code = QString::number(i, 16).toUpper() + "000000";
        AnswerDialog(1, "1234567", 0);
        WhileWaiting([code] { Deliver(code, 2); });
        MainForm->ITest2Click();
    }
    const QList<TRow> rows = Rows23();
    ASSERT_EQ(rows.size(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(rows[i][8].toString(), QString::number(i, 16).toUpper() + "000000");
}

TEST_F(TestRunTest, SelfTestJudgesDigitsOneToFiveAndPacksTheVswr) {
    ConfigWord = "03111111"; // self-test with the squelch check: 80 s
    WhileWaiting([] {
        TFrame ea;
        ea.Code = 0xEA;
        ea.State = 2;
        ea.Count = 8;
        const uint8_t d[8] = {0, 2, 1, 2, 3, 5, 1, 2};
        std::copy(d, d + 8, ea.Nibbles);
        HandleFrame(ea);
        Deliver("0000050", 1);
    });
    MainForm->ITest1Click();
    EXPECT_EQ(MainForm->Gauge2->MaxValue(), 80);
    EXPECT_EQ(Sent(10).toHex(' ').toUpper(), "E2 80 80 80 80 80 80 80 81 E3");
    const QList<TRow> rows = Rows1();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][4].toString(), "Норма");
    EXPECT_EQ(rows[0][5].toString(), "0000050");
    EXPECT_EQ(rows[0][21].toString(), QString(QChar(35)) + QChar(12));
    EXPECT_EQ(MainForm->LTest1->text(), "0000050");
    EXPECT_EQ(MainForm->LResult->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_TRUE(MainForm->RichEdit1->toPlainText().contains("АФУ  МВ КСВ=3,5"));
}

TEST_F(TestRunTest, SelfTestTimeOutWritesTheQuestionMarkRow) {
    ConfigWord = "00111111"; // no squelch check: 20 s
    const qint64 start = clock_.MonotonicMs();
    MainForm->ITest1Click();
    EXPECT_GE(clock_.MonotonicMs() - start, 20'000);
    EXPECT_LT(clock_.MonotonicMs() - start, 40'000);
    EXPECT_EQ(MainForm->Gauge2->MaxValue(), 20);
    const QList<TRow> rows = Rows1();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][5].toString(), "?");
    EXPECT_EQ(rows[0][4].toString(), "Брак");
    EXPECT_EQ(MainForm->LResult->text(), "Нет ответа ");
    EXPECT_EQ(MainForm->BitBtn3->text(), "OK");
}

TEST_F(TestRunTest, WaitLimitIsNotMovedByTheTimeOfDay) {
    clock_.SetNow(QDateTime(QDate(2026, 3, 1), QTime(23, 59, 50)));
    ConfigWord = "00111111";
    WhileWaiting([this] { clock_.SetNow(clock_.Now().addSecs(-3600)); }); // the PC clock is set back
    const qint64 start = clock_.MonotonicMs();
    MainForm->ITest1Click();
    const qint64 waited = clock_.MonotonicMs() - start;
    EXPECT_GE(waited, 20'000);
    EXPECT_LT(waited, 30'000);
    ASSERT_EQ(Rows1().size(), 1);
    EXPECT_EQ(Rows1()[0][5].toString(), "?");
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
    EXPECT_EQ(Rows23()[0][2].toString(), "Тест 3");
    EXPECT_EQ(Rows23()[0][3].toString(), "От РВ");
    EXPECT_EQ(RunningTest, 0) << "the next test can start";
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

TEST_F(TestRunTest, PostedResultMessagesWithoutTheirResultDoNothing) {
    PostMainFormMessage(WM_DEVICE_TEST23);
    PostMainFormMessage(WM_DEVICE_TEST1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(MainForm->Panel5->isHidden());
    EXPECT_TRUE(Rows23().isEmpty());
    EXPECT_TRUE(Rows1().isEmpty());

    // A running test whose queue lost its result is released, not left stuck.
    RunningTest = 3;
    ClearResultQueue();
    MainForm->Test2();
    EXPECT_EQ(RunningTest, 0);
}

TEST_F(TestRunTest, FactoryNumbersOfTheAnswerAreSaved) {
    LocoNumber = "1234567";
    AnswerDialog(1, "1234567", 0);
    WhileWaiting([] {
        TFrame f8;
        f8.Code = 0xF8;
        f8.State = 2;
        f8.Count = 8;
        const uint8_t d[8] = {1, 2, 0, 5, 0, 7, 2, 4}; // block 1, quarter 2: 0507
        std::copy(d, d + 8, f8.Nibbles);
        HandleFrame(f8);
        Deliver("0000000", 2);
    });
    MainForm->ITest2Click();
    TTable t(journal_, BlockNumFileName, TBlockNumTable::Fields(), TBlockNumTable::KeyFields());
    t.Open();
    const QList<TRow> rows = t.AllRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][bnLoko].toString(), "1234567");
    EXPECT_EQ(rows[0][bnBlock1].toString(), "0000000005070000");
    EXPECT_EQ(rows[0][bnBlock1 + 1].toString(), "0000000000000000");
    EXPECT_EQ(rows[0][bnKind].toInt(), KindFromDevice);
    for (const auto& block : BlockNumDigits.Digits)
        for (uint8_t d : block)
            EXPECT_EQ(d, 0);
}

TEST_F(TestRunTest, TestOneRunsSeventySecondsAndEndsWithTheResetByte) {
    LocoNumber = "1234567";
    AnswerDialog(1, "1234567", 0);
    int gaugeAfterNoConfirmation = -1;
    WhileWaiting([&] {
        EndWaitRequest = true;
        When([] { return !EndWaitRequest; },
             [&] { gaugeAfterNoConfirmation = MainForm->Gauge4->Progress(); });
    });
    const qint64 start = clock_.MonotonicMs();
    MainForm->ToolButton1Click();
    EXPECT_GE(clock_.MonotonicMs() - start, 70'000) << "0xAB does not end test 1";
    EXPECT_EQ(gaugeAfterNoConfirmation, 60);
    EXPECT_EQ(Sent(1).toHex().toUpper(), "D0");
    EXPECT_TRUE(Rows1().isEmpty());
    EXPECT_TRUE(Rows23().isEmpty());
    EXPECT_EQ(MainForm->Label25->text(), "Результаты тестирования");
    EXPECT_TRUE(MainForm->BitBtn5->isHidden());
}

TEST_F(TestRunTest, TechnologicalModeOneSendsItsFrameOnly) {
    MainForm->EnableTestControls(false);
    MainForm->N9Click();
    EXPECT_EQ(Sent(10).toHex(' ').toUpper(), "E2 80 80 80 80 80 80 80 85 E3");
    EXPECT_EQ(MainForm->Label25->text(), "Технологический режим 1: измерение девиации");
    EXPECT_FALSE(MainForm->ITest->menuAction()->isEnabled()) << "the controls stay as they were";
    EXPECT_EQ(RunningTest, 0);
}

} // namespace
