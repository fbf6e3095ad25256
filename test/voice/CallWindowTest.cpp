// The voice call window and the sound-file transfer against the simulated station on the
// serial port, with fake sound devices and a driven clock.
#include "CallFixture.h"
#include "support/StalledLine.h"
#include "support/TestUtil.h"
#include "support/WindowCheck.h"

#include "app/Application.h"
#include "app/TMainForm.h"
#include "app/TShape.h"
#include "link/Receiver.h"
#include "link/Sound.h"
#include "link/TraceRing.h"
#include "link/Transport.h"
#include "link/TxBuffer.h"
#include "platform/Clock.h"
#include "platform/DialogPresenter.h"
#include "platform/FakeWaveDevice.h"
#include "state/LinkView.h"
#include "state/UVesk.h"
#include "voice/TFCall.h"
#include "voice/VoicePath.h"

#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QToolButton>

using vesksim::FromHex;

namespace {

// A key as the operator gives it: by default to the widget that has the focus, a box's too.
void Key(QEvent::Type type, int key, QWidget* to = QApplication::focusWidget()) {
    QKeyEvent e(type, key, Qt::NoModifier);
    QApplication::sendEvent(to, &e);
}
void F2(QEvent::Type type) {
    Key(type, Qt::Key_F2);
}

class CallWindowTest : public TCallFixture {
protected:
    static void Feed(const char* hex) {
        for (uint8_t b : FromHex(hex))
            ReceiveByte(b);
    }
    // Everything the station has received once count bytes are in, as hex.
    QString Got(size_t count) {
        EXPECT_TRUE(station_.WaitForCount(count, std::chrono::seconds(5))) << Hex().toStdString();
        PumpUntil([] { return false; }, 50); // nothing more follows
        return Hex();
    }
    QString Hex() const { return QString::fromStdString(vesksim::ToHex(station_.Received())); }
    void Press() {
        FCall->sbTg->setChecked(true);
        FCall->sbTgClick();
    }
    void Release() {
        FCall->sbTg->setChecked(false);
        FCall->sbTgClick();
    }
    static void WriteFile(const QString& name, const QByteArray& bytes) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    vesksim::TBytes FillLine() { return ::FillLine(station_); }
};

TEST_F(CallWindowTest, PressAndReleaseOnMv1SendTheirSequencesAndTheBlocks) {
    CurrentChannel = 3;
    // The operator calls first: the kind is the button's tag (ДСП here, then ТЧМ).
    FCall->bCall->setProperty("tag", 1);
    FCall->bCall->click();
    EXPECT_EQ(Got(2), "93 D2");
    station_.Clear();
    FCall->bCall->setProperty("tag", 0);
    FCall->bCall->click();
    EXPECT_EQ(Got(2), "93 D1");
    station_.Clear();

    Press();
    EXPECT_EQ(Got(14), QString("93 D3 93 D3 ") + Cmd0);
    EXPECT_EQ(SoundFlags, SoundSending);
    EXPECT_EQ(FCall->ChartTitle(), "Микрофон");
    EXPECT_TRUE(FCall->Timer2->isActive());
    EXPECT_EQ(FCall->Timer2->interval(), 60000);
    EXPECT_FALSE(FCall->gbPSH->isEnabled());
    EXPECT_FALSE(FCall->cbPSH_off->isEnabled());
    ASSERT_TRUE(Recorder->Recording);
    EXPECT_EQ(fakes_->Capture->Queued.size(), 4u);

    station_.Clear();
    for (int block = 0; block < 3; ++block)
        ASSERT_TRUE(fakes_->CaptureDevice->Complete(0x41 + block));
    const QString blocks = Got(3 * 1024);
    EXPECT_EQ(blocks.size(), 3 * 1024 * 3 - 1);
    EXPECT_TRUE(blocks.startsWith("41 41")) << "raw, unframed, unchanged";
    EXPECT_TRUE(blocks.endsWith("43 43"));

    station_.Clear();
    Release();
    EXPECT_EQ(Got(22), QString(Cmd15) + " " + Cmd15 + " 93 D4");
    EXPECT_EQ(SoundFlags, 0);
    EXPECT_TRUE(FCall->ChartTitle().isEmpty());
    EXPECT_FALSE(Recorder->DeviceOpen);
    EXPECT_FALSE(FCall->Timer2->isActive());
    EXPECT_TRUE(FCall->gbPSH->isEnabled());
    EXPECT_TRUE(FCall->cbPSH_off->isEnabled());
}

TEST_F(CallWindowTest, AStationThatStopsReadingHoldsNeitherTheCapturedBlockNorTheRelease) {
    CurrentChannel = 3;
    Press();
    Got(14);
    station_.Clear();
    const vesksim::TBytes filled = FillLine();
    // With the line full the captured block's send returns at once: live sound the line has
    // no room for is dropped. The release returns at once too; the link's writer sends its
    // commands once the station reads again.
    ASSERT_TRUE(fakes_->CaptureDevice->Complete(0x41));
    Release();
    EXPECT_EQ(SoundFlags, 0);
    EXPECT_FALSE(Recorder->DeviceOpen);
    const vesksim::TBytes release = FromHex(std::string(Cmd15) + " " + Cmd15 + " 93 D4");
    station_.SetReading(true);
    ASSERT_TRUE(station_.WaitFor(release, std::chrono::seconds(20), filled.size()))
        << station_.Received().size() << " of " << filled.size() + release.size();
    PumpUntil([] { return false; }, 50); // nothing more follows
    const vesksim::TBytes got = station_.Received();
    ASSERT_GE(got.size(), filled.size() + release.size());
    EXPECT_TRUE(std::equal(filled.begin(), filled.end(), got.begin()));
    EXPECT_TRUE(std::equal(release.begin(), release.end(), got.end() - long(release.size())));
    // Between them at most the part of the block the kernel made room for.
    EXPECT_TRUE(std::all_of(got.begin() + long(filled.size()), got.end() - long(release.size()),
                            [](uint8_t b) { return b == 0x41; }));
    EXPECT_LT(got.size(), filled.size() + 1024 + release.size());
}

TEST_F(CallWindowTest, SixtySecondLimitAndClosingWhileTalkingRelease) {
    CurrentChannel = 1;
    FCall->show();
    Press();
    Got(14);
    station_.Clear();
    clock_.Advance(60'000);
    FCall->Timer2->start(0); // the 60 s limit, passed on the clock
    EXPECT_TRUE(PumpUntil([] { return !FCall->sbTg->isChecked(); }));
    EXPECT_EQ(Got(22), QString(Cmd15) + " " + Cmd15 + " 91 D4");

    station_.Clear(); // the next press is counted whole before the line is cleared again
    Press();
    Got(14);
    station_.Clear();
    FCall->reject();
    EXPECT_EQ(Got(23), QString(Cmd15) + " " + Cmd15 + " 91 D4 D0") << "the release, then the reset alone";
    EXPECT_FALSE(FCall->isVisible());
    EXPECT_FALSE(Recorder->DeviceOpen);
}

TEST_F(CallWindowTest, ReleaseDuringThePressWaitCancelsTheRestOfThePress) {
    CurrentChannel = 4;
    QTimer::singleShot(0, [this] { Release(); }); // F2 let go within the 200 ms
    Press();
    EXPECT_EQ(Got(26), QString("94 D3 94 D3 ") + Cmd15 + " " + Cmd15 + " 94 D4");
    EXPECT_FALSE(fakes_->Capture->Open) << "the recorder is never left running with the button up";
    EXPECT_EQ(SoundFlags, 0);
    EXPECT_TRUE(FCall->ChartTitle().isEmpty());

    // A press during the release's own wait runs after it, in order.
    station_.Clear();
    Press();
    Got(14);
    station_.Clear();
    QTimer::singleShot(0, [this] { Press(); });
    Release();
    EXPECT_EQ(Got(36), QString(Cmd15) + " " + Cmd15 + " 94 D4 94 D3 94 D3 " + Cmd0);
    EXPECT_TRUE(Recorder->Recording);
    Release();
}

TEST_F(CallWindowTest, F2TalksWhileHeldWhicheverControlHasTheFocus) {
    CurrentChannel = 2;
    const auto key = [](QEvent::Type type, bool repeat) {
        QKeyEvent e(type, Qt::Key_F2, Qt::NoModifier, QString(), repeat);
        QCoreApplication::sendEvent(FCall->cbDiap, &e);
        return e.isAccepted();
    };
    key(QEvent::KeyPress, false);
    EXPECT_TRUE(FCall->sbTg->isChecked());
    EXPECT_EQ(Got(14), QString("92 D3 92 D3 ") + Cmd0);
    key(QEvent::KeyRelease, true);
    key(QEvent::KeyPress, true); // auto-repeat does nothing more
    EXPECT_TRUE(FCall->sbTg->isChecked());
    station_.Clear();
    key(QEvent::KeyRelease, false);
    EXPECT_TRUE(PumpUntil([] { return !FCall->sbTg->isChecked(); }, 2000)) << "once no press follows";
    EXPECT_EQ(Got(22), QString(Cmd15) + " " + Cmd15 + " 92 D4");
    EXPECT_FALSE(FCall->findChild<QTimer*>("F2ReleaseTimer")->isActive()) << "nothing left ticking";
    // Other keys go on to the control.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(FCall->cbDiap, &down);
    EXPECT_FALSE(FCall->sbTg->isChecked());
}

TEST_F(CallWindowTest, PressStopsPlaybackAndFinishesASave) {
    Feed(Cmd0);
    EXPECT_TRUE(Player->DeviceOpen);
    EXPECT_EQ(FCall->ChartTitle(), "Воспроизведение");
    Press();
    EXPECT_FALSE(Player->DeviceOpen) << "playback stops first";
    EXPECT_EQ(FCall->ChartTitle(), "Микрофон");
    Release();

    // Saving the device's sound: the press writes what waits and closes the file.
    SoundReadIdx = int32_t(SoundWriteIdx); // the byte left from the live sound is not this file's
    Feed("FA 8F 80 85 8A 8F 80 8F 81 FB");
    for (int i = 0; i < 1499; ++i)
        ReceiveByte(uint8_t(i & 0x7F));
    Press();
    EXPECT_FALSE(SoundFile().isOpen());
    QFile f("phonems.pcm");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.size(), 1500) << "no received sound is lost";
    EXPECT_EQ(MainForm->StatusText(1), "");
    EXPECT_EQ(SoundFlags, SoundSending);
    Release();
    EXPECT_TRUE(dialogs_.isEmpty());
}

TEST_F(CallWindowTest, F2RepeatsAsReleasePressPairsKeepTalkingAndSequencesNeverOverlap) {
    CurrentChannel = 2;
    const auto key = [](QEvent::Type type) {
        QKeyEvent e(type, Qt::Key_F2, Qt::NoModifier);
        QCoreApplication::sendEvent(FCall->cbDiap, &e);
    };
    key(QEvent::KeyPress);
    EXPECT_EQ(Got(14), QString("92 D3 92 D3 ") + Cmd0);
    station_.Clear();
    for (int i = 0; i < 20; ++i) { // a held key, reported as release/press pairs
        key(QEvent::KeyRelease);
        key(QEvent::KeyPress);
        PumpUntil([] { return false; }, 2);
    }
    PumpUntil([] { return false; }, 60);
    EXPECT_EQ(Hex(), "") << "a repeat is no release";
    EXPECT_TRUE(Recorder->Recording);
    clock_.SetStep(0); // the edge of the gap: a press 30 ms on is still a repeat
    key(QEvent::KeyRelease);
    clock_.Advance(30);
    key(QEvent::KeyPress);
    clock_.SetStep(5);
    PumpUntil([] { return false; }, 60);
    EXPECT_EQ(Hex(), "") << "a press 30 ms after the release";

    // A pair split by a busy display (the press 50 ms after the release): a release, then
    // a press, in turn.
    key(QEvent::KeyRelease);
    clock_.Advance(50);
    key(QEvent::KeyPress);
    EXPECT_EQ(Got(36), QString(Cmd15) + " " + Cmd15 + " 92 D4 92 D3 92 D3 " + Cmd0);
    station_.Clear();
    key(QEvent::KeyRelease);
    clock_.Advance(40);
    ASSERT_TRUE(PumpUntil([] { return !FCall->sbTg->isChecked(); }, 2000)) << "a real release goes out";
    EXPECT_EQ(Got(22), QString(Cmd15) + " " + Cmd15 + " 92 D4");

    // A release and a press inside the press's wait, the press inside the release's own:
    // each sequence runs whole, the line ends with the button's state.
    station_.Clear();
    QTimer::singleShot(0, [this] {
        QTimer::singleShot(0, [this] { Press(); });
        Release();
    });
    Press();
    EXPECT_EQ(Got(40), QString("92 D3 92 D3 ") + Cmd15 + " " + Cmd15 + " 92 D4 92 D3 92 D3 " + Cmd0);
    EXPECT_TRUE(FCall->sbTg->isChecked());
    EXPECT_TRUE(Recorder->Recording);
    Release();
}

TEST_F(CallWindowTest, ABandBlockedWhileOpenMovesSquelchAndCallToTheShownChannel) {
    PshSettings[0] = {40, true};
    PshSettings[1] = {90, false};
    FCall->cbDiap->setCurrentIndex(2); // МВ1
    CurrentChannel = 3;
    FCall->show();
    EXPECT_EQ(FCall->sePSH->value(), 90);
    LinkView().ApplyMvBlock(true);
    EXPECT_TRUE(FCall->cbDiapGMV->isVisible());
    EXPECT_EQ(CurrentChannel, 1) << "the channel shown: ГМВ1";
    EXPECT_EQ(FCall->sePSH->value(), 40);
    EXPECT_EQ(FCall->tbPSH->value(), 40);
    EXPECT_TRUE(FCall->cbPSH_off->isChecked());
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(Hex(), "") << "showing sends nothing";

    FCall->sePSH->setValue(41);
    EXPECT_EQ(Got(10).size(), 29);
    EXPECT_EQ(PshSettings[0].Level, 41);
    EXPECT_EQ(PshSettings[1].Level, 90) << "the hidden band keeps its own setting";
    station_.Clear();
    FCall->bCallClick();
    EXPECT_EQ(Got(2), "91 D1") << "the call goes out on the channel shown";

    FCall->cbDiapGMV->setCurrentIndex(1);
    FCall->cbDiapChange(FCall->cbDiapGMV);
    LinkView().ApplyMvBlock(false);
    EXPECT_EQ(FCall->cbDiap->currentIndex(), 1) << "ГМВ2 stays chosen";
    EXPECT_EQ(CurrentChannel, 2);
    EXPECT_EQ(FCall->sePSH->value(), 41);
    FCall->hide();
}

TEST_F(CallWindowTest, WithoutSoundDevicesTheStationsSoundIsDroppedAndTheOperatorToldOnce) {
    DestroySoundDevices();
    fakes_->Playback->Devices = 0;
    fakes_->Capture->Devices = 0;
    CreateSoundDevices();
    Feed(Cmd0);
    for (int i = 0; i < 5000; ++i)
        ReceiveByte(uint8_t(0x40 + i % 16));
    EXPECT_LT(SoundRingFill(), SoundBlock) << "dropped, not left to pile up";
    PumpUntil([] { return false; }, 50);
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_TRUE(dialogs_[0].Text.startsWith("Не могу открыть выходное устройство"))
        << dialogs_[0].Text.toStdString();
    EXPECT_TRUE(dialogs_[0].Text.contains("Не найдено устройств"));
    Feed(Cmd15);

    Press();
    EXPECT_EQ(Got(14), QString("91 D3 91 D3 ") + Cmd0) << "the press goes on silent";
    PumpUntil([] { return false; }, 50);
    ASSERT_EQ(dialogs_.size(), 2);
    EXPECT_TRUE(dialogs_[1].Text.startsWith("Не могу открыть входное устройство для записи"));
    EXPECT_FALSE(Recorder->Recording);
    Release();
}

TEST_F(CallWindowTest, ALostDeviceStopsToldOnceAndTheNextPressOrCommandTriesAgain) {
    Press();
    Got(14);
    ASSERT_TRUE(Recorder->Recording);
    fakes_->CaptureDevice->Fail(-32);
    fakes_->CaptureDevice->Fail(-32); // the same fault reported again
    EXPECT_FALSE(Recorder->Recording);
    PumpUntil([] { return false; }, 50);
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "Ошибка добавления буфера: ошибка -32") << "the reason after its separator";
    EXPECT_FALSE(Recorder->DeviceOpen) << "stopped and closed";
    EXPECT_FALSE(fakes_->Capture->Open);
    Release();
    Press();
    EXPECT_TRUE(Recorder->Recording) << "the next press opens it anew";
    EXPECT_EQ(fakes_->Capture->Queued.size(), 4u);
    Release();

