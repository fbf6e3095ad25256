// The hourly tests: the states of Timer1 and what each tick starts.
#include "TestRunSupport.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

namespace {

class PeriodicTest : public TTestRunFixture {
protected:
    void SetUp() override {
        TTestRunFixture::SetUp();
        MechanicNumber = ServiceAccessCode;
        MainForm->UpdateServiceMenus(true);
        ASSERT_TRUE(MainForm->mPeriodicTest2->isEnabled());
    }
    QTimer* timer() const { return MainForm->Timer1; }
};

TEST_F(PeriodicTest, NothingAskedKeepsPollingEveryTwoSeconds) {
    timer()->start();
    MainForm->Timer1Timer();
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(timer()->interval(), 2000);
    EXPECT_TRUE(Rows1().isEmpty());
    EXPECT_TRUE(Rows23().isEmpty());
}

TEST_F(PeriodicTest, ItemClickKicksTheTimerAndUnticksTheOther) {
    MainForm->mPeriodicTest3->trigger();
    EXPECT_TRUE(MainForm->mPeriodicTest3->isChecked());
    MainForm->mPeriodicTest2->trigger();
    EXPECT_TRUE(MainForm->mPeriodicTest2->isChecked());
    EXPECT_FALSE(MainForm->mPeriodicTest3->isChecked());
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(timer()->interval(), 1000);
}

TEST_F(PeriodicTest, HourlyTickRunsTestTwoThenTheSelfTestAndAddressesTheChosenNumber) {
    ConfigWord = "01311111"; // hourly self-test bit set
    MainForm->mPeriodicTest2->trigger();
    AnswerDialog(0, "0042", 1); // the first run asks: train 0042 on ГМВ2
    WhileWaiting([this] {
        Deliver("0000000", 2);
        When([] { return RunningTest == 1 && TestWaitRunning(); }, [] { Deliver("0000000", 1); });
    });
    MainForm->Timer1Timer();
    EXPECT_EQ(timer()->interval(), 3600000);
    EXPECT_TRUE(timer()->isActive());
    ASSERT_EQ(Rows23().size(), 1);
    EXPECT_EQ(Rows23()[0][5].toString(), "0042");
    ASSERT_EQ(Rows1().size(), 1) << "the self-test follows test 2 in the same tick";
    EXPECT_TRUE(PeriodicByTrain);
    EXPECT_EQ(PeriodicChannel, 2);

    // The dialog now points at the locomotive; the hourly run still addresses the train.
    FTestDlg->RadioGroup1->setCurrentIndex(1);
    CurrentChannel = 5;
    TxBuffer.Len = 0;
    MainForm->Timer1Timer();
    EXPECT_EQ(Rows23().size(), 2);
    // The last command is the self-test's; the hourly test 2 went out before it.
    EXPECT_EQ(PeriodicTrain, "0042");
    EXPECT_EQ(CurrentChannel, 2);
    EXPECT_EQ(MainForm->Label22->text(), "№ поезда: 0042");
}

TEST_F(PeriodicTest, TrainChosenForTheHourSendsTheTrainFrame) {
    MainForm->mPeriodicTest3->trigger();
    PeriodicTrain = "0042";
    PeriodicLoco = "1234567";
    PeriodicByTrain = true;
    PeriodicChannel = 1;
    FTestDlg->RadioGroup1->setCurrentIndex(1); // the dialog was last left on the locomotive
    WhileWaiting([] { Deliver("0000000", 3); });
    MainForm->Timer1Timer();
    EXPECT_EQ(Sent(21), "91 EC 80 80 80 80 84 82 80 80 ED E2 80 80 80 80 80 80 80 83 E3");
    EXPECT_TRUE(NumberIsTrain);
}

TEST_F(PeriodicTest, TickWhileATestWaitsOnlyRetriesInTwentySeconds) {
    ConfigWord = "01311111";
    RunningTest = 2; // a station result waits for its handler
    ResultQueue[0] = ResultFrame("0000000", 2);
    ResultCount = 1;
    MainForm->Timer1Timer();
    EXPECT_EQ(timer()->interval(), 20000);
    EXPECT_TRUE(timer()->isActive());
    EXPECT_TRUE(Rows1().isEmpty());

    RunningTest = 0;
    MainForm->EnableTestControls(false); // the test menu is off
    MainForm->Timer1Timer();
    EXPECT_EQ(timer()->interval(), 20000);
}

TEST_F(PeriodicTest, CancelInTheFirstDialogStopsEveryHourlyTest) {
    ConfigWord = "01311111";
    MainForm->mPeriodicTest2->trigger();
    AnswerDialog(1, "1234567", 0, false);
    MainForm->Timer1Timer();
    EXPECT_FALSE(timer()->isActive());
    EXPECT_TRUE(Rows1().isEmpty()) << "the hourly self-test is stopped as well";
    EXPECT_TRUE(PeriodicLoco.isEmpty());
}

TEST_F(PeriodicTest, TickedButDisabledItemStillChoosesItsTestWhenTheSelfTestBitLetsTheTickGoOn) {
    ConfigWord = "01311111";
    MainForm->mPeriodicTest3->trigger();
    MainForm->mPeriodicTest3->setEnabled(false);
    PeriodicTrain = "1111";
    PeriodicLoco = "2222222";
    PeriodicChannel = 3;
    WhileWaiting([this] {
        if (RunningTest == 3)
            Deliver("0000000", 3);
        When([] { return RunningTest == 1 && TestWaitRunning(); }, [] { Deliver("0000000", 1); });
    });
    MainForm->Timer1Timer();
    ASSERT_EQ(Rows23().size(), 1);
    EXPECT_EQ(Rows23()[0][2].toString(), "Тест 3");
}

} // namespace
