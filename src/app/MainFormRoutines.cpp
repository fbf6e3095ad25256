// State routines and simple menu commands of the main window.
#include "app/TAboutBox.h"
#include "app/TGauge.h"
#include "app/TMainForm.h"
#include "app/TMessageGrid.h"
#include "app/TShape.h"
#include "journal/TFDB.h"
#include "journal/TFDB23.h"
#include "journal/TFDBRV.h"
#include "journal/TfBlockNum.h"
#include "link/LinkState.h"
#include "link/RxPump.h"
#include "link/Transport.h"
#include "params/TFParam.h"
#include "params/TFSPC.h"
#include "params/TfAnsu.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/HelpFile.h"
#include "state/UVesk.h"
#include "voice/TFCall.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <cmath>

namespace {
constexpr int MessageColumn = 2;
} // namespace

void TMainForm::AddMessageRow(const QString& text, bool withChannel) {
    if (text.isEmpty())
        return;
    const QTime now = Clock().TimeOfDay();
    // Age of the last row, across midnight when the clock has wrapped.
    qint64 s = std::llround(LastMessageTime.isValid() ? LastMessageTime.msecsTo(now) / 1000.0
                                                      : QTime(0, 0).msecsTo(now) / 1000.0);
    if (s < 0)
        s += 86400;
    if ((s > 60 && MessageCount > 200) || MessageCount > 1000)
        ClearMessageGrid();
    LastMessageTime = now;
    if (StringGrid1->rowCount() - 1 <= MessageCount)
        StringGrid1->setRowCount(StringGrid1->rowCount() + 5);
    ++MessageCount;
    // The grid shows the new row, its message highlighted, at its next frame.
    StringGrid1->setCurrentCell(MessageCount, MessageColumn);
    StringGrid1->setCellText(MessageCount, 0, QString::number(MessageCount));
    StringGrid1->setCellText(MessageCount, 1, withChannel ? ChannelName(CurrentChannel) : QString());
    StringGrid1->setCellText(MessageCount, MessageColumn, text);
}

void TMainForm::ClearMessageGrid() {
    QMutexLocker lock(RxLock);
    for (int r = 1; r <= MessageCount && r < StringGrid1->rowCount(); ++r)
        for (int c = 0; c < 3; ++c)
            StringGrid1->setCellText(r, c, QString());
    StringGrid1->setCurrentCell(1, MessageColumn);
    MessageCount = 0;
    StringGrid1->setRowCount(20);
}

void TMainForm::UpdateServiceMenus(bool flag) {
    const bool ok = flag && !MechanicNumber.isEmpty() && MechanicNumber == ServiceAccessCode;
    for (QAction* a : {N31, N6, mAnsu, N12, mPeriodicTest2, mPeriodicTest3})
        a->setEnabled(ok);
    mPeriodicTest2->setVisible(ok);
    mPeriodicTest3->setVisible(ok);
}

void TMainForm::EnableTestControls(bool flag) {
    // The station's busy and free bytes may alternate all through a delivery of received
    // bytes: the controls go off at once, so that no command starts once the station is
    // busy, and on at the delivery's end, so that each changes only when its state does.
    testControlsOn_ = flag;
    if (flag && DeliveringBytes()) {
        if (!testControlsWaiting_) {
            testControlsWaiting_ = true;
            AfterDelivery([form = QPointer<TMainForm>(this)] {
                if (form) {
                    form->testControlsWaiting_ = false;
                    form->applyTestControls(form->testControlsOn_);
                }
            });
        }
        return;
    }
    applyTestControls(flag);
}

void TMainForm::applyTestControls(bool flag) {
    // Without an open line (lost, closed by the operator, never opened) the commands that
    // send to the station stay off, and the port menu on, until a port or connection is
    // opened: a test sent over no line would wait for an answer that cannot come and then
    // journal the radio as faulty.
    const bool line = LineOpen();
    setMenuEnabled(IPort, flag || !line);
    for (QMenu* m : {IVesk, ITest})
        setMenuEnabled(m, flag && line);
    const auto actions = ToolBar1->actions();
    for (int i = 0; i <= 5 && i < actions.size(); ++i)
        actions[i]->setEnabled(flag && line);
    N9->setEnabled(flag && line);
    UpdateServiceMenus(flag);
}

