// The parameters window against the simulated station: the bytes of every send, the
// journal rows, the composition of the service word, the unsent-changes prompt, the
// squelch controls, device reports and "params.txt" through the buttons.
#include "ParamsFixture.h"
#include "support/WindowCheck.h"

#include "app/TMainForm.h"
#include "voice/TFCall.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>

namespace {

// The send-all packet of the start-up values with no device block.
const char* const DefaultSendAll = "E8 80 81 81 81 81 81 81 81 E9 "
                                   "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                   "EA 80 80 80 80 80 80 80 80 EB "
                                   "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                   "EA 80 81 80 80 80 80 80 80 EB "
                                   "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                   "EA 80 82 EB "
                                   "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                   "E4 80 81 80 80 80 80 80 80 E5 "
                                   "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                   "E4 80 82 80 80 80 80 80 80 E5 "
                                   "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                   "E4 80 83 80 80 80 80 80 80 E5";

class ParamWindowTest : public TParamsFixture {
protected:
    void SetUp() override {
        TParamsFixture::SetUp();
        w_ = FParam;
        w_->show();
        QCoreApplication::processEvents();
    }
    // The row fields of "tests1.DB" that a send fills: event, mechanic, word, code, config
    // word, МВ1 receive, the six thresholds.
    QString JournalRow(int i) {
        const QList<TRow> rows = Rows1();
        return i < rows.size() ? RowFields(rows[i], {2, 3, 4, 5, 6, 7, 13, 14, 15, 16, 17, 18}) : QString();
    }
    TFParam* w_ = nullptr;
};

TEST_F(ParamWindowTest, EachSendButtonPutsItsGroupAloneOnTheLineAndJournalsIt) {
    w_->MaskEdit1->setText("12");
    w_->MaskEdit4->setText("1,5");
    w_->MaskEdit10->setText("2,");
    w_->MaskEdit5->setText("");
    w_->MaskEdit11->setText("3a0");
    EXPECT_EQ(w_->MaskEdit11->text(), "300") << "a letter in a threshold becomes 0";
    w_->MvEdit2->clear();
    Type(w_->MvEdit2, "1x2");
    EXPECT_EQ(w_->MvEdit2->text(), "102") << "a letter in a channel number becomes 0";
    w_->MvEdit3->setText("45");
    EXPECT_EQ(ParamsDirty, 2 | 8);
    ParamsDirty = 0;
    w_->MvEdit0->setText("1");
    w_->MvEdit4->setText("1");
    EXPECT_EQ(ParamsDirty, 4 | 16) << "each channel marks its own group";
    w_->MvEdit0->setText("000");
    w_->MvEdit4->setText("000");
    ParamsDirty = 2 | 8;

    w_->SpeedButton2->click();
    // Upper ДМВ, МВ, ГМВ then lower ДМВ, МВ, ГМВ in one buffer: "3,00" keeps its first two digits.
    EXPECT_EQ(Got(20), "EA 80 80 80 80 81 85 80 80 EB EA 80 81 80 80 80 82 83 80 EB");
    EXPECT_EQ(TxSent, 20);
    EXPECT_EQ(ParamsDirty, 8) << "only the thresholds are sent";
    EXPECT_EQ(JournalRow(0), "Запись|0012|||01111111|000|00|15|00|00|02|30");

    w_->SpeedButton4->click();
    EXPECT_EQ(Got(10), "E4 80 82 81 80 82 80 84 85 E5") << "no channel byte in front";
    EXPECT_EQ(MvChannels[2].Prm, "102");
    EXPECT_EQ(MvChannels[2].Prd, "045");
    EXPECT_EQ(ParamsDirty, 0);

    w_->MvEdit0->setText("7");
    w_->SpeedButton3->click();
    EXPECT_EQ(Got(10), "E4 80 81 80 80 87 80 80 80 E5");
    ConfigWord = "00000000";
    w_->MaskEdit2->setText("02100000");
    w_->SpeedButton1->click();
    EXPECT_EQ(Got(10), "E8 80 82 81 80 80 80 80 80 E9");
    EXPECT_EQ(ConfigWord, "02100000");
    EXPECT_FALSE(MainForm->ELevm->isEnabled()) << "the taken word is applied to the main window";
    EXPECT_EQ(Rows1().size(), 4);
    EXPECT_EQ(JournalRow(3), "Запись|0012|||02100000|007|00|15|00|00|02|30");
}

TEST_F(ParamWindowTest, SendAllCarriesTheDeviceOnlyValuesAsReported) {
    w_->BitBtn1->click();
    EXPECT_EQ(Got(184), DefaultSendAll);
    ASSERT_EQ(Rows1().size(), 1);
    EXPECT_EQ(JournalRow(0), "Запись|0000|||01111111|000|00|00|00|00|00|00");

    // The ДМВ thresholds and the device block travel back as the device reported them.
    FromStation("EA 80 80 84 8A 81 82 83 84 EB EA 80 81 85 89 80 80 80 80 EB EA 80 82 81 8B 81 85 82 80 EB",
                [] { return ParamBlock2[0] == "1B"; });
    w_->BitBtn1->click();
    const QString sent = Got(186);
    EXPECT_EQ(sent.size(), 186 * 3 - 1);
    EXPECT_TRUE(sent.contains("EA 80 80 84 8A 81 82 83 84 EB")) << sent.toStdString();
    EXPECT_TRUE(sent.contains("EA 80 81 85 89 80 80 80 80 EB")) << sent.toStdString();
    EXPECT_TRUE(sent.contains("EA 80 82 81 8B EB")) << sent.toStdString();
}

TEST_F(ParamWindowTest, SquelchControlsSendAtOnceWithoutJournal) {
    w_->sePSH_mv->stepUp();
    EXPECT_EQ(Got(10), "EA 80 87 80 80 80 81 82 88 EB");
    EXPECT_EQ(w_->tbPSH_MV->value(), 128);
    w_->cbPSH_off_gmv->click();
    EXPECT_EQ(Got(10), "EA 80 86 80 80 81 81 82 87 EB");
    EXPECT_EQ(PshSettings[0].Off, true);
    EXPECT_EQ(PshSettings[1].Level, 128);

    // Typing into the spin edit does nothing: a frame per keystroke would reach the device.
    w_->sePSH_mv->findChild<QLineEdit*>()->selectAll();
    Type(w_->sePSH_mv->findChild<QLineEdit*>(), "5");
    EXPECT_EQ(w_->sePSH_mv->value(), 128);

    // A drag sends one frame for every position the bar passes.
    w_->tbPSH_GMV->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    w_->tbPSH_GMV->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(Got(20), "EA 80 86 80 80 81 81 82 88 EB EA 80 86 80 80 81 81 82 89 EB");
    EXPECT_EQ(w_->sePSH_gmv->value(), 129);
    EXPECT_TRUE(Rows1().isEmpty());
    EXPECT_EQ(ParamsDirty, 0);

    // A squelch report from the device moves the controls and sends nothing back.
    FromStation("EA 80 87 80 80 81 82 80 80 EB", [] { return PshSettings[1].Level == 200; });
    EXPECT_EQ(w_->sePSH_mv->value(), 200);
    EXPECT_EQ(w_->tbPSH_MV->value(), 200);
    EXPECT_TRUE(w_->cbPSH_off_mv->isChecked());
    EXPECT_TRUE(PshUiReady);
    EXPECT_TRUE(NothingSent());
}

TEST_F(ParamWindowTest, AutomaticSquelchGreysTheGroupsUntilTheDeviceAnswers) {
    QWidget* callGroup = FCall->findChild<QWidget*>("gbPSH");
    w_->bPshAuto->click();
    EXPECT_EQ(Got(1), "D5");
    EXPECT_FALSE(w_->gbPSH_mv->isEnabled());
    EXPECT_FALSE(w_->gbPHS_gmv->isEnabled());
    if (callGroup) {
        EXPECT_FALSE(callGroup->isEnabled());
    }
    FromStation("CA", [this] { return w_->gbPSH_mv->isEnabled(); });
    EXPECT_TRUE(w_->gbPHS_gmv->isEnabled());
    if (callGroup) {
        EXPECT_TRUE(callGroup->isEnabled());
    }
}

TEST_F(ParamWindowTest, AWordWithAnEightInAFlagDigitIsShownAsReceivedAndABoxKeepsItADigit) {
    FromStation("E8 80 88 89 81 81 81 81 81 E9", [] { return ConfigWord == "08911111"; });
    EXPECT_EQ(w_->MaskEdit2->text(), "08911111") << "shown as received";
    EXPECT_FALSE(w_->CheckBox3->isChecked());
    w_->CheckBox3->click(); // "Блокировка МВ"
    EXPECT_TRUE(dialogs_.isEmpty()) << dialogs_.value(0).Text.toStdString();
    EXPECT_EQ(ConfigWord, "02911111");
    EXPECT_EQ(w_->MaskEdit2->text(), "02911111");
    EXPECT_TRUE(w_->CheckBox3->isChecked());
    EXPECT_FALSE(w_->gbPSH_mv->isEnabled()) << "the block is applied whole";
    w_->CheckBox3->click();
    EXPECT_EQ(ConfigWord, "00911111");
}

TEST_F(ParamWindowTest, BoxesAndListsComposeTheServiceWordByItsDigitMap) {
    w_->CheckBox5->click();
    EXPECT_EQ(ConfigWord, "21111111") << "bit 1 of the first digit";
    EXPECT_EQ(w_->MaskEdit2->text(), "21111111");
    EXPECT_EQ(ParamsDirty, 1);

    Choose(w_->cbRS, 4); // "РВС Метро" blocks the МВ band
    EXPECT_EQ(ConfigWord, "23141111");
    EXPECT_TRUE(w_->CheckBox3->isChecked());
    EXPECT_FALSE(w_->CheckBox4->isEnabled());
    EXPECT_FALSE(w_->gbPSH_mv->isEnabled());
    EXPECT_FALSE(w_->MvEdit0->isEnabled());
    EXPECT_FALSE(MainForm->ELevm->isEnabled());
    Choose(w_->cbRS, 2); // "РВС"
    EXPECT_EQ(ConfigWord, "21121111");
    EXPECT_FALSE(w_->CheckBox3->isChecked());
    EXPECT_TRUE(w_->gbPSH_mv->isEnabled());
    EXPECT_TRUE(MainForm->ELevm->isEnabled());
    w_->cbRS->lineEdit()->selectAll();
    Type(w_->cbRS->lineEdit(), "РВ");
    EXPECT_EQ(ConfigWord.at(3), u'7') << "typed text is no type";

    const std::pair<QComboBox*, int> lists[] = {
        {w_->ComboBox2, 4}, {w_->ComboBox3, 5}, {w_->ComboBox5, 1}, {w_->ComboBox6, 3}};
    for (const auto& [list, item] : lists) {
        ParamsDirty = 0;
        Choose(list, item);
        EXPECT_EQ(w_->MaskEdit2->text(), ConfigWord) << list->objectName().toStdString();
        EXPECT_EQ(ParamsDirty, 1);
    }
    EXPECT_EQ(ConfigWord.mid(4), "5624");
    w_->CheckBox4->click();
    EXPECT_EQ(ConfigWord.at(1), u'5') << "ГМВ blocked";
    EXPECT_FALSE(w_->CheckBox3->isEnabled());
    EXPECT_FALSE(w_->MaskEdit5->isEnabled());
    EXPECT_FALSE(w_->gbPHS_gmv->isEnabled());
    w_->CheckBox4->click();
    w_->cbNchAutonom->click();
    w_->CheckBox8->click();
    EXPECT_EQ(ConfigWord.left(3), "613");

    // The refresh chose the МВ1 item: the third digit's bit 0 was set.
    EXPECT_TRUE(w_->GroupNCH->isHidden());
    w_->cbNchInTest->click();
    EXPECT_FALSE(w_->GroupNCH->isHidden());
    EXPECT_EQ(ConfigWord.left(3), "713");
    w_->GroupNCHItems->button(1)->click();
    EXPECT_EQ(ConfigWord.left(3), "712");
    w_->GroupNCHItems->button(0)->click();
    EXPECT_EQ(ConfigWord.left(3), "713");
    w_->cbNchInTest->click();
    EXPECT_TRUE(w_->GroupNCH->isHidden());
    EXPECT_EQ(ConfigWord, "61375624");
    EXPECT_EQ(w_->MaskEdit2->text(), ConfigWord);

    // The refresh reads every box and list back from the word and marks nothing.
    ConfigWord = "55250213";
    w_->FormShow();
    EXPECT_EQ(w_->cbRS->currentIndex(), -1) << "type 5 is none of the list";
    EXPECT_TRUE(w_->cbNchInTest->isChecked());
    EXPECT_FALSE(w_->CheckBox5->isChecked());
    EXPECT_TRUE(w_->cbNchAutonom->isChecked());
    EXPECT_FALSE(w_->CheckBox3->isChecked());
    EXPECT_TRUE(w_->CheckBox4->isChecked());
    EXPECT_TRUE(w_->cbTestPsh->isChecked());
    EXPECT_TRUE(w_->CheckBox8->isChecked());
    EXPECT_EQ(w_->GroupNCHItems->checkedId(), 1);
    EXPECT_EQ(w_->ComboBox2->currentIndex(), -1) << "digit 0";
    EXPECT_EQ(w_->ComboBox3->currentIndex(), 1);
    EXPECT_EQ(w_->ComboBox5->currentIndex(), 0);
    EXPECT_EQ(w_->ComboBox6->currentIndex(), 2);
    EXPECT_EQ(ConfigWord, "55250213") << "each box wrote back its own flag";
    ConfigWord = "03111111";
    w_->FormShow();
    EXPECT_TRUE(w_->CheckBox3->isChecked()) << "МВ blocked";
    EXPECT_FALSE(w_->CheckBox4->isEnabled());
    EXPECT_FALSE(w_->GroupNCH->isVisible());
    EXPECT_EQ(ConfigWord, "03111111");
    EXPECT_EQ(ParamsDirty, 0);
}

TEST_F(ParamWindowTest, ClosePromptSendsEverythingOnYesAndNothingOnNo) {
    w_->close();
    EXPECT_TRUE(dialogs_.isEmpty()) << "nothing changed, nothing asked";
    EXPECT_FALSE(w_->isVisible());

    w_->show();
    w_->CheckBox5->click();
    dialogAnswer_ = mrNo;
    w_->close();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "Параметры изменены и не переданы ВЕСК. Передать?");
    EXPECT_EQ(dialogs_[0].Buttons, mbYes | mbNo);
    EXPECT_TRUE(NothingSent());
    EXPECT_TRUE(Rows1().isEmpty());
    EXPECT_EQ(ParamsDirty, 1);
    EXPECT_EQ(ConfigWord, "21111111") << "the box wrote the word at once";

