// The windows' side of the link: what the decoders change on the main window and on the
// parameters, voice call, special mode and test parameters windows. The parameters and
// special mode windows and the live sound path are called directly; controls of the other
// windows are found by their names, and their routines (ShowPshs) are called by name, so
// this file does not change when those windows grow.
#include "app/TGauge.h"
#include "app/TMainForm.h"
#include "app/TShape.h"
#include "link/Transport.h"
#include "params/TFParam.h"
#include "params/TFSPC.h"
#include "platform/FrameGate.h"
#include "runs/TFTestDlg.h"
#include "state/LinkView.h"
#include "voice/TFCall.h"
#include "voice/VoicePath.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTimer>

namespace {

void SetEditColour(QWidget* w, QPalette::ColorRole source) {
    if (!w)
        return;
    QPalette p = w->palette();
    p.setColor(QPalette::Base, QApplication::palette().color(source));
    w->setPalette(p);
}

template <typename T = QWidget> T* Child(QWidget* window, const char* name) {
    return window ? window->findChild<T*>(QLatin1String(name)) : nullptr;
}

void SetEnabled(QWidget* window, std::initializer_list<const char*> names, bool on) {
    for (const char* n : names)
        if (QWidget* w = Child(window, n))
            w->setEnabled(on);
}

// A line edit lays its text out again on every setText: the same text is left alone.
void SetEditText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text)
        edit->setText(text);
}

void SetShown(QWidget* window, const char* name, bool shown) {
    if (QWidget* w = Child(window, name))
        w->setVisible(shown);
}

// Calls a routine of a window when the window declares it (as a slot or invokable).
void Call(QObject* window, const char* routine) {
    if (window && window->metaObject()->indexOfMethod(QByteArray(routine) + "()") >= 0)
        QMetaObject::invokeMethod(window, routine, Qt::DirectConnection);
}

QColor LampColour(TLamp lamp) {
    switch (lamp) {
    case TLamp::Green:
        return QColor(0, 128, 0);
    case TLamp::Red:
        return QColor(255, 0, 0);
    case TLamp::White:
        break;
    }
    return QColor(255, 255, 255);
}

