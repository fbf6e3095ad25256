// Test runs of the main window: the device self-test, test 1, tests 2 and 3, the results
// the device starts by itself, the hourly tests, technological mode 1 and the journal rows.
#include "app/Application.h"
#include "app/TGauge.h"
#include "app/TMainForm.h"
#include "link/Builders.h"
#include "link/Frame.h"
#include "link/FrameDecoder.h"
#include "link/LinkState.h"
#include "link/TxBuffer.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "runs/JournalWriters.h"
#include "runs/ResultRender.h"
#include "runs/TFTestDlg.h"
#include "runs/TestRun.h"
#include "runs/TestState.h"
#include "state/Options.h"
#include "state/UVesk.h"

#include <QAction>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>

Q_LOGGING_CATEGORY(lcTests, "vesk.tests")

namespace {

// The busy event closes the shown tests 2/3 result through the main window.
[[maybe_unused]] const bool closerInstalled = [] {
    SetResultPanelCloser([] {
        if (MainForm)
            MainForm->CloseRadioResultPanel();
    });
    return true;
}();

// A device-started result met during the end of another wait is looked at again this
// often until that wait is over.
constexpr int deferredResultMs = 100;

const QString fromPc = QStringLiteral("От ВЕСК");
const QString fromStation = QStringLiteral("От РВ");

void SetTextColor(QLabel* label, const QColor& color) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
}

// The panel button is a cancel button during a wait and an OK button after it. Its two icons
// are made once and kept with it: a standard icon is built anew from its files on every
// request, and a program left running would keep every one of them.
void SetAbortKind(QPushButton* b, bool abort) {
    const char* key = abort ? "abortIcon" : "okIcon";
    QVariant icon = b->property(key);
    if (!icon.isValid()) {
        icon = QVariant::fromValue(
            b->style()->standardIcon(abort ? QStyle::SP_DialogCancelButton : QStyle::SP_DialogOkButton));
        b->setProperty(key, icon);
    }
    b->setText(abort ? QStringLiteral("Отмена") : QStringLiteral("OK"));
    b->setIcon(icon.value<QIcon>());
}

// A wait ended because no line is open any more: the operator reads why on the test's status
// panel, and the panel's button only acknowledges.
void TellLinkLost(QPushButton* button) {
    if (MainForm)
        MainForm->SetStatusText(1, QStringLiteral("Тест прерван: связь со станцией потеряна"));
    if (button)
        SetAbortKind(button, false);
}

bool RefusedWhenBusy(QWidget* parent) {
    if (!TestRunBusy())
        return false;
    MessageDlg("Идёт тест или обрабатывается результат теста, запущенного станцией. Дождитесь его окончания.",
               TMsgDlgType::Warning, mbOK, parent);
    return true;
}

// A result that came while a wait was ending is handed to the next wait as one the
// station started; RunningTest stays set until that wait has taken it. A wait ended by the
// end of the run hands nothing to a wait: what it did not take is journalled as it came.
void HandOnQueuedResults() {
    RunningTest = uint8_t(NextQueuedTest(EndOfRunRequested()));
    if (RunningTest != 0)
        PostMainFormMessage(RunningTest == 1 ? WM_DEVICE_TEST1 : WM_DEVICE_TEST23);
}

// Fills and sends the one transmit buffer as one sender.
template <typename F> void SendCommand(F&& build) {
    TTxLock lock(TxMutex());
    TxBuffer.Len = 0;
    build();
    SendBuffer(TxBuffer, TxSent);
}

bool SelfTestPshBit() {
    return ConfigWord.size() >= 2 && (ConfigWord[1].unicode() & 1);
}
bool HourlySelfTestBit() {
    return ConfigWord.size() >= 3 && (ConfigWord[2].unicode() & 2);
}

} // namespace

// ---- Self-test -------------------------------------------------------------------------

