#include "voice/TFCall.h"

#include "link/Builders.h"
#include "link/Sound.h"
#include "link/TraceRing.h"
#include "link/TxBuffer.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "state/LinkView.h"
#include "state/MainView.h"
#include "state/UVesk.h"
#include "voice/VoicePath.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

TFCall* FCall = nullptr;

namespace {
constexpr int ChartPoints = 1025;
constexpr int TalkLimitMs = 60000; // a press of push-to-talk lasts at most this long

QComboBox* MakeCombo(QWidget* parent, const char* name, const QStringList& items) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->addItems(items);
    c->setMinimumContentsLength(5);
    return c;
}

// Clears a flag when the scope ends, also when a send raises an error.
struct TFlagGuard {
    bool& flag;
    explicit TFlagGuard(bool& f) : flag(f) { flag = true; }
    ~TFlagGuard() { flag = false; }
};
} // namespace

TFCall::TFCall(QWidget* parent) : QDialog(parent) {
    setObjectName("FCall");
    setWindowTitle("Вызов ");
    setModal(true);

    Label2 = new QLabel("Канал:", this);
    Label2->setObjectName("Label2");
    cbDiap = MakeCombo(this, "cbDiap", {"ГМВ1", "ГМВ2", "МВ1", "МВ2", "МВ3"});
    cbDiapGMV = MakeCombo(this, "cbDiapGMV", {"ГМВ1", "ГМВ2"});
    cbDiapGMV->hide();
    cbDiapMV = MakeCombo(this, "cbDiapMV", {"МВ1", "МВ2", "МВ3"});
    cbDiapMV->hide();
    bCall = new QPushButton("Вызов", this);
    bCall->setObjectName("bCall");
    bCall->setProperty("tag", 0);
    bCall->setAutoDefault(false);
    sbTg = new QToolButton(this);
    sbTg->setObjectName("sbTg");
    sbTg->setText("Тангента (F2)");
    sbTg->setCheckable(true);
    sbTg->setMinimumHeight(bCall->sizeHint().height());

    auto* top = new QHBoxLayout;
    top->addWidget(Label2);
    top->addWidget(cbDiap);
    top->addWidget(cbDiapGMV);
    top->addWidget(cbDiapMV);
    top->addSpacing(12);
    top->addWidget(bCall);
    top->addWidget(sbTg);
    top->addStretch(1);

    Series1 = new QLineSeries;
    Series1->setObjectName("Series1");
    Series1->setPen(QPen(Qt::red, 1));
    Series1->setPointsVisible(false);
    auto* chart = new QChart;
    chart->setObjectName("Chart1Chart");
    chart->addSeries(Series1);
    chart->legend()->hide();
    chart->setTitle(QString());
    auto* x = new QValueAxis;
    x->setRange(0, ChartPoints - 1);
    x->setVisible(false);
    auto* y = new QValueAxis;
    y->setRange(0, 256);
    y->setLabelFormat("%d");
    y->setTickCount(5);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    Series1->attachAxis(x);
    Series1->attachAxis(y);
    chart->setMargins(QMargins(4, 4, 4, 4));
    Chart1 = new QChartView(chart, this);
    Chart1->setObjectName("Chart1");
    Chart1->setMinimumSize(460, 220);
    Chart1->setRenderHint(QPainter::Antialiasing, false);

    gbPSH = new QGroupBox("Регулировка ПШ ", this);
    gbPSH->setObjectName("gbPSH");
    tbPSH = new QSlider(Qt::Horizontal, gbPSH);
    tbPSH->setObjectName("tbPSH");
    tbPSH->setRange(0, 255);
    tbPSH->setValue(127);
    tbPSH->setTickInterval(10);
    tbPSH->setTickPosition(QSlider::TicksBelow);
    tbPSH->setPageStep(1);
    auto* low = new QLabel("0", gbPSH);
    auto* high = new QLabel("255", gbPSH);
    cbPSH_off = new QCheckBox("Отключить", gbPSH);
    cbPSH_off->setObjectName("cbPSH_off");
    auto* group = new QHBoxLayout(gbPSH);
    group->addWidget(low);
    group->addWidget(tbPSH, 1);
    group->addWidget(high);
    group->addSpacing(8);
    group->addWidget(cbPSH_off);
    sePSH = new QSpinBox(this);
    sePSH->setObjectName("sePSH");
    sePSH->setRange(0, 255);
    sePSH->setValue(127);
    if (auto* edit = sePSH->findChild<QLineEdit*>())
        edit->setReadOnly(true); // arrows only
    // A value is reported only when it changes, so that Enter in the box sends no frame.
    sePSH->setKeyboardTracking(false);
    CheckBox1 = new QCheckBox("Разрешить график", this);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setChecked(true);
    CheckBox1->resize(CheckBox1->sizeHint()); // hidden, but whole should it ever be shown
    CheckBox1->hide();

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(gbPSH, 1);
    bottom->addWidget(sePSH, 0, Qt::AlignBottom);
    lbMicrophone = new QLabel(this);
    lbMicrophone->setObjectName("lbMicrophone");
    lbMicrophone->setWordWrap(true);
    lbMicrophone->setStyleSheet("color: #c00000");
    lbMicrophone->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Chart1, 1);
    layout->addWidget(lbMicrophone);
    layout->addLayout(bottom);
    resize(560, 420);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(260);
    Timer1->setProperty("tag", 0);
    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(TalkLimitMs);
    Timer2->setTimerType(Qt::PreciseTimer); // a coarse one may end a press seconds late

    f2_ = new TPushKey(this, sbTg, Qt::Key_F2, [this] { sbTgClick(); });
    connect(bCall, &QPushButton::clicked, this, &TFCall::bCallClick);
    connect(sbTg, &QToolButton::clicked, this, &TFCall::sbTgClick);
    connect(Timer1, &QTimer::timeout, this, &TFCall::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &TFCall::Timer2Timer);
    connect(tbPSH, &QSlider::valueChanged, this, &TFCall::tbPSHChange);
    connect(sePSH, &QSpinBox::valueChanged, this, &TFCall::sePSHChange);
    connect(cbPSH_off, &QCheckBox::toggled, this, &TFCall::cbPSH_offClick);
    for (QComboBox* c : {cbDiap, cbDiapGMV, cbDiapMV})
        connect(c, &QComboBox::activated, this, [this, c] { cbDiapChange(c); });
    // Key preview: F2 reaches the window whichever control has the focus.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    // FormCreate.
    CreateSoundDevices();
    for (TPshSetting& p : PshSettings)
        p = TPshSetting{127, false};
    Timer1->start();
}