    // Reopening discards what was left unsent in the edits.
    w_->show();
    EXPECT_EQ(ParamsDirty, 0);
    w_->MaskEdit4->setText("3,5");
    w_->MvEdit5->setText("9");
    w_->SpeedButton2->click();
    Got(20);
    EXPECT_EQ(ParamsDirty, 16) << "the thresholds button clears only its own mark";
    dialogAnswer_ = mrYes;
    w_->MaskEdit1->setText("6093");
    w_->close();
    EXPECT_EQ(dialogs_.size(), 2);
    const QString all = Got(184);
    EXPECT_TRUE(all.startsWith("E8 82 81 81")) << all.toStdString();
    EXPECT_TRUE(all.endsWith("E4 80 83 80 80 80 80 80 89 E5")) << all.toStdString();
    EXPECT_EQ(Rows1().size(), 2);
    EXPECT_EQ(ParamsDirty, 0);
    EXPECT_TRUE(MainForm->N31->isEnabled()) << "the mechanic number unlocks the privileged items";
    EXPECT_TRUE(MainForm->mPeriodicTest2->isVisible());

    w_->show();
    w_->MaskEdit1->setText("609");
    w_->close();
    EXPECT_EQ(MechanicNumber, "609") << "as typed";
    EXPECT_FALSE(MainForm->N31->isEnabled());
    EXPECT_FALSE(MainForm->mAnsu->isEnabled());
    EXPECT_FALSE(MainForm->mPeriodicTest3->isVisible());
    EXPECT_EQ(dialogs_.size(), 2);
}

