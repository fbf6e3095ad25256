// The wave classes and the live sound path over a fake device: the order in which
// buffers are queued, processed, refilled and handed back, and their failures.
#include "link/Receiver.h"
#include "link/Sound.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/FakeWaveDevice.h"
#include "support/TestUtil.h"
#include "voice/VoicePath.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

class WaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakes_ = InstallFakeWaveDevices();
        ResetReceiver();
        SetDialogHook([this](const TDialogRecord& d, QWidget*) {
            dialogs_.append(d);
            return int(mrOk);
        });
    }
    void TearDown() override {
        SetWaveDeviceFactory(nullptr);
        SetDialogHook(nullptr);
        ResetReceiver();
    }
    QStringList CaptureCalls() const { return fakes_->Capture->Calls; }
    QStringList PlaybackCalls() const { return fakes_->Playback->Calls; }

    std::shared_ptr<TFakeWaveDevices> fakes_;
    QList<TDialogRecord> dialogs_;
};

// A recorder that notes the buffer of every ProcessBuffer call.
class TNotingRecorder : public TWaveRecorder {
public:
    using TWaveRecorder::TWaveRecorder;
    void ProcessBuffer(uint16_t Msg, uint8_t* data, int count) override {
        for (int i = 0; i < BufCount; ++i)
            if (Data[i] == data)
                Buffers.append(i);
        Counts.append(count);
        EXPECT_EQ(Msg, WIM_DATA);
        if (StopInside)
            Stop();
    }
    QList<int> Buffers, Counts;
    bool StopInside = false;
};

// A player whose FillBuffer answers from a script and notes the buffer it was offered.
class TScriptedPlayer : public TWavePlayer {
public:
    using TWavePlayer::TWavePlayer;
    bool FillBuffer(uint8_t* data) override {
        for (int i = 0; i < BufCount; ++i)
            if (Data[i] == data)
                Offered.append(i);
        return Answers.isEmpty() ? true : Answers.takeFirst();
    }
    QList<int> Offered;
    QList<bool> Answers;
};

TEST_F(WaveTest, RecorderOpensQueuesAndProcessesBuffersInOrder) {
    TNotingRecorder r(1024, 4);
    ASSERT_TRUE(r.Ready);
    ASSERT_TRUE(r.Open(8, 8000));
    EXPECT_EQ(r.Format.FormatTag, 1);
    EXPECT_EQ(r.Format.Channels, 1);
    EXPECT_EQ(r.Format.BlockAlign, 1);
    EXPECT_EQ(r.Format.AvgBytesPerSec, 8000u);
    EXPECT_EQ(r.BufLen, 1024);
    EXPECT_EQ(CaptureCalls(), QStringList({"open 8000/8/1 1024x4", "prepare 0", "prepare 1", "prepare 2",
                                           "prepare 3", "queue 0"}));
    ASSERT_TRUE(r.Start());
    EXPECT_EQ(fakes_->Capture->Queued.size(), 4u) << "all four buffers are with the device";

    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(fakes_->CaptureDevice->Complete());
    EXPECT_EQ(r.Buffers, QList<int>({0, 1, 2, 3, 0, 1}));
    EXPECT_EQ(r.Counts, QList<int>(6, 1024));
    EXPECT_EQ(r.ReturnedCount, 6);
    EXPECT_EQ(fakes_->Capture->Queued.size(), 4u) << "each processed buffer goes back to the device";
    EXPECT_EQ(CaptureCalls().mid(6), QStringList({"start", "queue 1", "queue 2", "queue 3", "queue 0",
                                                  "queue 1", "queue 2", "queue 3", "queue 0", "queue 1"}));
}