    Feed(Cmd0);
    for (int i = 0; i < 4096; ++i)
        ReceiveByte(uint8_t(0x40 + i % 16));
    ASSERT_EQ(Player->PrimedCount, 4);
    ASSERT_EQ(fakes_->Playback->Queued.size(), 4u);
    fakes_->PlaybackDevice->Fail(-5);
    PumpUntil([] { return false; }, 50);
    ASSERT_EQ(dialogs_.size(), 2);
    EXPECT_EQ(dialogs_[1].Text, "Ошибка воспроизведения звука: ошибка -5");
    EXPECT_FALSE(Player->DeviceOpen);
    for (int i = 0; i < 3000; ++i)
        ReceiveByte(uint8_t(0x40 + i % 16));
    EXPECT_LT(SoundRingFill(), SoundBlock) << "dropped while nothing plays";
    Feed(Cmd15);
    Feed(Cmd0);
    EXPECT_TRUE(Player->DeviceOpen) << "the next command 0 opens it anew";
    EXPECT_EQ(dialogs_.size(), 2);
    Feed(Cmd15);
}

TEST_F(CallWindowTest, ASoundBoxTakingTheFocusEndsAnF2PressAndTheWindowSaysTheMicrophoneIsSilent) {
    SetDialogHook(nullptr); // the program's own modal boxes
    InstallDialogPresenter();
    struct TBack {
        ~TBack() { SetDialogPresenter(nullptr, nullptr); }
    } back;
    const QString keyed = "91 D3 91 D3", talking = keyed + " " + Cmd0;
    const QString release = QString(" ") + Cmd15 + " " + Cmd15 + " 91 D4";
    const QString silent = "Микрофон не работает, звук в вызов не передаётся. ";
    const struct {
        const char* why;
        std::function<void()> before, during;
        QString box, press, state;
    } cases[] = {
        {"the loudspeaker lost as F2 goes down: its box opens in the press's wait",
         [this] {
             Feed(Cmd0);
             fakes_->PlaybackDevice->Fail(-5);
         },
         {},
         "Ошибка воспроизведения звука: ошибка -5",
         keyed,
         ""},
        {"no microphone",
         [this] { fakes_->Capture->Failures["open"] = -19; },
         {},
         "Не могу открыть входное устройство для записи: \nошибка -19",
         talking,
         silent + "Не могу открыть входное устройство для записи: ошибка -19"},
        {"the sound server lost mid-press",
         {},
         [this] {
             fakes_->CaptureDevice->Complete(); // it has worked: its loss is a new one
             fakes_->CaptureDevice->Fail(-32);
         },
         "Ошибка добавления буфера: ошибка -32",
         talking,
         silent + "Ошибка добавления буфера: ошибка -32"},
    };
    CurrentChannel = 1;
    FCall->show();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        FCall->activateWindow();
        ASSERT_TRUE(PumpUntil([] { return QApplication::activeWindow() == FCall; }, 5000));
        clock_.Advance(50); // the key let go in the last case has been up a while
        station_.Clear();
        QString text, whileOpen;
        // Once the box has the focus the press ends, the key still down; the box is answered
        // once the line has the release, and the key goes up over it (the ticks never wait:
        // the release may be running below them).
        QTimer answer;
        QElapsedTimer active;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            box->activateWindow(); // as the window manager does
            if (QApplication::activeWindow() != box)
                return;
            if (!active.isValid())
                active.start();
            if (!Hex().endsWith("91 D4") && active.elapsed() < 10000)
                return;
            answer.stop();
            text = box->text();
            whileOpen = Hex();
            F2(QEvent::KeyRelease);
            box->done(QMessageBox::Ok);
        });
        answer.start(5);
        fakes_->Capture->Failures.clear();
        if (c.before)
            c.before();
        F2(QEvent::KeyPress);
        if (c.during) {
            ASSERT_TRUE(station_.WaitForCount(14, std::chrono::seconds(5)));
            c.during();
        }
        ASSERT_TRUE(PumpUntil([&] { return !whileOpen.isEmpty(); }, 10000)) << "a box opens";
        EXPECT_EQ(text, c.box);
        EXPECT_TRUE(whileOpen.startsWith(c.press + " ") && whileOpen.endsWith(release))
            << whileOpen.right(60).toStdString() << ": released as the box took the focus";
        EXPECT_FALSE(Recorder->DeviceOpen);
        EXPECT_EQ(FCall->lbMicrophone->isVisible() ? FCall->lbMicrophone->text() : "", c.state);
        if (FCall->sbTg->isChecked()) // the unmended program: the line is released for the next case
            Release();
        Feed(Cmd15);
    }

    // The loss already told, the presses that find the microphone still gone tell no box but
    // say so in the window, until it works again.
    SetDialogHook([this](const TDialogRecord& d, QWidget*) {
        dialogs_.append(d);
        return int(mrOk);
    });
    fakes_->Capture->Failures["open"] = -19;
    Press();
    Release();
    PumpUntil([] { return false; }, 30);
    EXPECT_TRUE(dialogs_.isEmpty());
    EXPECT_EQ(FCall->lbMicrophone->text(),
              silent + "Не могу открыть входное устройство для записи: ошибка -19");
    QCoreApplication::processEvents();
    EXPECT_EQ(TextsThatDoNotFit(FCall).join("\n").toStdString(), "");
    EXPECT_TRUE(FCall->grab().save(QString(VESK_BINARY_DIR) + "/call-window-no-microphone.png"));
    fakes_->Capture->Failures.clear();
    Press();
    EXPECT_FALSE(FCall->lbMicrophone->isVisible()) << "the microphone works again";
    Release();
    FCall->hide();
}