TFCall::~TFCall() {
    DestroySoundDevices();
}

// ---------------------------------------------------------------------------------------
// Call and push-to-talk

void TFCall::bCallClick() {
    SendCall(bCall->property("tag").toInt());
}

void TFCall::sbTgClick() {
    if (inSequence_) {
        // A release while the press waits its 200 ms ends the press at once: the rest of the
        // press is dropped and the release goes out now, even when the wait is held up by a
        // box opened inside it. Any other change waits for the running sequence to end.
        if (pressWaiting_ && !sbTg->isChecked()) {
            pressWaiting_ = false;
            ReleaseSequence();
        }
        return;
    }
    TFlagGuard running(inSequence_);
    while (sbTg->isChecked() != talking_) {
        if (!sbTg->isChecked())
            ReleaseSequence();
        else
            PressSequence();
    }
}

void TFCall::PressSequence() {
    talking_ = true;
    for (QWidget* w : {static_cast<QWidget*>(gbPSH), static_cast<QWidget*>(tbPSH),
                       static_cast<QWidget*>(sePSH), static_cast<QWidget*>(cbPSH_off)})
        w->setEnabled(false);
    QString saveError;
    if (SoundFlags & SoundReceiving) {
        if (SoundMode == 1) {
            // The device's sound is being saved: what waits goes into the file first.
            try {
                FinishSoundSave();
            } catch (const std::exception& e) {
                saveError = ExceptionText(e);
            }
        }
        ::StopVoicePlayback();
    }
    SendCmd(0xD3);
    SendCmd(0xD3);
    {
        TFlagGuard waiting(pressWaiting_);
        const qint64 until = Clock().MonotonicMs() + 200;
        while (pressWaiting_ && Clock().MonotonicMs() < until)
            Delay(10);
        if (!pressWaiting_) {
            if (!saveError.isEmpty())
                ShowError(saveError, this);
            return; // released meanwhile: the release has gone out, the press goes no further
        }
    }
    SendCmdSnd(0);
    SoundFlags = SoundSending;
    SetChartTitle("Микрофон");
    talkEndsAt_ = Clock().MonotonicMs() + TalkLimitMs;
    Timer2->start(TalkLimitMs);
    // A recorder that cannot be opened has told the operator why once; the press goes on
    // silent, and the window says so for as long as the microphone does not work.
    micOn_ = true;
    const bool recording = Recorder->Open(8, 8000) && Recorder->Start();
    ShowMicrophone(recording ? QString() : Recorder->LastError());
    if (!saveError.isEmpty())
        ShowError(saveError, this);
}

