#pragma once
// The started program with the simulated station on its serial port, fake sound devices and
// a driven clock: what the tests of the push-to-talk windows start from.

#include "Station.h"
#include "support/AppFixture.h"

#include "app/Application.h"
#include "link/Receiver.h"
#include "link/Sound.h"
#include "link/Transport.h"
#include "platform/Clock.h"
#include "platform/FakeWaveDevice.h"

// The sound commands the call window sends: start (0) and end (15).
inline constexpr char Cmd0[] = "FA 8F 80 85 8A 8F 80 8F 80 FB";
inline constexpr char Cmd15[] = "FA 8F 80 85 8A 8F 80 8F 8F FB";

class TCallFixture : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        fakes_ = InstallFakeWaveDevices();
        clock_.SetStep(5); // every reading of the clock moves 5 ms on
        SetClock(&clock_);
        ASSERT_TRUE(station_.StartSerial(root_.path().toStdString())) << station_.Error();
        Start();
        ASSERT_TRUE(ComPortOpen());
        ASSERT_TRUE(station_.WaitForCount(2, std::chrono::seconds(5))) << "the start-up resets";
        station_.Clear();
        ResetReceiver();
        SoundReadIdx = SoundWriteIdx = 0;
    }
    void TearDown() override {
        DestroyForms(); // the sound devices go with the window, before the fakes
        SetWaveDeviceFactory(nullptr);
        ResetReceiver();
        TAppFixture::TearDown();
    }

    std::shared_ptr<TFakeWaveDevices> fakes_;
    TFakeClock clock_;
    vesksim::TStation station_;
};