// Live calls from the station over the line: command 0, two blocks of sound, command 15.
void LiveCall(vesksim::TStation& station) {
    station.Send(FromHex(Cmd0));
    ASSERT_TRUE(PumpUntil([] { return SoundTransferOn; }, 5000));
    station.Send(vesksim::TBytes(2048, 0x45));
    station.Send(FromHex(Cmd15));
    ASSERT_TRUE(PumpUntil([] { return !SoundTransferOn; }, 5000));
}

TEST_F(CallWindowTest, ASoundDeviceIsToldOncePerLossWithTheTextWhole) {
    // No playback device at all: three calls, one box, its prefix once.
    DestroySoundDevices();
    fakes_->Playback->Devices = 0;
    CreateSoundDevices();
    const QString noDevice = "Не могу открыть выходное устройство для воспроизведения: \n"
                             "Не найдено устройств, способных воспроизводить звук";
    for (int call = 0; call < 3; ++call) {
        LiveCall(station_);
        PumpUntil([] { return false; }, 20);
    }
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, noDevice);
    EXPECT_EQ(Player->ErrorText.count("Не могу открыть"), 1) << "the kept text does not grow";

    // A device that refuses to open: told once over three calls.
    DestroySoundDevices();
    fakes_->Playback->Devices = 1;
    fakes_->Playback->Failures["open"] = -19;
    CreateSoundDevices();
    for (int call = 0; call < 3; ++call)
        LiveCall(station_);
    PumpUntil([] { return false; }, 20);
    ASSERT_EQ(dialogs_.size(), 2);
    EXPECT_EQ(dialogs_[1].Text, "Не могу открыть выходное устройство для воспроизведения: \nошибка -19");

    // It opens and plays; lost during the call it is a new loss, told once more; the
    // calls that follow while it stays away tell nothing new.
    fakes_->Playback->Failures.clear();
    station_.Send(FromHex(Cmd0));
    station_.Send(vesksim::TBytes(5000, 0x46));
    ASSERT_TRUE(PumpUntil([] { return Player->PrimedCount == 4; }, 5000));
    ASSERT_TRUE(fakes_->PlaybackDevice->Complete()) << "a block played";
    fakes_->PlaybackDevice->Fail(-5);
    station_.Send(FromHex(Cmd15));
    PumpUntil([] { return false; }, 50);
    ASSERT_EQ(dialogs_.size(), 3);
    EXPECT_EQ(dialogs_[2].Text, "Ошибка воспроизведения звука: ошибка -5");
    fakes_->Playback->Failures["open"] = -19;
    for (int call = 0; call < 2; ++call)
        LiveCall(station_);
    PumpUntil([] { return false; }, 20);
    EXPECT_EQ(dialogs_.size(), 3) << "the same loss, already told";

    // An open that works but plays nothing before the device goes again is not "worked".
    fakes_->Playback->Failures.clear();
    station_.Send(FromHex(Cmd0));
    ASSERT_TRUE(PumpUntil([] { return Player->DeviceOpen.load(); }, 5000));
    fakes_->PlaybackDevice->Fail(-5);
    station_.Send(FromHex(Cmd15));
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(dialogs_.size(), 3);
}