void TFCall::ShowMicrophone(const QString& error) {
    QString text;
    if (!error.isEmpty())
        text = QStringLiteral("Микрофон не работает, звук в вызов не передаётся. ") +
               QString(error).remove(QLatin1Char('\r'));
    if (text == lbMicrophone->text())
        return;
    lbMicrophone->setText(text);
    lbMicrophone->setToolTip(text);
    lbMicrophone->setVisible(!text.isEmpty());
}

void TFCall::ReleaseSequence() {
    if (micOn_ && !Recorder->Recording)
        ShowMicrophone(Recorder->LastError()); // lost while talking
    talking_ = false;
    micOn_ = false;
    Timer2->stop();
    Recorder->Stop();
    Delay(10);
    for (QWidget* w :
         {static_cast<QWidget*>(gbPSH), static_cast<QWidget*>(tbPSH), static_cast<QWidget*>(sePSH)})
        w->setEnabled(true);
    SendCmdSnd(15);
    SendCmdSnd(15);
    SendCmd(0xD4);
    SetChartTitle(QString());
    SoundFlags &= ~SoundSending;
    cbPSH_off->setEnabled(true);
}

void TFCall::Timer2Timer() {
    if (!sbTg->isChecked())
        return;
    // The limit is kept on the program's clock; a timer that comes due before waits the rest.
    const qint64 left = talkEndsAt_ - Clock().MonotonicMs();
    if (left > 0) {
        Timer2->start(int(std::min<qint64>(left, TalkLimitMs)));
        return;
    }
    sbTg->setChecked(false);
    sbTgClick();
}

bool TFCall::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() != Qt::Key_F2)
            return QDialog::eventFilter(watched, e);
        // F2 talks while held; its auto-repeat does nothing more, also where it comes as
        // release/press pairs.
        if (k->isAutoRepeat())
            return true;
        if (e->type() == QEvent::KeyRelease)
            f2_->Release();
        else
            f2_->Press();
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

void TFCall::done(int r) {
    if (isVisible())
        FormClose();
    QDialog::done(r);
}

void TFCall::FormClose() {
    f2_->Cancel();
    if (sbTg->isChecked()) {
        sbTg->setChecked(false);
        sbTgClick();
    }
    if (SoundFlags & SoundReceiving)
        ::StopVoicePlayback();
    SendReset();
}

void TFCall::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    ShowPshs();
}

// ---------------------------------------------------------------------------------------
// Monitor chart

void TFCall::SetChartTitle(const QString& title) {
    Chart1->chart()->setTitle(title);
}

QString TFCall::ChartTitle() const {
    return Chart1->chart()->title();
}

void TFCall::PaintSeries() {
    Series1->replace(points_);
}

