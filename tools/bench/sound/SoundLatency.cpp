// Latency of the live sound path on the loopback, through the test sound server
// (tools/sound/sound-server.sh) and the simulated station on a pseudo-terminal:
//   mouth to wire: a captured block handed over by the sound device -> its last byte
//                  written to the serial port;
//   wire to ear:   the first byte of a block sent by the station -> the block handed to
//                  the sound system for playing.
// Prints the median and the 99th percentile of each, in milliseconds.
#include "Station.h"

#include "link/Receiver.h"
#include "link/RxPump.h"
#include "link/Sound.h"
#include "link/Transport.h"
#include "state/LinkView.h"
#include "voice/VoicePath.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::mutex m;
std::vector<double> mouthToWire;
std::vector<int64_t> handed; // per played block: when it went to the sound system

class TTimedRecorder : public TMyWaveRecorder {
public:
    using TMyWaveRecorder::TMyWaveRecorder;
    void ProcessBuffer(uint16_t msg, uint8_t* data, int count) override {
        int64_t full = 0;
        for (int i = 0; i < BufCount; ++i)
            if (Data[i] == data)
                full = Headers[i]->DeviceTimeNs;
        TMyWaveRecorder::ProcessBuffer(msg, data, count);
        std::lock_guard lock(m);
        mouthToWire.push_back(double(WaveClockNs() - full) / 1e6);
    }
};

class TTimedPlayer : public TMyWavePlayer {
public:
    using TMyWavePlayer::TMyWavePlayer;
    bool FillBuffer(uint8_t* data) override {
        int i = 0;
        while (Data[i] != data)
            ++i;
        // The block this buffer held has been handed over and played.
        std::lock_guard lock(m);
        if (size_t(blocks[i]) >= handed.size())
            handed.resize(size_t(blocks[i]) + 1);
        handed[size_t(blocks[i])] = Headers[i]->DeviceTimeNs;
        if (!TMyWavePlayer::FillBuffer(data))
            return false;
        blocks[i] = next++;
        return true;
    }
    int blocks[4] = {0, 1, 2, 3}; // primed with the first four
    int next = 4;
};

class TSoundView : public ILinkView {
    void StartVoicePlayback() override { ::StartVoicePlayback(); }
    void StopVoicePlayback() override { StopPlayer(); }
    void PrimeVoicePlayback() override { ::PrimeVoicePlayback(); }
};

void Report(const char* what, std::vector<double> v) {
    if (v.empty()) {
        std::printf("%s: no samples\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    std::printf("%s: %zu blocks, median %.1f ms, p99 %.1f ms\n", what, v.size(), v[v.size() / 2],
                v[std::min(v.size() - 1, v.size() * 99 / 100)]);
}

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 10;
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        qputenv("PULSE_SERVER", "unix:/tmp/vesk-sound-" + QByteArray::number(getuid()) + "/native");
    if (qEnvironmentVariableIsEmpty("ALSA_CONFIG_PATH"))
        qputenv("ALSA_CONFIG_PATH", "/usr/share/alsa/alsa.conf:" VESK_SOURCE_DIR "/test/voice/asound.conf");

    QTemporaryDir root;
    vesksim::TStation station;
    if (!station.StartSerial(root.path().toStdString())) {
        std::fprintf(stderr, "station: %s\n", station.Error().c_str());
        return 1;
    }
    qputenv("VESK_DEV_DIR", QByteArray::fromStdString(station.DevDir()));
    if (!OpenComPort("ttyUSB0")) {
        std::fprintf(stderr, "port: %s\n", qPrintable(LastOpenErrorText()));
        return 1;
    }
    TSoundView view;
    SetLinkView(&view);
    Recorder = new TTimedRecorder(SoundBlock, 4);
    Player = new TTimedPlayer(SoundBlock, 4);

    // Mouth to wire: the microphone (the null source) to the port.
    SoundFlags = SoundSending;
    if (!Recorder->Open(8, 8000) || !Recorder->Start()) {
        std::fprintf(stderr, "recorder: %s\n", qPrintable(Recorder->ErrorText));
        return 1;
    }
    Pump(seconds * 1000);
    Recorder->Stop();
    SoundFlags = 0;

    // Wire to ear: live voice from the station at the pace of the sound.
    std::vector<int64_t> sent; // when the station sent each chunk of 64 bytes
    std::thread sender([&] {
        station.Send(vesksim::FromHex("FA 8F 80 85 8A 8F 80 8F 80 FB"));
        vesksim::TBytes chunk(64, 0x40);
        auto next = std::chrono::steady_clock::now();
        for (int c = 0; c < seconds * 125; ++c) {
            sent.push_back(WaveClockNs());
            station.Send(chunk);
            next += std::chrono::milliseconds(8);
            std::this_thread::sleep_until(next);
        }
    });
    Pump(seconds * 1000 + 1500);
    sender.join();
    station.Send(vesksim::FromHex("FA 8F 80 85 8A 8F 80 8F 8F FB"));
    Pump(300);
    std::vector<double> wireToEar;
    {
        std::lock_guard lock(m);
        // Block b begins with the ring byte of the command's closer, then station byte
        // b * 1024 - 1 onwards: its first byte left the station with chunk (b*1024-1)/64.
        for (size_t b = 1; b < handed.size(); ++b) {
            const size_t chunk = (b * 1024 - 1) / 64;
            if (handed[b] > 0 && chunk < sent.size())
                wireToEar.push_back(double(handed[b] - sent[chunk]) / 1e6);
        }
    }
    DestroySoundDevices();
    CloseComPort();
    Report("mouth to wire", mouthToWire);
    Report("wire to ear", wireToEar);
    return 0;
}