TEST_F(CallWindowTest, SquelchFollowsTheShownBandAndSendsOneFramePerMove) {
    PshSettings[0] = {40, true};
    PshSettings[1] = {90, false};
    FCall->cbDiap->setCurrentIndex(1); // ГМВ2
    FCall->ShowPshs();
    EXPECT_EQ(FCall->tbPSH->value(), 40);
    EXPECT_EQ(FCall->sePSH->value(), 40);
    EXPECT_TRUE(FCall->cbPSH_off->isChecked());
    FCall->cbDiap->setCurrentIndex(2); // МВ1
    FCall->ShowPshs();
    EXPECT_EQ(FCall->sePSH->value(), 90);
    EXPECT_FALSE(FCall->cbPSH_off->isChecked());
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(Hex(), "") << "showing sends nothing";

    FCall->cbDiap->setCurrentIndex(3); // МВ2
    FCall->tbPSH->setValue(200);
    EXPECT_EQ(Got(10), "EA 80 87 80 80 80 82 80 80 EB");
    EXPECT_EQ(PshSettings[1].Level, 200);
    EXPECT_EQ(PshSettings[0].Level, 40);

    // The ГМВ band blocked: only МВ channels are offered, whatever cbDiap still holds.
    FCall->cbDiap->setCurrentIndex(0);
    LinkView().ApplyGmvBlock(true);
    EXPECT_EQ(FCall->TakeDiapPSH(), 1);
    LinkView().ApplyGmvBlock(false);
    LinkView().ApplyMvBlock(true);
    FCall->cbDiap->setCurrentIndex(4);
    EXPECT_EQ(FCall->TakeDiapPSH(), 0);
    LinkView().ApplyMvBlock(false);

    // A squelch report of the device changes the controls and sends nothing back.
    station_.Clear();
    FCall->cbDiap->setCurrentIndex(2);
    Feed("EA 80 87 80 80 81 81 80 85 EB");
    EXPECT_EQ(FCall->sePSH->value(), 105);
    EXPECT_TRUE(FCall->cbPSH_off->isChecked());
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(Hex(), "");

    // The operator's tick of "Отключить" (Space on it) sends the band's frame with the new flag.
    FCall->show();
    for (const char* frame : {"EA 80 87 80 80 80 81 80 85 EB", "EA 80 87 80 80 81 81 80 85 EB"}) {
        station_.Clear();
        Key(QEvent::KeyPress, Qt::Key_Space, FCall->cbPSH_off);
        Key(QEvent::KeyRelease, Qt::Key_Space, FCall->cbPSH_off);
        EXPECT_EQ(Got(10), frame);
    }
    FCall->hide();
}