void TMainForm::ITest1Click() {
    if (RefusedWhenBusy(this))
        return;
    try {
        ResultShown = false;
        VswrMv = VswrNotMeasured;
        VswrGmv = VswrNotMeasured;
        EnableTestControls(false);
        SendCommand([] {
            PutTestFrame(1);
            RunningTest = 1;
            ClearResultQueue(true);
        });
    } catch (const std::exception& e) {
        RunningTest = 0;
        EnableTestControls(true);
        ShowError(ExceptionText(e), this);
        return;
    }
    SelfTestRun();
}

void TMainForm::SelfTestRun() {
    TWaitGuard guard;
    bool found = false;
    try {
        TestWaiting = true;
        ClearMessageGrid();
        ClearMeasurements();
        LResult->clear();
        Panel6->hide();
        Panel5->hide();
        Panel4->show();
        SetAbortKind(BitBtn3, true);
        WaitPass(0);
        SetStatusText(1, "Начат " + DateTimeText(Clock().Now()));

        const int limit = SelfTestPshBit() ? 80 : 20;
        Gauge2->SetMaxValue(limit);
        Gauge2->SetProgress(0);
        RichEdit1->clear();
        LTest1->clear();
        LResult->clear();
        const TWaitClock clock;
        while (TestWaiting) {
            for (const TFoundResult& r : ScanResults(1)) {
                found = true;
                const bool norma = SelfTestNorma(r.Code);
                SetTextColor(LResult, norma ? ResultGreen : ResultRed);
                LResult->setText(norma ? "Тест ВЕСК:НОРМА" : "Тест ВЕСК:БРАК");
                LTest1->setText(r.Code);
                ShowSelfTestResult(r.Code, RichEdit1->document());
                WriteToTable1("Тест 1", r.Code, norma ? "Норма" : "Брак");
                SetAbortKind(BitBtn3, false);
                Gauge2->SetProgress(Gauge2->MaxValue());
                EnableTestControls(true);
            }
            // No line: what it brought is taken above, and nothing more can come.
            if (!LineOpen())
                break;
            if (Gauge2->Progress() < Gauge2->MaxValue())
                Gauge2->SetProgress(std::min(clock.ElapsedSeconds(), Gauge2->MaxValue()));
            WaitPass();
            if (Gauge2->Progress() >= Gauge2->MaxValue())
                break;
        }
        if (!found && TestWaiting && !LineOpen()) {
            TellLinkLost(BitBtn3);
        } else if (!found && TestWaiting) {
            SetTextColor(LResult, ResultRed);
            LResult->setText("Нет ответа ");
            ShowSelfTestResult("?", RichEdit1->document());
            WriteToTable1("Тест 1", "?", "Брак");
            SetAbortKind(BitBtn3, false);
        }
        WaitPass(0);
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), this);
    }
    HandOnQueuedResults();
    EnableTestControls(true);
}

void TMainForm::Test1() {
    // Another wait is in its last steps (its journal message may be open), start-up still
    // makes the windows, or a dialog of failures is about to open: the result is handled
    // once that is over (or open), never dropped with RunningTest left set.
    if (TestWaitRunning() || StartingUp() || NoticeDue()) {
        QTimer::singleShot(deferredResultMs, this, &TMainForm::Test1);
        return;
    }
    // Acted on only for the device's own self-test result, still waiting in the queue.
    if (RunningTest != 1 || !QueueHoldsResult(1)) {
        if (RunningTest == 1)
            RunningTest = 0; // nothing of it is left to wait for
        return;
    }
    ResultShown = false;
    SelfTestRun();
}

// ---- Tests 2 and 3 ---------------------------------------------------------------------

void TMainForm::ITest2Click() {
    StartRadioTest(2);
}

void TMainForm::ITest3Click() {
    StartRadioTest(3);
}

void TMainForm::StartRadioTest(int test) {
    if (RefusedWhenBusy(this))
        return;
    ClearMessageGrid();
    ClearMeasurements();
    SelectedTest = test;
    ResultShown = false;
    if (ShowTestDialog())
        TestBegin();
}

