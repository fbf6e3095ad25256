// The test parameters dialog: digit filter, fixed widths, the channel combos and the band check.
#include "app/TMainForm.h"
#include "runs/TFTestDlg.h"
#include "runs/TestRules.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class TestDlgTest : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        Start(false);
        dialogs_.clear();
        dlg_ = FTestDlg;
        ASSERT_NE(dlg_, nullptr);
    }
    // Shows the dialog without a modal loop; OK and Отмена close it as they would.
    void Open() {
        dlg_->show();
        QCoreApplication::processEvents();
    }
    TFTestDlg* dlg_ = nullptr;
};

TEST_F(TestDlgTest, NonDigitsBecomeZeroAndNumbersArePaddedOnOk) {
    Open();
    dlg_->Edit1->clear();
    for (QChar c : QString("12a4"))
        dlg_->Edit1->insert(c);
    EXPECT_EQ(dlg_->Edit1->text(), "1204");

    dlg_->Edit1->setText("12");
    LocoNumber = "55";
    dlg_->BitBtn1->click();
    EXPECT_FALSE(dlg_->isVisible());
    EXPECT_EQ(dlg_->result(), QDialog::Accepted);
    EXPECT_EQ(TrainNumber, "0012");
    EXPECT_EQ(LocoNumber, "0000055") << "both numbers are padded";

    Open();
    dlg_->RadioGroup1->setCurrentIndex(1);
    dlg_->Edit1->clear();
    dlg_->BitBtn1->click();
    EXPECT_EQ(LocoNumber, "0000000");
}

TEST_F(TestDlgTest, KindSwitchSetsTheWidthBeforeTheText) {
    LocoNumber = "7654321";
    Open();
    EXPECT_EQ(dlg_->Edit1->text(), "1234");
    dlg_->RadioGroup1->setCurrentIndex(1);
    EXPECT_EQ(dlg_->Edit1->maxLength(), 7);
    EXPECT_EQ(dlg_->Edit1->text(), "7654321");
    TrainNumber = "4321";
    dlg_->RadioGroup1->setCurrentIndex(0);
    EXPECT_EQ(dlg_->Edit1->maxLength(), 4);
    EXPECT_EQ(dlg_->Edit1->text(), "4321");
    dlg_->RadioGroup1->setCurrentIndex(1);
    dlg_->BitBtn2->click();

    // Opened again on the locomotive kind with a 4-character width left from before.
    dlg_->Edit1->setMaxLength(4);
    Open();
    EXPECT_EQ(dlg_->Edit1->text(), "7654321") << "the whole number is shown";

    // Entering the edit puts the saved number back; focus coming back to it from another
    // window or from its context menu (a paste) keeps what was typed.
    const auto focusIn = [this](Qt::FocusReason reason) {
        QFocusEvent e(QEvent::FocusIn, reason);
        QCoreApplication::sendEvent(dlg_->Edit1, &e);
    };
    dlg_->Edit1->setText("1112223");
    focusIn(Qt::ActiveWindowFocusReason);
    focusIn(Qt::PopupFocusReason);
    EXPECT_EQ(dlg_->Edit1->text(), "1112223");
    focusIn(Qt::TabFocusReason);
    EXPECT_EQ(dlg_->Edit1->text(), "7654321");
    dlg_->BitBtn2->click();
}

TEST_F(TestDlgTest, CancelTakesTheChannelShownAndKeepsTheNumbers) {
    Open();
    dlg_->ComboBox1->setCurrentIndex(3); // МВ2
    dlg_->BitBtn2->click();
    EXPECT_EQ(dlg_->result(), QDialog::Rejected);
    EXPECT_EQ(CurrentChannel, 4);
    EXPECT_EQ(TrainNumber, "1234");
}