TEST_F(CallWindowTest, MonitorChartIsFlatWhenIdleAndTracesAfterTwoTicks) {
    FCall->Timer1Timer();
    EXPECT_EQ(FCall->Series1->count(), 0) << "hidden: nothing";
    FCall->show();
    FCall->Timer1Timer();
    ASSERT_EQ(FCall->Series1->count(), 1025);
    EXPECT_EQ(FCall->Series1->at(0).y(), 128);
    EXPECT_EQ(FCall->Series1->at(1024).y(), 128);

    ResetTraceRings();
    SoundFlags = SoundSending;
    for (int i = 0; i < 10; ++i)
        TxTraceRing.Put(uint8_t(200 + i));
    FCall->Timer1Timer();
    FCall->Timer1Timer();
    EXPECT_EQ(FCall->Series1->at(0).y(), 128) << "two ticks pass unchanged";
    FCall->Timer1Timer();
    EXPECT_EQ(FCall->Series1->at(0).y(), 200) << "oldest at the left";
    EXPECT_EQ(FCall->Series1->at(9).y(), 209);
    EXPECT_EQ(FCall->Series1->at(10).y(), 128);
    SoundFlags = 0;
    FCall->Timer1Timer();
    EXPECT_EQ(FCall->Series1->at(0).y(), 128);

    // The window as the operator sees it, talking.
    FCall->setWindowTitle("Вызов ТЧМ");
    FCall->SetChartTitle("Микрофон");
    for (int i = 0; i < 1024; ++i)
        TxTraceRing.Put(uint8_t(128 + 90 * std::sin(i / 4.0)));
    SoundFlags = SoundSending;
    for (int i = 0; i < 3; ++i)
        FCall->Timer1Timer();
    SoundFlags = 0;
    QCoreApplication::processEvents();
    EXPECT_TRUE(FCall->grab().save(QString(VESK_BINARY_DIR) + "/call-window.png"));
    FCall->hide();
}