TEST_F(ParamWindowTest, DeviceReportsReplaceUnsentEdits) {
    w_->MvEdit0->setText("999");
    w_->MaskEdit5->setText("9,9");
    FromStation("E4 80 81 81 82 83 84 85 86 E5", [] { return MvChannels[1].Prd == "456"; });
    EXPECT_EQ(w_->MvEdit0->text(), "123");
    EXPECT_EQ(w_->MaskEdit5->text(), "0,0");
    EXPECT_EQ(ParamsDirty, 0);

    FromStation("EA 80 80 80 80 81 85 82 80 EB", [] { return Thresholds[2] == "20"; });
    EXPECT_EQ(w_->MaskEdit4->text(), "1,5");
    EXPECT_EQ(w_->MaskEdit5->text(), "2,0");
    EXPECT_EQ(ParamsDirty, 0);

    // A configuration word report replaces only the word's text; it counts as a change.
    FromStation("E8 82 81 81 82 83 84 81 82 E9", [] { return ConfigWord == "21123412"; });
    EXPECT_EQ(w_->MaskEdit2->text(), "21123412");
    EXPECT_FALSE(w_->CheckBox5->isChecked()) << "the boxes keep their state";
    EXPECT_EQ(ParamsDirty, 1);

    FromStation("F6 80 80 81 82 8A 8B 8C 8D F7", [] { return DeviceVersion == "12ABCD"; });
    EXPECT_EQ(w_->Edit1->text(), "12ABCD");
}