TEST_F(WaveTest, StopWhilePendingProcessesAndQueuesNothingMore) {
    TNotingRecorder r(1024, 4);
    ASSERT_TRUE(r.Open(8, 8000));
    ASSERT_TRUE(r.Start());
    ASSERT_TRUE(fakes_->CaptureDevice->Complete());
    fakes_->Capture->Calls.clear();
    r.Stop();
    EXPECT_EQ(r.Buffers, QList<int>({0})) << "the buffers the reset hands back are not processed";
    EXPECT_EQ(CaptureCalls(),
              QStringList({"reset", "unprepare 0", "unprepare 1", "unprepare 2", "unprepare 3", "close"}));
    EXPECT_FALSE(r.DeviceOpen);
    EXPECT_TRUE(r.ErrorText.isEmpty());

    // The same memory serves the next cycle; a Stop inside ProcessBuffer ends its notice.
    r.StopInside = true;
    ASSERT_TRUE(r.Open(8, 8000));
    ASSERT_TRUE(r.Start());
    ASSERT_TRUE(fakes_->CaptureDevice->Complete());
    EXPECT_EQ(r.Buffers, QList<int>({0, 0}));
    EXPECT_EQ(r.ReturnedCount, 0) << "a stopped notice is not counted";
    EXPECT_FALSE(CaptureCalls().mid(CaptureCalls().lastIndexOf("reset")).contains("queue 0"));
}

TEST_F(WaveTest, RecorderFailuresKeepTheirTexts) {
    EXPECT_THROW(TWaveRecorder(1024, 9), ERangeError) << "more than 8 buffers is an index error";
    {
        TWaveRecorder r(1023, 4);
        fakes_->Capture->Failures["prepare"] = -22;
        EXPECT_FALSE(r.Open(16, 8000));
        EXPECT_EQ(r.Format.BlockAlign, 2);
        EXPECT_EQ(r.BufLen, 1022);
        EXPECT_EQ(r.ErrorText, "Ошибка подготовки заголовка для записи: \rошибка -22");
        EXPECT_FALSE(r.DeviceOpen) << "a failed preparation closes the device";
        fakes_->Capture->Failures.clear();

        fakes_->Capture->Failures["start"] = -5;
        ASSERT_TRUE(r.Open(8, 8000));
        EXPECT_FALSE(r.Start());
        EXPECT_EQ(r.ErrorText, "Ошибка начала записи wave: ошибка -5");
        EXPECT_FALSE(r.DeviceOpen);
        fakes_->Capture->Failures.clear();

        // A buffer the device refuses inside the notice stops and closes the recorder.
        ASSERT_TRUE(r.Open(8, 8000));
        ASSERT_TRUE(r.Start());
        fakes_->Capture->Failures["queue"] = -12;
        ASSERT_TRUE(fakes_->CaptureDevice->Complete());
        EXPECT_FALSE(r.Recording);
        EXPECT_FALSE(r.DeviceOpen);
        EXPECT_EQ(r.ErrorText, "Ошибка добавления буфераошибка -12");
        fakes_->Capture->Failures.clear();

        fakes_->Capture->Failures["reset"] = -1;
        fakes_->Capture->Failures["unprepare"] = -1;
        ASSERT_TRUE(r.Open(8, 8000));
        r.Stop();
        EXPECT_EQ(r.ErrorText, "Ошибка в waveInUnprepareHeader");
        fakes_->Capture->Failures.clear();
        fakes_->Capture->Failures["close"] = -1;
        ASSERT_TRUE(r.Open(8, 8000));
        r.Stop();
        EXPECT_EQ(r.ErrorText, "Ошибка закрытия входного устройства");
        fakes_->Capture->Failures.clear();
        fakes_->Capture->Open = false;
    }
    EXPECT_TRUE(dialogs_.isEmpty()) << "only a device that cannot be opened is shown";

    fakes_->Capture->Devices = 0;
    TWaveRecorder none(1024, 4);
    EXPECT_FALSE(none.Ready);
    EXPECT_EQ(none.ErrorText, "Не найдено устройств, способных записывать звук");
}