// ---------------------------------------------------------------------------------------
// Sound-file transfer

TEST_F(CallWindowTest, UploadOfPhonemsInChunksThenTheEndCommand) {
    QByteArray file(2500, '\0');
    for (int i = 0; i < file.size(); ++i)
        file[i] = char(i % 100);
    WriteFile("phonems.pcm", file);
    Feed("FA 8F 80 85 8A 8F 80 8F 82 FB");
    EXPECT_TRUE(MainForm->Timer2->isActive());
    EXPECT_EQ(MainForm->Timer2->interval(), 10);
    MainForm->Timer2->stop(); // the test drives the ticks
    EXPECT_EQ(Got(10), "FA 8F 80 85 8A 8F 80 8F 82 FB");
    EXPECT_EQ(MainForm->StatusText(1), "Передача фонем");
    EXPECT_EQ(MainForm->shUnSaveSound->BrushColor(), QColor(0, 128, 0));
    const struct { int bytes, percent, next; } ticks[] = {{1024, 40, 100}, {1024, 81, 120}, {452, 100, 1000}};
    int sent = 0;
    for (const auto& t : ticks) {
        station_.Clear();
        MainForm->Timer2Timer();
        sent += t.bytes;
        EXPECT_EQ(Got(size_t(t.bytes)).size(), t.bytes * 3 - 1);
        EXPECT_EQ(uint8_t(station_.Received().front()), uint8_t(file[sent - t.bytes]));
        EXPECT_EQ(MainForm->StatusText(1), QString("Передача фонем: %1 %").arg(t.percent));
        EXPECT_EQ(MainForm->Timer2->interval(), t.next);
    }
    station_.Clear();
    MainForm->Timer2Timer();
    EXPECT_EQ(Got(10), Cmd15);
    EXPECT_FALSE(MainForm->Timer2->isActive());
    EXPECT_FALSE(SoundFile().isOpen());
    EXPECT_EQ(MainForm->StatusText(1), "");
    EXPECT_EQ(MainForm->shUnSaveSound->BrushColor(), QColor(Qt::white));
}