TEST_F(ParamWindowTest, SaveAndLoadThroughTheButtons) {
    // Slot 4 as the station reports it; edits left short or empty are saved at full width.
    FromStation("E4 80 84 84 85 86 87 88 89 E5", [] { return MvChannels[4].Prd == "789"; });
    w_->MaskEdit4->setText("1,5");
    w_->MaskEdit10->setText("7");
    w_->MaskEdit11->setText(",");
    w_->MaskEdit5->clear();
    w_->MvEdit1->setText("42");
    w_->MvEdit5->clear();
    w_->sePSH_gmv->setValue(30);
    Got(10);
    w_->bsave->click();
    EXPECT_EQ(Thresholds[1], "15") << "saving takes the window's values";
    const QString saved =
        "01111111\r\n15 07 00 00 \r\n000 042 000 000 000 000 456 789 \r\n30\r\n1\r\n127\r\n1\r\n";
    EXPECT_EQ(ReadFile("params.txt"), saved);
    EXPECT_EQ(ParamsDirty, 2 | 4 | 16) << "saving sends nothing and keeps the marks";
    EXPECT_TRUE(NothingSent());

    w_->MaskEdit4->setText("2,5");
    w_->sePSH_gmv->setValue(99);
    MvChannels[4] = {"111", "222"};
    Got(10);
    w_->bUnSave->click();
    EXPECT_TRUE(dialogs_.isEmpty()) << "what the save wrote is taken back";
    EXPECT_EQ(w_->MaskEdit4->text(), "1,5");
    EXPECT_EQ(w_->MaskEdit10->text(), "0,7");
    EXPECT_EQ(w_->sePSH_gmv->value(), 30);
    EXPECT_EQ(PshSettings[0].Level, 30);
    EXPECT_EQ(MvChannels[4].Prm + MvChannels[4].Prd, "456789");
    EXPECT_EQ(ParamsDirty, 0);
    EXPECT_TRUE(NothingSent()) << "loading sends nothing";

    // A file with a line the save never writes changes nothing, in the set or in the window.
    QFile f(work_ + "/params.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(saved.toUtf8().replace("15 07", "1a 07"));
    f.close();
    w_->MaskEdit4->setText("4,4");
    w_->bUnSave->click();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "Не удаётся считать параметры из файла «params.txt»:\n"
                                "строка 2: нужны четыре порога девиации по две цифры, каждый с пробелом "
                                "после него.");
    EXPECT_EQ(dialogs_[0].Caption, "Ошибка") << "a title and an icon";
    EXPECT_EQ(w_->MaskEdit4->text(), "4,4");
    EXPECT_EQ(w_->MaskEdit10->text(), "0,7");
    EXPECT_EQ(Thresholds[1], "15");
    EXPECT_EQ(PshSettings[0].Level, 30);

    QFile::remove(work_ + "/params.txt");
    w_->bUnSave->click();
    EXPECT_EQ(dialogs_.size(), 1) << "no file: nothing happens";
    EXPECT_EQ(w_->MaskEdit4->text(), "4,4");

    // A save that cannot replace the file says why and leaves what stands there.
    ASSERT_TRUE(QDir(work_).mkdir("params.txt"));
    w_->bsave->click();
    ASSERT_EQ(dialogs_.size(), 2);
    EXPECT_EQ(dialogs_[1].Caption, "Ошибка");
    EXPECT_TRUE(dialogs_[1].Text.startsWith("Не удаётся записать файл «params.txt»"))
        << dialogs_[1].Text.toStdString();
    EXPECT_TRUE(QFileInfo(work_ + "/params.txt").isDir());
    EXPECT_EQ(QDir(work_).entryList(QDir::Files).filter("params").size(), 0) << "no temporary file left";
}