TEST_F(WaveTest, DeviceThatCannotBeOpenedIsShownOncePerLossAfterTheHandler) {
    TWaveRecorder r(1024, 4);
    fakes_->Capture->Failures["open"] = -16;
    EXPECT_FALSE(r.Open(8, 8000));
    EXPECT_FALSE(r.Open(8, 8000));
    EXPECT_EQ(r.ErrorText, "Не могу открыть входное устройство для записи: \rошибка -16");
    EXPECT_TRUE(dialogs_.isEmpty()) << "never from inside the handler that opened it";
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs_.size(), 1) << "the same failure waiting twice is shown once";
    EXPECT_EQ(dialogs_[0].Text, "Не могу открыть входное устройство для записи: \nошибка -16");
    EXPECT_FALSE(r.Open(8, 8000));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs_.size(), 1) << "a later open of a device still gone tells nothing new";

    // Once it has captured a block, a failure is a new loss and told again.
    fakes_->Capture->Failures.clear();
    ASSERT_TRUE(r.Open(8, 8000));
    ASSERT_TRUE(r.Start());
    ASSERT_TRUE(fakes_->CaptureDevice->Complete());
    r.Stop();
    fakes_->Capture->Failures["open"] = -16;
    EXPECT_FALSE(r.Open(8, 8000));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs_.size(), 2);
}

TEST_F(WaveTest, ALossReportedBeforeAReopenLeavesTheNewOpenAlone) {
    TWaveRecorder r(1024, 4);
    ASSERT_TRUE(r.Open(8, 8000));
    ASSERT_TRUE(r.Start());
    fakes_->CaptureDevice->Fail(-5); // told on the window thread, after this handler
    r.Stop();
    fakes_->Capture->Failure = 0;
    ASSERT_TRUE(r.Open(8, 8000));
    ASSERT_TRUE(r.Start());
    QCoreApplication::processEvents();
    EXPECT_TRUE(r.Recording) << "the old open's loss does not stop the new one";
    EXPECT_TRUE(dialogs_.isEmpty());
    r.Stop();
}

TEST_F(WaveTest, PlayerOffersAnIdleBufferAgainAndRunsDry) {
    TScriptedPlayer p(1024, 4);
    ASSERT_TRUE(p.Open(8, 8000));
    EXPECT_TRUE(p.Playing) << "set by the open notice";
    EXPECT_EQ(fakes_->Playback->Queued.size(), 0u) << "the player's open queues nothing";
    ASSERT_TRUE(p.Start(4));
    EXPECT_EQ(p.DoneIndex, 4);
    p.Answers = {true, false, true};
    fakes_->PlaybackDevice->Complete(); // buffer 0 played: refilled
    fakes_->PlaybackDevice->Complete(); // buffer 1 played: left idle
    fakes_->PlaybackDevice->Complete(); // buffer 2 played: buffer 1 offered again
    EXPECT_EQ(p.Offered, QList<int>({0, 1, 1}));
    EXPECT_EQ(p.DoneIndex, 6);

    // Buffers 3, 0 and 1 are still playing; three false answers leave all four idle.
    p.Answers = {false, false, false};
    while (fakes_->PlaybackDevice->Complete()) {
    }
    EXPECT_EQ(p.Offered.mid(3), QList<int>({2, 2, 2}));
    EXPECT_TRUE(fakes_->Playback->Queued.empty()) << "run dry: no notice follows";
    EXPECT_TRUE(p.Playing) << "run dry, still open";

    // From a fresh start, four false answers in a row end playback the same way.
    p.Stop();
    ASSERT_TRUE(p.Open(8, 8000));
    ASSERT_TRUE(p.Start(4));
    p.Offered.clear();
    p.Answers = {false, false, false, false};
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(fakes_->PlaybackDevice->Complete());
    EXPECT_EQ(p.Offered, QList<int>({0, 0, 0, 0}));
    EXPECT_FALSE(fakes_->PlaybackDevice->Complete());

    p.Stop();
    EXPECT_FALSE(p.Playing);
    EXPECT_FALSE(p.DeviceOpen);
    ASSERT_TRUE(p.Open(8, 8000));
    ASSERT_TRUE(p.Start(2));
    p.Offered.clear();
    fakes_->Playback->Calls.clear();
    p.Stop();
    EXPECT_TRUE(p.Offered.isEmpty()) << "the reset's done notices refill nothing";
    EXPECT_EQ(PlaybackCalls().first(), "reset");
    EXPECT_THROW(p.Start(5), ERangeError);
}