TEST_F(TestDlgTest, BlockedBandRefusesOkButTakesTheChannel) {
    ConfigWord = "02111111"; // МВ blocked, the full list still shown
    Open();
    dlg_->ComboBox1->setCurrentIndex(2); // МВ1
    dlg_->BitBtn1->click();
    EXPECT_TRUE(dlg_->isVisible()) << "the close is refused";
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Type, TMsgDlgType::Warning);
    EXPECT_EQ(dialogs_[0].Text, "Диапазон МВ заблокирован. Выполнение теста невозможно.");
    EXPECT_EQ(dialogs_[0].Buttons, mbYes | mbNo);
    EXPECT_EQ(CurrentChannel, 3);
    dlg_->BitBtn2->click();

    ConfigWord = "04111111"; // ГМВ blocked
    dialogs_.clear();
    Open();
    dlg_->ComboBox1->setCurrentIndex(1); // ГМВ2
    dlg_->BitBtn1->click();
    EXPECT_TRUE(dlg_->isVisible());
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "Диапазон ГМВ заблокирован. Выполнение теста невозможно.");
    EXPECT_EQ(CurrentChannel, 2);
    dlg_->BitBtn2->click();
}

// At creation the dialog shows the channel list of the band that is not blocked.
TEST_F(TestDlgTest, CreationShowsTheListOfTheFreeBand) {
    const struct {
        const char* word;
        QComboBox* shown;
    } cases[] = {
        {"04111111", dlg_->ComboBoxMW}, {"02111111", dlg_->ComboBoxGMW}, {"01111111", dlg_->ComboBox1}};
    for (const auto& c : cases) {
        ConfigWord = c.word;
        dlg_->FormCreate();
        for (QComboBox* box : {dlg_->ComboBox1, dlg_->ComboBoxMW, dlg_->ComboBoxGMW})
            EXPECT_EQ(box->isHidden(), box != c.shown) << c.word << " " << box->objectName().toStdString();
    }
    ConfigWord = "01111111";
}

TEST_F(TestDlgTest, BandCheckReadsTheComboThatIsShown) {
    // МВ blocked and the ГМВ list shown; the hidden full list still points at МВ2.
    ConfigWord = "02111111";
    dlg_->ComboBox1->setCurrentIndex(3);
    dlg_->ComboBox1->hide();
    dlg_->ComboBoxMW->hide();
    dlg_->ComboBoxGMW->show();
    dlg_->ComboBoxGMW->setCurrentIndex(0);
    Open();
    dlg_->BitBtn1->click();
    EXPECT_TRUE(dialogs_.isEmpty());
    EXPECT_FALSE(dlg_->isVisible());
    EXPECT_EQ(CurrentChannel, 1);

    // ГМВ blocked, the МВ list shown on МВ3.
    ConfigWord = "04111111";
    dlg_->ComboBoxGMW->hide();
    dlg_->ComboBoxMW->show();
    dlg_->ComboBoxMW->setCurrentIndex(2);
    Open();
    dlg_->BitBtn1->click();
    EXPECT_TRUE(dialogs_.isEmpty());
    EXPECT_EQ(CurrentChannel, 5);

    // Both bands blocked: the МВ list is shown, and its channel is refused.
    ConfigWord = "06111111";
    dlg_->ComboBoxMW->setCurrentIndex(0);
    Open();
    dlg_->BitBtn1->click();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "Диапазон МВ заблокирован. Выполнение теста невозможно.");
    dlg_->BitBtn2->click();
}

TEST(ChannelBandTest, ChannelsOutsideTheBandsBelongToNone) {
    EXPECT_EQ(ChannelBand(0), TChannelBand::None);
    EXPECT_EQ(ChannelBand(2), TChannelBand::Gmv);
    EXPECT_EQ(ChannelBand(6), TChannelBand::Mv);
    EXPECT_EQ(ChannelBand(7), TChannelBand::None);
}

TEST_F(TestDlgTest, TestOneLocksTheKindOnlyWhileOpen) {
    ASSERT_NE(MainForm, nullptr);
    // ShowTest1Dialog runs the dialog modally; it is answered from the event loop.
    QTimer::singleShot(0, [this] {
        EXPECT_FALSE(dlg_->RadioGroup1->isEnabled());
        EXPECT_EQ(dlg_->RadioGroup1->currentIndex(), 1);
        EXPECT_EQ(dlg_->Edit1->text(), "1234567");
        dlg_->BitBtn2->click();
    });
    EXPECT_FALSE(MainForm->ShowTest1Dialog());
    EXPECT_TRUE(dlg_->RadioGroup1->isEnabled());
    EXPECT_EQ(dlg_->RadioGroup1->currentIndex(), 1);
}

} // namespace