TEST_F(CallWindowTest, EmptyAndMissingTitleEndWithTheEndCommand) {
    WriteFile("Title.pcm", {});
    Feed("FA 8F 80 85 8A 8F 80 8F 83 FB");
    MainForm->Timer2->stop();
    EXPECT_EQ(Got(10), "FA 8F 80 85 8A 8F 80 8F 83 FB");
    EXPECT_EQ(MainForm->StatusText(1), "Проверка НЧ");
    station_.Clear();
    MainForm->Timer2Timer();
    EXPECT_EQ(Got(10), Cmd15) << "no chunk, no percentage";
    EXPECT_EQ(MainForm->StatusText(1), "");

    QFile::remove("Title.pcm");
    station_.Clear();
    Feed("FA 8F 80 85 8A 8F 80 8F 83 FB");
    EXPECT_EQ(Got(20), QString("FA 8F 80 85 8A 8F 80 8F 83 FB ") + Cmd15) << "the device is not left waiting";
    EXPECT_EQ(SoundFlags, 0);
    EXPECT_EQ(SoundMode, 0);
    EXPECT_EQ(MainForm->StatusText(1), "Не удаётся открыть файл");
    EXPECT_TRUE(dialogs_.isEmpty());
}

TEST_F(CallWindowTest, ReadErrorEndsTheUploadAndIsToldOnce) {
    WriteFile("phonems.pcm", QByteArray(2500, 'x'));
    Feed("FA 8F 80 85 8A 8F 80 8F 82 FB");
    MainForm->Timer2->stop();
    MainForm->Timer2Timer();
    Got(1034);
    QFile::resize("phonems.pcm", 1500); // the file shrinks under the upload
    station_.Clear();
    MainForm->Timer2Timer();
    EXPECT_EQ(Got(10), Cmd15);
    EXPECT_FALSE(MainForm->Timer2->isActive());
    EXPECT_FALSE(SoundFile().isOpen());
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text,
              "Ошибка чтения файла phonems.pcm: файл стал короче, чем был при начале передачи");
}

TEST_F(CallWindowTest, ProgressOfALargeFileAndANewCommandTakingOver) {
    WriteFile("phonems.pcm", {});
    QFile::resize("phonems.pcm", 30000000); // 30 MB, sparse
    Feed("FA 8F 80 85 8A 8F 80 8F 82 FB");
    MainForm->Timer2->stop();
    MainForm->Timer2Timer();
    SoundFileSent = 25000000 - 1024;
    SoundFile().seek(SoundFileSent);
    MainForm->Timer2Timer();
    EXPECT_EQ(MainForm->StatusText(1), "Передача фонем: 83 %");
    Got(10 + 2048);

    // Command 1 while the upload runs: its file is closed, the upload stops quietly.
    Feed("FA 8F 80 85 8A 8F 80 8F 81 FB");
    EXPECT_TRUE(SoundFile().openMode() & QIODevice::WriteOnly);
    station_.Clear();
    MainForm->Timer2Timer();
    EXPECT_FALSE(MainForm->Timer2->isActive());
    EXPECT_TRUE(SoundFile().isOpen()) << "the save goes on";
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(Hex(), "");
    Feed(Cmd15);
}

TEST_F(CallWindowTest, ASaveAndALiveCallHoldOnlyTheirOwnTransfer) {
    Feed(Cmd0);
    for (int i = 0; i < 700; ++i) // a live call's tail, left unread in the ring
        ReceiveByte(0x33);
    Feed(Cmd15);
    Feed("FA 8F 80 85 8A 8F 80 8F 81 FB");
    for (int i = 0; i < 1499; ++i)
        ReceiveByte(0x11);
    Feed(Cmd15);
    QFile f("phonems.pcm");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    EXPECT_EQ(saved.size(), 1500);
    EXPECT_FALSE(saved.contains('\x33'));

    // Live voice after a call that left sound unread: the player starts with the new call's.
    Feed(Cmd0);
    for (int i = 0; i < 700; ++i)
        ReceiveByte(0x33);
    Feed(Cmd15);
    Feed(Cmd0);
    for (int i = 0; i < 4096; ++i)
        ReceiveByte(0x11);
    ASSERT_EQ(Player->PrimedCount, 4);
    const QByteArray first(reinterpret_cast<const char*>(Player->Data[0]), SoundBlock);
    EXPECT_EQ(uint8_t(first[0]), 0x7F) << "the call's first byte";
    EXPECT_FALSE(first.contains('\x33'));
    Feed(Cmd15);
}