TEST_F(WaveTest, PlayerFailuresAndDestroyWithTheDeviceOpen) {
    {
        TScriptedPlayer p(1024, 4);
        ASSERT_TRUE(p.Open(8, 8000));
        fakes_->Playback->Failures["queue"] = -32;
        EXPECT_FALSE(p.Start(4));
        EXPECT_EQ(p.ErrorText, "Ошибка начала записи wave: ошибка -32");
        EXPECT_FALSE(p.DeviceOpen);
        fakes_->Playback->Failures.clear();
        fakes_->Playback->Failures["reset"] = -1;
        ASSERT_TRUE(p.Open(8, 8000));
        p.Stop();
        EXPECT_EQ(p.ErrorText, "Ошибка в WaveOutReset");
        fakes_->Playback->Failures.clear();
        ASSERT_TRUE(p.Open(8, 8000));
        ASSERT_TRUE(p.Start(4));
        fakes_->Playback->Calls.clear();
    } // destroyed open and playing: stopped first
    EXPECT_EQ(PlaybackCalls().first(), "reset");
    EXPECT_EQ(PlaybackCalls().last(), "close");
    EXPECT_FALSE(fakes_->Playback->Open);
}

// ---------------------------------------------------------------------------------------
// The live path: the player out of SoundRing, priming, the recorder's sends

class VoicePathTest : public WaveTest {
protected:
    void SetUp() override {
        WaveTest::SetUp();
        CreateSoundDevices();
    }
    void TearDown() override {
        DestroySoundDevices();
        WaveTest::TearDown();
    }
    static void Put(int count, uint8_t value) {
        for (int i = 0; i < count; ++i) {
            SoundRing[SoundWriteIdx] = value;
            SoundWriteIdx = (SoundWriteIdx + 1) % SoundRingSize;
        }
    }
};

TEST_F(VoicePathTest, FillBufferTakesWholeBlocksAndWraps) {
    uint8_t block[1024];
    Put(1023, 0x11);
    EXPECT_FALSE(Player->FillBuffer(block));
    EXPECT_EQ(SoundReadIdx, 0);
    Put(1, 0x22);
    ASSERT_TRUE(Player->FillBuffer(block));
    EXPECT_EQ(block[1023], 0x22);
    EXPECT_EQ(SoundRingFill(), 0);

    SoundReadIdx = SoundWriteIdx = 5632;
    for (int i = 0; i < 1024; ++i) {
        SoundRing[(5632 + i) % SoundRingSize] = uint8_t(i / 4);
    }
    SoundWriteIdx = 512;
    SoundMode = 1;
    EXPECT_FALSE(Player->FillBuffer(block)) << "the ring belongs to the file writer";
    SoundMode = 0;
    ASSERT_TRUE(Player->FillBuffer(block));
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[511], 127) << "position 6143";
    EXPECT_EQ(block[512], 128) << "position 0";
    EXPECT_EQ(SoundReadIdx, 512);
}

TEST_F(VoicePathTest, FourBlocksPrimeAndStartThePlayer) {
    StartVoicePlayback();
    ASSERT_TRUE(Player->DeviceOpen);
    for (int b = 0; b < 3; ++b) {
        Put(1024, uint8_t(0x10 + b));
        PrimeVoicePlayback();
        EXPECT_EQ(Player->PrimedCount, b + 1);
        EXPECT_TRUE(fakes_->Playback->Queued.empty()) << "block " << b << " only fills a buffer";
    }
    Put(1024, 0x13);
    PrimeVoicePlayback();
    EXPECT_EQ(fakes_->Playback->Queued.size(), 4u) << "the fourth block starts playback with all four";
    EXPECT_EQ(Player->Data[3][0], 0x13);
    Put(1024, 0x14);
    PrimeVoicePlayback();
    EXPECT_EQ(SoundRingFill(), 1024) << "once playing, priming leaves the ring to the player";
    fakes_->PlaybackDevice->Complete();
    EXPECT_EQ(Player->Data[0][0], 0x14);
    EXPECT_EQ(fakes_->Playback->Queued.size(), 4u);

    // Command 0 again while the player is open: it is closed before it opens afresh.
    fakes_->Playback->Calls.clear();
    StartVoicePlayback();
    EXPECT_EQ(PlaybackCalls().first(), "reset");
    EXPECT_EQ(PlaybackCalls().last(), "prepare 3");
    EXPECT_EQ(Player->PrimedCount, 0);
    EXPECT_TRUE(dialogs_.isEmpty());
}

} // namespace