TEST_F(ParamWindowTest, OpensFromTheMenuAndEveryTextFits) {
    w_->hide();
    MainForm->N2->trigger();
    EXPECT_TRUE(w_->isVisible());
    EXPECT_EQ(w_->size(), QSize(666, 513));
    EXPECT_EQ(w_->windowTitle(), "Параметры ВЕСК");
    for (const char* name :
         {"MaskEdit1",  "Edit1",        "gbSS",         "cbRS",         "ComboBox2",    "ComboBox3",
          "ComboBox5",  "ComboBox6",    "cbNchInTest",  "CheckBox5",    "cbNchAutonom", "CheckBox3",
          "CheckBox4",  "CheckBox8",    "cbTestPsh",    "GroupNCH",     "MaskEdit2",    "SpeedButton1",
          "MaskEdit11", "MaskEdit5",    "MaskEdit10",   "MaskEdit4",    "SpeedButton2", "MvEdit0",
          "MvEdit5",    "SpeedButton3", "SpeedButton4", "SpeedButton5", "gbPSH_mv",     "tbPSH_MV",
          "sePSH_mv",   "cbPSH_off_mv", "gbPHS_gmv",    "tbPSH_GMV",    "sePSH_gmv",    "cbPSH_off_gmv",
          "bPshAuto",   "bsave",        "bUnSave",      "BitBtn1"})
        EXPECT_NE(w_->findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(w_->SpeedButton5->toolTip(), "Послать сообщение о номерах каналов МВ3");
    EXPECT_LE((w_->geometry().center() - MainForm->geometry().center()).manhattanLength(), 40)
        << "centred on the main window at its first show";
    w_->hide();
    w_->move(20, 30);
    w_->show();
    EXPECT_EQ(w_->pos(), QPoint(20, 30)) << "later shows keep where the operator put it";
    EXPECT_TRUE(w_->Edit1->isReadOnly());
    QStringList captions;
    for (const QLabel* l : w_->findChildren<QLabel*>())
        captions << l->text();
    for (const char* caption : {"Электромеханик :",
                                "Версия программы:",
                                "Тип радиостанции:",
                                "Служебное слово:",
                                "Группа частот для ТЕСТ3 в МВ",
                                "Канал дежурного приема ГМВ",
                                "Канал дежурного приема МВ",
                                "Нижний",
                                "Верхний",
                                "ГМВ:",
                                "МВ:",
                                "кГц",
                                "МВ1 ПРМ",
                                "МВ1 ПРД",
                                "МВ2 ПРМ",
                                "МВ2 ПРД",
                                "МВ3 ПРМ",
                                "МВ3 ПРД",
                                "0",
                                "255"})
        EXPECT_TRUE(captions.contains(caption)) << caption;
    w_->MaskEdit1->setText("123456789012");
    w_->Edit1->setText("12ABCD");
    w_->cbNchInTest->setChecked(true); // shows the radio group as well
    EXPECT_EQ(TextsThatDoNotFit(w_).join("\n").toStdString(), "");
    EXPECT_TRUE(w_->grab().save(QString(VESK_BINARY_DIR) + "/params-window.png"));
}

} // namespace