bool TMainForm::ShowTestDialog() {
    if (!FTestDlg || FTestDlg->exec() != QDialog::Accepted)
        return false;
    ShowRadioPanel(FTestDlg->RadioGroup1->currentIndex() != 1);
    return true;
}

void TMainForm::ShowRadioPanel(bool byTrain) {
    Label20->clear();
    Label21->setText("Результат теста:");
    Panel5->show();
    Panel4->hide();
    Panel6->hide();
    Label19->setText(QString("Тест %1 : результаты тестирования").arg(SelectedTest));
    Label22->setText(byTrain ? "№ поезда: " + TrainNumber : QString());
    Label23->setText(byTrain ? QString() : "№ локомотива: " + LocoNumber);
}

void TMainForm::TestBegin(int numberKind) {
    // A device-started result may have come in while the dialog was open.
    if (RefusedWhenBusy(this))
        return;
    const bool byTrain =
        numberKind >= 0 ? numberKind == 0 : (FTestDlg && FTestDlg->RadioGroup1->currentIndex() == 0);
    try {
        RunningTest = uint8_t(std::clamp(SelectedTest, 2, 3));
        ClearResultQueue(true);
        ResultShown = false;
        EnableTestControls(false);
        SendCommand([byTrain] {
            PutChannelByte();
            NumberIsTrain = byTrain;
            if (byTrain)
                PutTrainFrame();
            else
                PutLocoFrame();
            PutTestFrame(RunningTest);
        });
    } catch (const std::exception& e) {
        RunningTest = 0;
        EnableTestControls(true);
        ShowError(ExceptionText(e), this);
        return;
    }
    TestDirection = fromPc;
    TestRun23();
}

void TMainForm::TestRun23() {
    TWaitGuard guard;
    try {
        TestWaiting = true;
        int answers = 0;
        const int test = RunningTest;
        const QString eventText = QString("Тест %1").arg(test);
        SetAbortKind(BitBtn4, true);
        SetStatusText(1, "Начат " + DateTimeText(Clock().Now()));

        const int limit = TestTimeout[std::clamp(test, 1, 4)];
        Gauge3->SetMaxValue(limit);
        Gauge3->SetProgress(0);
        Gauge3->show();
        RichEdit2->clear();
        const TWaitClock clock;
        EndWaitRequest = false;
        while (TestWaiting) {
            for (const TFoundResult& r : ScanResults(test)) {
                const TResultContext& result = ResultContexts[r.Index];
                ++answers;
                Label21->setText("Результат теста: " + r.Code);
                QString hex;
                const bool norma = RadioTestNorma(test, r.Code, &hex);
                LastResultHex = hex;
                SetTextColor(Label20, norma ? ResultGreen : ResultRed);
                Label20->setText(QString("Тест%1:%2").arg(test).arg(norma ? "НОРМА" : "БРАК"));
                // A panel the busy event hid during the wait shows the answer again.
                Panel4->hide();
                Panel6->hide();
                Panel5->show();
                ShowRadioTestResult(test, r.Code, ConfigWord, RichEdit2->document());
                SetAbortKind(BitBtn4, false);
                if (TestDirection == fromStation)
                    ShowStationNumbers(result);
                FlushBlockNumDigits(result);
                WriteToTable2(eventText, r.Code, norma ? "Норма" : "Брак", TestDirection, &result);
                AddMessageRow(QString(52, u'*'), false);
            }
            // No line: what it brought is taken above, and nothing more can come.
            if (!LineOpen())
                break;
            int elapsed = clock.ElapsedSeconds();
            if (answers >= 1 || EndWaitRequest)
                elapsed = limit;
            Gauge3->SetProgress(std::min(elapsed, limit));
            WaitPass();
            if (elapsed >= limit)
                break;
        }
        WaitPass(0);
        if (answers == 0 && TestWaiting && !LineOpen()) {
            TellLinkLost(BitBtn4);
        } else if (answers == 0 && TestWaiting) {
            SetTextColor(Label20, ResultRed);
            Label20->setText("Нет ответа");
            ShowRadioTestResult(test, "?", ConfigWord, RichEdit2->document());
            SetAbortKind(BitBtn4, false);
            WriteToTable2(eventText, "?", "Брак", TestDirection);
        }
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), this);
    }
    EnableTestControls(true);
    HandOnQueuedResults();
}