void TMainForm::EnableLinkMenus(bool flag) {
    setMenuEnabled(IPort, true);
    for (QMenu* m : {IVesk, ITest, N5})
        setMenuEnabled(m, flag);
    const auto actions = ToolBar1->actions();
    for (int i = 0; i <= 7 && i < actions.size(); ++i)
        actions[i]->setEnabled(flag);
}

void TMainForm::ResetResultPanel() {
    if (Label25->text() != "Результаты тестирования") {
        Label25->setText("Результаты тестирования");
        ELIU->hide();
        LLIU->hide();
    }
    BitBtn5->hide();
    LBadSch_MW->hide();
    LBadUM_MW->hide();
    LBadUM_GMW->hide();
}

void TMainForm::ClearMeasurements() {
    for (QLineEdit* e : {ELevm, ELevg, Edit2, Edit3})
        e->clear();
    for (auto& d : MeasuredDeviation)
        d = "00";
    ResetFlagPairs();
}

void TMainForm::Err_kan(uint8_t kan, int kind) {
    if (kan < 1 || kan > 3 || kind < 1 || kind > 2)
        return;
    DataErrorFlags |= 1u << (2 * kan + (kind - 1));
}

void TMainForm::IResetClick() {
    DataErrorFlags = 0;
    LDataErr->hide();
    Gauge2->SetProgress(0);
    Gauge3->SetProgress(0);
    Gauge4->SetProgress(0);
    ClearMessageGrid();
    ClearMeasurements();
    EnableTestControls(true);
    SendReset();
    SetStatusText(1, QString());
    TestWaiting = false;
    shPusk->SetBrushColor(Qt::red);
}

void TMainForm::N2Click() {
    const bool wasEnabled = Timer1->isActive();
    Timer1->stop();
    FParam->show();
    const ushort third = ConfigWord.size() >= 3 ? ConfigWord.at(2).unicode() : 0;
    if (third & 2) {
        if (!wasEnabled)
            Timer1->setInterval(1500);
        Timer1->start();
    }
}

void TMainForm::ICall1Click(QObject* sender) {
    LBadUM_MW->hide();
    LBadUM_GMW->hide();
    FCall->cbDiap->setCurrentIndex(int(CurrentChannel) - 1);
    const int tag = sender ? sender->property("tag").toInt() : 0;
    FCall->bCall->setProperty("tag", tag);
    FCall->setWindowTitle(tag == 0 ? "Вызов ТЧМ" : "Вызов ДСП");
    FCall->exec();
}

void TMainForm::ComboChange(QObject* sender) {
    auto* combo = qobject_cast<QComboBox*>(sender);
    if (!combo)
        throw EVeskError("Неверный источник выбора канала");
    eRange->setText(combo->currentText());
    const int i = combo->findText(combo->currentText());
    int channel = (combo == FCall->cbDiapMV) ? i + 3 : i + 1;
    if (fAnsu->isVisible())
        channel = i;
    if (channel < 0 || channel > 255)
        throw ERangeError("Номер канала вне допустимого диапазона");
    CurrentChannel = uint8_t(channel);
}

void TMainForm::ToolButton10Click() {
    FDB->show(); // one already on screen only comes to the front
    FDB->raise();
    FDB->activateWindow();
}

void TMainForm::ToolButton11Click() {
    FDB23->show();
    FDB23->raise();
    FDB23->activateWindow();
}

void TMainForm::iBlockNumClick() {
    fBlockNum->show();
}

void TMainForm::mAnsuClick() {
    fAnsu->exec();
}

void TMainForm::N31Click() {
    if (!MechanicNumber.isEmpty() && MechanicNumber == ServiceAccessCode)
        FSPC->exec();
    else
        MessageDlg("У Вас нет разрешения на выполнение этого режима", TMsgDlgType::Warning, mbCancel, this);
}

void TMainForm::N4Click() {
    AboutBox->exec();
}

void TMainForm::N3Click() {
    OpenHelpFile("Vesk_Help.hlp");
}

void TMainForm::BitBtn1Click() {
    ClearMessageGrid();
}

void TMainForm::BitBtn2Click() {
    ClearMeasurements();
}

void TMainForm::N12Click() {
    FDBRV->exec();
}