TEST_F(CallWindowTest, AStationThatStopsReadingEndsTheUploadWithoutHoldingTheWindow) {
    WriteFile("phonems.pcm", QByteArray(256 * 1024, 'u'));
    Feed("FA 8F 80 85 8A 8F 80 8F 82 FB");
    MainForm->Timer2->stop();
    Got(10);
    station_.SetReading(false);
    // The kernel moves what the line holds on its own time, so room can appear a moment after
    // a write was refused: the line counts as full once several ticks apart took nothing.
    int stalled = 0;
    for (int tick = 0; tick < 400 && stalled < 5; ++tick) {
        MainForm->Timer2Timer(); // returns at once even with the line full
        stalled = TxSent <= 0 ? stalled + 1 : 0;
        QThread::msleep(20);
    }
    ASSERT_EQ(stalled, 5) << "the line has filled";
    EXPECT_LT(SoundFileSent, 256 * 1024);
    EXPECT_EQ(SoundFileSent % 1024, 0) << "a chunk counts once whole";
    EXPECT_TRUE(SoundFile().isOpen()) << "waits for the line";
    clock_.Advance(52000); // the write time-out of a chunk: 1024 x 50 ms
    MainForm->Timer2Timer();
    EXPECT_EQ(MainForm->StatusText(1), "Передача прервана: станция не принимает данные");
    EXPECT_FALSE(SoundFile().isOpen());
    EXPECT_FALSE(MainForm->Timer2->isActive());
    EXPECT_EQ(MainForm->shUnSaveSound->BrushColor(), QColor(Qt::red));
    station_.SetReading(true);
}

TEST_F(CallWindowTest, AStalledUploadSaysSoInItsStatusLineUntilTheLineTakesItAgain) {
    WriteFile("phonems.pcm", QByteArray(256 * 1024, 'u'));
    Feed("FA 8F 80 85 8A 8F 80 8F 82 FB");
    MainForm->Timer2->stop();
    Got(10);
    station_.SetReading(false);
    int stalled = 0;
    for (int tick = 0; tick < 400 && stalled < 5; ++tick) {
        MainForm->Timer2Timer();
        stalled = TxSent <= 0 ? stalled + 1 : 0;
        QThread::msleep(20);
    }
    ASSERT_EQ(stalled, 5) << "the line has filled";
    const QString percent = QString::number(SoundFileSent * 100 / SoundFileSize);
    clock_.Advance(4000); // a few seconds without a byte taken
    MainForm->Timer2Timer();
    EXPECT_EQ(MainForm->StatusText(1),
              QStringLiteral("Передача фонем: %1 % — станция не принимает данные").arg(percent));
    EXPECT_TRUE(SoundFile().isOpen()) << "the upload still waits for the line";
    station_.SetReading(true);
    ASSERT_TRUE(PumpUntil(
        [&] {
            MainForm->Timer2Timer();
            return !MainForm->StatusText(1).contains("не принимает");
        },
        10000));
    EXPECT_TRUE(MainForm->StatusText(1).startsWith("Передача фонем: "))
        << MainForm->StatusText(1).toStdString();
}

TEST_F(CallWindowTest, AChunkTheLineTookInPartsGoesOutWholeAndInOrder) {
    QByteArray file(192 * 1024, '\0'); // more than any line holds unread
    for (int i = 0; i < file.size(); ++i)
        file[i] = char(i % 251);
    WriteFile("phonems.pcm", file);
    Feed("FA 8F 80 85 8A 8F 80 8F 82 FB");
    MainForm->Timer2->stop();
    Got(10);
    station_.Clear();
    station_.SetReading(false);
    for (int tick = 0; tick < 200 && SoundFileSent < file.size(); ++tick)
        MainForm->Timer2Timer(); // the line fills; the chunk waits, part-written
    ASSERT_LT(SoundFileSent, file.size());
    station_.SetReading(true);
    ASSERT_TRUE(PumpUntil(
        [&] {
            MainForm->Timer2Timer();
            return SoundFileSent == file.size();
        },
        10000));
    ASSERT_TRUE(station_.WaitForCount(size_t(file.size()), std::chrono::seconds(5)));
    const vesksim::TBytes got = station_.Received();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(got.data()), qsizetype(got.size())), file);
    EXPECT_EQ(MainForm->StatusText(1), "Передача фонем: 100 %");
}

TEST_F(CallWindowTest, SavingExactlyTwoBlocksWritesNothingAtTheEnd) {
    Feed("FA 8F 80 85 8A 8F 80 8F 81 FB");
    for (int i = 0; i < 2047; ++i)
        ReceiveByte(uint8_t(i & 0x7F));
    EXPECT_EQ(QFile("phonems.pcm").size(), 2048);
    EXPECT_EQ(SoundRingFill(), 0);
    Feed(Cmd15);
    EXPECT_EQ(QFile("phonems.pcm").size(), 2048);
    EXPECT_FALSE(SoundFile().isOpen());
}

} // namespace