void TMainForm::ShowStationNumbers(const TResultContext& result) {
    Label22->setText("Номер поезда: " +
                     (result.DeviceTrain == "0000" ? QString("XXXX") : result.DeviceTrain));
    Label23->setText("Номер локомотива: " + result.DeviceLoco);
}

void TMainForm::Test2() {
    if (TestWaitRunning() || StartingUp() || NoticeDue()) {
        QTimer::singleShot(deferredResultMs, this, &TMainForm::Test2);
        return;
    }
    // Acted on only for the device's own tests 2/3 result, still waiting in the queue.
    if ((RunningTest != 2 && RunningTest != 3) || !QueueHoldsResult(RunningTest)) {
        if (RunningTest == 2 || RunningTest == 3)
            RunningTest = 0;
        return;
    }
    ResultShown = false;
    Panel6->hide();
    Panel4->hide();
    Panel5->show();
    Label19->setText(QString("Тест %1").arg(RunningTest));
    ShowStationNumbers(*QueuedResultContext(RunningTest));
    TestDirection = fromStation;
    TestRun23();
}

void TMainForm::CloseRadioResultPanel() {
    if (TestWaitRunning()) {
        // The busy event never ends a wait: the tests 2/3 panel only steps aside, and the
        // panel of a self-test or test 1 wait stays where the operator needs it.
        if (!Panel5->isHidden()) {
            Panel5->hide();
            Panel6->show();
        }
        return;
    }
    BitBtn4Click();
}

// ---- Test 1 ----------------------------------------------------------------------------

void TMainForm::ToolButton1Click() {
    if (RefusedWhenBusy(this))
        return;
    ClearMessageGrid();
    ClearMeasurements();
    SelectedTest = 1;
    ResultShown = false;
    if (ShowTest1Dialog())
        TestBegin1();
}

bool TMainForm::ShowTest1Dialog() {
    if (!FTestDlg)
        return false;
    FTestDlg->RadioGroup1->setCurrentIndex(1);
    FTestDlg->RadioGroup1->setEnabled(false);
    if (FTestDlg->exec() != QDialog::Accepted)
        return false;
    Label25->setText("Тестирование РВ по тесту 1");
    Panel6->show();
    Panel4->hide();
    Panel5->hide();
    Label27->setText("№ локомотива: " + LocoNumber);
    Label27->show();
    Gauge4->show();
    return true;
}

void TMainForm::TestBegin1() {
    if (RefusedWhenBusy(this))
        return;
    TWaitGuard guard;
    constexpr int limit = 70;
    try {
        RunningTest = 1;
        ClearResultQueue(true);
        EnableTestControls(false);
        SendCommand([] {
            PutChannelByte();
            NumberIsTrain = false;
            PutLocoFrame();
            PutTestFrame(6);
        });
        Gauge4->SetMaxValue(limit);
        Gauge4->SetProgress(0);
        Gauge4->show();
        BitBtn5->show();
        TestWaiting = true;
        const TWaitClock clock;
        for (;;) {
            int progress = clock.ElapsedSeconds();
            if (EndWaitRequest) {
                EndWaitRequest = false;
                progress = 3 * TestTimeout[1];
            }
            if (!TestWaiting || !LineOpen())
                progress = limit;
            Gauge4->SetProgress(std::min(progress, limit));
            WaitPass();
            if (progress >= limit)
                break;
        }
        BitBtn5->hide();
        Gauge4->hide();
        Label27->hide();
        Label25->setText("Результаты тестирования");
        if (TestWaiting && !LineOpen())
            TellLinkLost(nullptr);
        SendCommand([] { PutTxByte(0xD0); });
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), this);
    }
    EnableTestControls(true);
    ClearMessageGrid();
    RunningTest = 0;
}