class TMainFormLinkView : public ILinkView {
    bool busy_ = false;
    QPointer<TFrameGate> busyGate_;
    QString channel_;
    QPointer<TFrameGate> channelGate_;
    bool writingChannel_ = false;

public:
    void SetDeviceBusy(bool busy) override {
        if (!MainForm)
            return;
        busy_ = busy;
        // Busy and free can alternate with every byte: the label follows once a frame.
        if (!busyGate_ || busyGate_->parent() != MainForm)
            busyGate_ = new TFrameGate([this] { showBusy(); }, MainForm);
        busyGate_->Request();
    }
    void showBusy() {
        QLabel* l = MainForm ? MainForm->Label7 : nullptr;
        const QString text = busy_ ? QStringLiteral("ВЕСК занят") : QStringLiteral("ВЕСК свободен");
        if (!l || (l->text() == text && !l->styleSheet().isEmpty()))
            return;
        l->setText(text);
        l->setStyleSheet(QStringLiteral("color: %1; background-color: #000000;")
                             .arg(busy_ ? QStringLiteral("#ffff00") : QStringLiteral("#00ff00")));
    }
    void SetChannelText(const QString& name) override {
        if (!MainForm)
            return;
        channel_ = name;
        // Channel events may come in bursts: the field follows once a frame. A text the
        // operator's channel choice writes meanwhile is newer and stays.
        if (!channelGate_ || channelGate_->parent() != MainForm) {
            channelGate_ = new TFrameGate([this] { showChannel(); }, MainForm);
            QObject::connect(MainForm->eRange, &QLineEdit::textChanged, channelGate_, [this] {
                if (!writingChannel_ && channelGate_)
                    channelGate_->Cancel();
            });
        }
        channelGate_->Request();
    }
    void showChannel() {
        if (!MainForm)
            return;
        writingChannel_ = true;
        SetEditText(MainForm->eRange, channel_);
        writingChannel_ = false;
    }
    void SetTransmitter(TBand band, bool on) override {
        if (MainForm)
            (band == TBand::Mv ? MainForm->Shape2 : MainForm->Shape3)
                ->SetBrushColor(on ? Qt::red : Qt::white);
    }
    QLabel* alarm(TAlarm a) const {
        switch (a) {
        case TAlarm::SchMv:
            return MainForm->LBadSch_MW;
        case TAlarm::UmMv:
            return MainForm->LBadUM_MW;
        case TAlarm::UmGmv:
            break;
        }
        return MainForm->LBadUM_GMW;
    }
    void ShowAlarm(TAlarm a, bool shown) override {
        if (MainForm)
            alarm(a)->setVisible(shown);
    }
    bool AmplifierAlarmShown() const override {
        return MainForm && (!MainForm->LBadUM_MW->isHidden() || !MainForm->LBadUM_GMW->isHidden());
    }
    void HideAmplifierAlarms() override {
        if (MainForm) {
            MainForm->LBadUM_MW->hide();
            MainForm->LBadUM_GMW->hide();
        }
    }
    void SetHeartbeat(int progress) override {
        if (!MainForm)
            return;
        MainForm->Gauge1->SetProgress(progress);
        MainForm->Gauge1->setProperty("tag", progress >= 100 ? -1
                                             : progress == 0 ? 1
                                                             : MainForm->Gauge1->property("tag"));
    }
    void SetWorking() override {
        if (MainForm)
            MainForm->shPusk->SetBrushColor(QColor(0, 128, 0));
    }
    void ShowStationUnknown() override {
        if (!MainForm)
            return;
        busy_ = false;
        showBusy(); // now: a busy state still waiting for the frame's end shows nothing newer
        for (TShape* lamp : {MainForm->shPusk, MainForm->Shape2, MainForm->Shape3})
            lamp->SetBrushColor(Qt::white);
    }
    void ShowDataError(bool shown) override {
        if (MainForm)
            MainForm->LDataErr->setVisible(shown);
    }
    void Beep() override { QApplication::beep(); }
    void SetStandbyChannels(QStringView mv, QStringView gmv) override {
        if (!MainForm)
            return;
        SetEditText(MainForm->Edit5, mv.toString());
        SetEditText(MainForm->Edit6, gmv.toString());
    }
    void SetGmvGrey(bool grey) override {
        if (!MainForm)
            return;
        for (QWidget* w : {static_cast<QWidget*>(MainForm->Edit6), static_cast<QWidget*>(MainForm->ELevg)})
            SetEditColour(w, grey ? QPalette::Button : QPalette::Base);
    }
    void ApplyMvBlock(bool blocked) override {
        if (MainForm) {
            SetEditColour(MainForm->Edit5, blocked ? QPalette::Button : QPalette::Base);
            for (QLineEdit* e : {MainForm->ELevm, MainForm->Edit2}) {
                SetEditColour(e, blocked ? QPalette::Button : QPalette::Base);
                e->setEnabled(!blocked);
            }
        }
        if (auto* box = Child<QCheckBox>(FParam, "CheckBox4")) {
            if (blocked)
                box->setChecked(false);
            box->setEnabled(!blocked);
        }
        SetEnabled(FParam,
                   {"MaskEdit4", "MaskEdit10", "MvEdit0", "MvEdit1", "MvEdit2", "MvEdit3", "MvEdit4",
                    "MvEdit5", "gbPSH_mv"},
                   !blocked);
        SetShown(FCall, "cbDiap", !blocked);
        SetShown(FCall, "cbDiapMV", false);
        SetShown(FCall, "cbDiapGMV", blocked);
        Call(FCall, "BandsChanged");
        SetShown(FTestDlg, "ComboBox1", !blocked);
        SetShown(FTestDlg, "ComboBoxMW", false);
        SetShown(FTestDlg, "ComboBoxGMW", blocked);
    }
    void ApplyGmvBlock(bool blocked) override {
        if (MainForm) {
            SetEditColour(MainForm->Edit6, blocked ? QPalette::Button : QPalette::Base);
            for (QLineEdit* e : {MainForm->ELevg, MainForm->Edit3}) {
                SetEditColour(e, blocked ? QPalette::Button : QPalette::Base);
                e->setEnabled(!blocked);
            }
        }
        if (auto* box = Child<QCheckBox>(FParam, "CheckBox3")) {
            if (blocked)
                box->setChecked(false);
            box->setEnabled(!blocked);
        }
        SetEnabled(FParam, {"MaskEdit5", "MaskEdit11", "gbPHS_gmv"}, !blocked);
        SetShown(FCall, "cbDiap", !blocked);
        SetShown(FCall, "cbDiapGMV", false);
        SetShown(FCall, "cbDiapMV", blocked);
        Call(FCall, "BandsChanged");
        SetShown(FTestDlg, "ComboBox1", !blocked);
        SetShown(FTestDlg, "ComboBoxGMW", false);
        SetShown(FTestDlg, "ComboBoxMW", blocked);
    }
    void SetDeviation(QStringView mv, QStringView gmv) override {
        if (!MainForm)
            return;
        SetEditText(MainForm->ELevm, mv.toString());
        SetEditText(MainForm->ELevg, gmv.toString());
    }
    void SetRssi(TBand band, QStringView text) override {
        if (MainForm)
            SetEditText(band == TBand::Mv ? MainForm->Edit2 : MainForm->Edit3, text.toString());
    }
    void ParamsFormShow() override {
        if (FParam)
            FParam->FormShow();
    }
    void ParamsShowPSHs() override {
        if (FParam)
            FParam->ShowPSHs();
    }
    void EnablePSH() override {
        if (FParam)
            FParam->EnablePSH();
    }
    void SetParamsConfigWord(const QString& word) override {
        if (FParam)
            SetEditText(FParam->MaskEdit2, word);
    }
    void SetParamsVersion(const QString& version) override {
        if (FParam)
            SetEditText(FParam->Edit1, version);
    }
    void CallShowPshs() override { Call(FCall, "ShowPshs"); }
    void SetCallChartTitle(const QString& title) override {
        if (auto* view = Child<QChartView>(FCall, "Chart1"); view && view->chart())
            view->chart()->setTitle(title);
        else if (FCall)
            if (auto* any = FCall->findChild<QChartView*>(); any && any->chart())
                any->chart()->setTitle(title);
    }
    void StartVoicePlayback() override { ::StartVoicePlayback(); }
    void StopVoicePlayback() override { StopPlayer(); }
    void PrimeVoicePlayback() override { ::PrimeVoicePlayback(); }
    void StartUploadTimer() override {
        if (!MainForm)
            return;
        MainForm->Timer2->setInterval(10);
        MainForm->Timer2->setProperty("tag", 1);
        MainForm->Timer2->start();
    }
    TShape* lamp(int which) const {
        return which == 0   ? MainForm->shStatMsg
               : which == 1 ? MainForm->shSaveSound
                            : MainForm->shUnSaveSound;
    }
    void SetSoundLamps(TLamp statMsg, TLamp saveSound, TLamp unSaveSound) override {
        SetSoundLamp(0, statMsg);
        SetSoundLamp(1, saveSound);
        SetSoundLamp(2, unSaveSound);
    }
    void SetSoundLamp(int which, TLamp colour) override {
        if (MainForm && which >= 0 && which <= 2)
            lamp(which)->SetBrushColor(LampColour(colour));
    }
    void ShowSpecialResult(int index, const QString& text) override {
        if (FSPC)
            FSPC->ShowResult(index, text);
    }
    void SetStatusText(int panel, const QString& text) override {
        if (MainForm)
            MainForm->SetStatusText(panel, text);
    }
    void SetPortCaption(const QString& caption) override {
        if (MainForm)
            MainForm->IPort->setTitle(caption);
    }
    void SetBusyCursor(bool busy) override {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return;
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else if (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }
    void OpenReceiveLog() override {
        if (MainForm)
            MainForm->bOpebFileInClick();
    }
    void CloseReceiveLog() override {
        if (MainForm)
            MainForm->bCloseFileInClick();
    }
};

} // namespace

void InstallLinkView() {
    static TMainFormLinkView view;
    SetLinkView(&view);
    // Sends follow the tick of the interface menu, however it gets set.
    if (MainForm) {
        TcpSelected = MainForm->iTCPselect->isChecked();
        QObject::connect(MainForm->iTCPselect, &QAction::toggled, MainForm,
                         [](bool on) { TcpSelected = on; });
    }
}