void TFCall::Timer1Timer() {
    if (!isVisible())
        return;
    if (micOn_ && !Recorder->Recording)
        ShowMicrophone(Recorder->LastError()); // lost while talking
    if (points_.isEmpty()) {
        points_.reserve(ChartPoints);
        for (int i = 0; i < ChartPoints; ++i)
            points_.append(QPointF(i, 128));
        PaintSeries();
    }
    if (!(SoundFlags & (SoundSending | SoundReceiving))) {
        bool flat = true;
        for (QPointF& p : points_) {
            flat = flat && p.y() == 128;
            p.setY(128);
        }
        if (!flat || Series1->count() != ChartPoints)
            PaintSeries();
    }
    if (SoundFlags & SoundSending)
        TraceRing(TxTraceRing);
    else if (SoundFlags & SoundReceiving)
        TraceRing(RxTraceRing);
    else
        Timer1->setProperty("tag", 2);
}

void TFCall::TraceRing(const TTraceRing& ring) {
    const int tag = Timer1->property("tag").toInt();
    if (tag > 0) {
        // The first ticks after an idle one let the ring fill with fresh bytes.
        Timer1->setProperty("tag", tag - 1);
        return;
    }
    const QByteArray bytes = TraceSnapshot(ring);
    const int n = std::min<int>(int(bytes.size()), ChartPoints);
    for (int i = 0; i < n; ++i)
        points_[i].setY(uint8_t(bytes[i]));
    PaintSeries();
}

// ---------------------------------------------------------------------------------------
// Squelch

int TFCall::TakeDiapPSH() const {
    // The single-band lists offer one band only; cbDiap's first two items are ГМВ.
    if (!cbDiapMV->isHidden())
        return 1;
    if (!cbDiapGMV->isHidden())
        return 0;
    return cbDiap->currentIndex() < 2 ? 0 : 1;
}

void TFCall::TakeParamPSH() {
    TPshSetting& p = PshSettings[TakeDiapPSH()];
    p.Level = sePSH->value();
    p.Off = cbPSH_off->isChecked();
}

void TFCall::SendPSH(uint8_t Band) {
    SendPsh(Band);
}

void TFCall::ShowPshs() {
    const TPshSetting& p = PshSettings[TakeDiapPSH()];
    PshUiReady = false;
    tbPSH->setValue(p.Level);
    sePSH->setValue(tbPSH->value());
    cbPSH_off->setChecked(p.Off);
    PshUiReady = true;
}

void TFCall::BandsChanged() {
    if (isVisible()) {
        QComboBox* shown = !cbDiapGMV->isHidden() ? cbDiapGMV : !cbDiapMV->isHidden() ? cbDiapMV : cbDiap;
        // The list keeps the channel in use when it offers it.
        const int first = shown == cbDiapMV ? 3 : 1;
        const int index = int(CurrentChannel) - first;
        if (index >= 0 && index < shown->count())
            shown->setCurrentIndex(index);
        MainView().ComboChange(shown);
    }
    ShowPshs();
}

void TFCall::tbPSHChange() {
    sePSH->setValue(tbPSH->value());
}

void TFCall::sePSHChange() {
    tbPSH->setValue(sePSH->value());
    if (!PshUiReady)
        return;
    TakeParamPSH();
    SendPSH(uint8_t(TakeDiapPSH()));
    LinkView().ParamsShowPSHs();
}

void TFCall::cbPSH_offClick() {
    if (!PshUiReady)
        return;
    TakeParamPSH();
    SendPSH(uint8_t(TakeDiapPSH()));
    LinkView().ParamsShowPSHs();
}

void TFCall::cbDiapChange(QComboBox* combo) {
    MainView().ComboChange(combo);
    ShowPshs();
}

// ---------------------------------------------------------------------------------------
// The live sound path by name

void TFCall::StartVoicePlayback() {
    ::StartVoicePlayback();
}

void TFCall::StopVoicePlayback() {
    StopPlayer();
}

void TFCall::PrimeVoicePlayback() {
    ::PrimeVoicePlayback();
}