// ---- Panel buttons ---------------------------------------------------------------------

void TMainForm::BitBtn3Click() {
    TestWaiting = false;
    Panel4->hide();
    Panel5->hide();
    Panel6->show();
    WaitPass(0);
}

void TMainForm::BitBtn4Click() {
    TestWaiting = false;
    ResultShown = false;
    Panel5->hide();
    Panel4->hide();
    Panel6->show();
    WaitPass(0);
    ClearMeasurements();
    ClearMessageGrid();
    SetStatusText(1, QString());
}

void TMainForm::BitBtn5Click() {
    TestWaiting = false;
    SetStatusText(1, QString());
}

// ---- Hourly tests and technological mode 1 ---------------------------------------------

void TMainForm::Timer1Timer() {
    Timer1->stop();
    const bool item2 = mPeriodicTest2->isEnabled() && mPeriodicTest2->isChecked();
    const bool item3 = mPeriodicTest3->isEnabled() && mPeriodicTest3->isChecked();
    if (!HourlySelfTestBit() && !item2 && !item3) {
        Timer1->start();
        return;
    }
    // A test that runs, or a device result waiting for its handler, counts as busy.
    if (!ITest->menuAction()->isEnabled() || TestRunBusy()) {
        Timer1->setInterval(20000);
        Timer1->start();
        return;
    }
    Timer1->setInterval(3600000);
    const bool ticked2 = mPeriodicTest2->isChecked();
    const bool ticked3 = mPeriodicTest3->isChecked();
    if (ticked2)
        SelectedTest = 2;
    if (ticked3)
        SelectedTest = 3;
    if (ticked2 || ticked3) {
        ClearMessageGrid();
        ClearMeasurements();
        if (PeriodicTrain.isEmpty() && PeriodicLoco.isEmpty()) {
            if (!ShowTestDialog())
                return; // the timer stays off until an item is clicked again
            PeriodicByTrain = FTestDlg->RadioGroup1->currentIndex() == 0;
            PeriodicTrain = TrainNumber;
            PeriodicLoco = LocoNumber;
            PeriodicChannel = CurrentChannel;
        }
        CurrentChannel = PeriodicChannel;
        LocoNumber = PeriodicLoco;
        TrainNumber = PeriodicTrain;
        ShowRadioPanel(PeriodicByTrain);
        ResultShown = false;
        TestBegin(PeriodicByTrain ? 0 : 1);
    }
    if (HourlySelfTestBit())
        ITest1Click();
    Timer1->start();
}

void TMainForm::mPeriodicTest2Click() {
    if (mPeriodicTest2->isChecked())
        mPeriodicTest3->setChecked(false);
    Timer1->setInterval(1000);
    Timer1->start();
}

void TMainForm::mPeriodicTest3Click() {
    if (mPeriodicTest3->isChecked())
        mPeriodicTest2->setChecked(false);
    Timer1->setInterval(1000);
    Timer1->start();
}

void TMainForm::N9Click() {
    if (Panel4->isHidden())
        ResetResultPanel();
    ClearMessageGrid();
    ClearMeasurements();
    try {
        SendCommand([] { PutTestFrame(5); });
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), this);
    }
    LLIU->hide();
    ELIU->hide();
    Label25->setText("Технологический режим 1: измерение девиации");
}

// ---- Journal ---------------------------------------------------------------------------

void TMainForm::WriteToTable1(const QString& event, const QString& code, const QString& word) {
    ReportJournalFailure(Tests1FileName, AppendTests1Row(JournalFolder(), event, code, word), event, code);
}

void TMainForm::WriteToTable2(const QString& event, const QString& code, const QString& word,
                              const QString& direction, const TResultContext* result) {
    const TJournalWrite write = AppendTest23Row(JournalFolder(), event, code, word, direction, result);
    // A result took its session's tone flags when it arrived; the no-answer row ends the
    // session here.
    if (!result)
        ResetToneFlags();
    ReportJournalFailure(Test23FileName, write, event, code);
}
