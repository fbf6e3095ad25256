#pragma once
// Voice call window (instance FCall): channel, call, push-to-talk, the monitor chart of
// the sound going out or coming in, and the squelch of the channel's band.

#include "platform/KeyRelease.h"

#include <QDialog>
#include <QList>
#include <QPointF>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineSeries;
class QChartView;
class QPushButton;
class QSlider;
class QSpinBox;
class QTimer;
class QToolButton;
struct TTraceRing;

/// Created once at start-up, opened modal by the call commands; creates the sound devices
/// of the live path for the whole run.
class TFCall : public QDialog {
    Q_OBJECT
public:
    explicit TFCall(QWidget* parent = nullptr);
    ~TFCall() override;

    QLabel* Label2;
    QComboBox* cbDiap;    // "ГМВ1", "ГМВ2", "МВ1", "МВ2", "МВ3" (channels 1-5)
    QComboBox* cbDiapGMV; // shown in place of cbDiap while the МВ band is blocked
    QComboBox* cbDiapMV;  // shown in place of cbDiap while the ГМВ band is blocked
    QPushButton* bCall;   // its "tag" property: 0 ТЧМ call, 1 ДСП call
    QToolButton* sbTg;    // push-to-talk, toggling
    QChartView* Chart1;
    QLineSeries* Series1;
    QGroupBox* gbPSH;
    QSlider* tbPSH;
    QCheckBox* cbPSH_off;
    QSpinBox* sePSH;
    QCheckBox* CheckBox1; // "Разрешить график", hidden, takes no part
    QTimer* Timer1;       // 260 ms monitor chart; its "tag" counts ticks to skip
    QTimer* Timer2;       // 60 s push-to-talk limit
    QLabel* lbMicrophone; // why the microphone gives no sound; hidden while it works

    void bCallClick();
    /// Brings the line to the button: the press sequence when sbTg is down, the release
    /// sequence when it is up. A release during the press's wait runs at once and ends the
    /// press; any other change during a sequence's wait is taken once that sequence has
    /// ended, so the line always sees press and release in turn.
    void sbTgClick();
    void Timer1Timer();
    /// Ends a press once 60 s have passed on Clock() since it began.
    void Timer2Timer();
    /// 0 ГМВ, 1 МВ: the band of the channel list that is shown.
    int TakeDiapPSH() const;
    void TakeParamPSH();
    /// Sends the squelch frame of Band (0 ГМВ, 1 МВ) from PshSettings; the one sender of that
    /// frame for this window and the parameters window.
    void SendPSH(uint8_t Band);
    void tbPSHChange();
    void sePSHChange();
    void cbPSH_offClick();
    void cbDiapChange(QComboBox* combo);
    void SetChartTitle(const QString& title);
    QString ChartTitle() const;

public slots:
    /// Shows PshSettings of the window's band; sends nothing.
    void ShowPshs();
    /// The channel lists offered have changed (a band blocked or freed): with the window
    /// open the current channel becomes the one shown, and the squelch controls show its band.
    void BandsChanged();
    // The live sound path, reached by name from the link's view.
    void StartVoicePlayback();
    void StopVoicePlayback();
    void PrimeVoicePlayback();

protected:
    void done(int r) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void FormClose();
    /// A release during its wait ends it there (the release runs at once).
    void PressSequence();
    void ReleaseSequence();
    /// The line under the chart: an empty error hides it.
    void ShowMicrophone(const QString& error);
    void TraceRing(const TTraceRing& ring);
    void PaintSeries();

    bool talking_ = false;      // the press sequence has begun and no release has followed
    bool inSequence_ = false;   // a press or release sequence is running (its waits pump events)
    bool pressWaiting_ = false; // the press sequence waits its 200 ms
    bool micOn_ = false;        // the press has asked the recorder to run
    qint64 talkEndsAt_ = 0;     // on Clock(): when the running press reaches the 60 s limit
    TPushKey* f2_ = nullptr;    // F2 works sbTg; its releases are held back to tell a repeat
    QList<QPointF> points_;
};

extern TFCall* FCall;
