// Latency of the live sound path on the loopback, through the test sound server
// (tools/sound/sound-server.sh) and the simulated station on a pseudo-terminal:
//   mouth to wire: the first sample of a captured block taken by the microphone -> the
//                  block's last byte written to the serial port; the block's 1024
//                  samples alone span 128 ms of it, the wait for the sound server to
//                  hand the block over the rest;
//   wire to sound system: the first byte of a block leaving the station -> the block
//                  handed to the sound system by the player (the program's own part);
//   wire to ear:   a sample leaving the station -> the same sample coming out of the
//                  sink, heard from outside the program on the sink's monitor; the
//                  player's four primed blocks alone span about 504 ms of it at the
//                  station's pace, the sound server's buffer the rest.
// Where each end is timed, and what that leaves out:
//   the microphone: its samples are counted from the moment the capture was started, one
//     every 125 us, so a block's first sample is timed when the microphone took it. The
//     sound system's own delay report cannot do this: a null source reports none, while
//     it hands its sound over only every 128 ms, and where a block ends in that cycle
//     (new at every call) adds 0 to 128 ms, so the rounds' medians spread. The count runs
//     at the nominal rate: a source whose clock runs apart from the system's shifts the
//     late figures of a round by as much (the test server's null source: about 1 ms a
//     second). A capture that lost samples or began late would read high: the tool warns.
//   the ear: the monitor's samples are placed by the sound system's delay report, as
//     they come in blocks of 128 ms. This leaves out what the sink does between taking a
//     sample and playing it: a null sink renders ahead of what it plays and hands its
//     monitor whole rendered stretches, so the figure can read low by up to the sink's
//     latency (an outside listener of short blocks measures about 500 ms where this
//     reads about 450 ms). A listener of short blocks here would time the monitor well but pulls
//     the sink's latency down and changes the path it measures, and counting the
//     monitor's samples fails on the monitor's slow and varying start; the tool prints
//     the program's own floor, the four primed blocks at the station's pace, beside the
//     figure.
// The station numbers its chunks of 64 bytes (the number modulo 250 is every byte of the
// chunk), so a sample heard is matched to the chunk it left with whatever the program
// dropped or held. The first blocks of each direction are left out (steady state). Each
// round opens the devices anew, as a new call does; the spread between the rounds'
// medians is printed with the figures.
// Sound that other programs play into the same sink (the sound tests of another run
// share the test server) spoils the figures: unless PULSE_SERVER names one, the tool
// starts a sound server of its own and stops it at the end, and it says so when it hears
// more changes on the monitor than the station sent.
//   vesk-sound-latency [seconds per direction and round, default 6] [rounds, default 3]
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
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int ChunkBytes = 64; // the station sends 64 bytes every 8 ms: 8000 a second
constexpr int Tags = 250;      // chunk numbers modulo 250 (0xFA is never a sound byte)
constexpr int SkipBlocks = 6;  // blocks left out at the start of each direction

std::mutex m;
std::vector<double> mouthToWire;
struct THeard {
    int tag;
    int64_t ns;
};
std::vector<THeard> heard;  // on the sink's monitor
std::vector<THeard> handed; // by the player to the sound system
bool foreign = false;       // sound not from the station was heard in the sink

constexpr int64_t SampleNs = 125000; // one sample at 8000 a second
// A buffer that comes in this much later than the stream's fastest one has lost samples
// on the way (a sound server hands sound over at least every 128 ms).
constexpr int64_t LostNs = 300000000;
constexpr int64_t SettleSamples = 4000;
bool lost = false; // a capture lost samples or started late: the counts are off

// Counts a capture stream's samples from the capture's start: sample i was taken i
// sample periods after it. Notes how soon each buffer came in after its last sample, to
// tell a stream that began late or lost samples.
class TSampleCount {
public:
    /// Just before the capture is started.
    void Started() {
        startNs_ = WaveClockNs();
        samples_ = 0;
        arrivals_.clear();
        arrivals_.reserve(4096);
    }
    /// On the device's thread: count samples have come in; the index of the first.
    int64_t Take(int count) {
        const int64_t first = samples_;
        samples_ += count;
        // The first half second is left out: a stream may begin with a burst of sound
        // the server held from before.
        if (samples_ > SettleSamples)
            arrivals_.push_back(WaveClockNs() - samples_ * SampleNs);
        return first;
    }
    int64_t StartNs() const { return startNs_; }
    /// After the capture: the time of sample 0 as the soonest buffer (after the first
    /// half second) places it.
    int64_t FirstNs() const {
        return arrivals_.empty() ? startNs_ : *std::min_element(arrivals_.begin(), arrivals_.end());
    }
    /// After the capture: a buffer came in far later than the fastest one.
    bool Lost() const {
        return !arrivals_.empty() &&
               *std::max_element(arrivals_.begin(), arrivals_.end()) - FirstNs() > LostNs;
    }

private:
    int64_t startNs_ = 0;
    int64_t samples_ = 0;
    std::vector<int64_t> arrivals_; // per buffer: its arrival less its samples so far
};

class TTimedRecorder : public TMyWaveRecorder {
public:
    using TMyWaveRecorder::TMyWaveRecorder;
    TSampleCount Count;
    void ProcessBuffer(uint16_t msg, uint8_t* data, int count) override {
        const int64_t taken = Count.StartNs() + Count.Take(count) * SampleNs;
        TMyWaveRecorder::ProcessBuffer(msg, data, count); // returns once on the wire
        const int64_t wire = WaveClockNs();
        std::lock_guard lock(m);
        if (++blocks_ > SkipBlocks)
            mouthToWire.push_back(double(wire - taken) / 1e6);
    }
    void Restart() { blocks_ = 0; }

private:
    int blocks_ = 0;
};

// Notes when each block went to the sound system: a buffer coming back still holds the
// block it played, and its header the time the device handed that block over; a buffer
// left idle is offered again with the same block, counted once.
class TTimedPlayer : public TMyWavePlayer {
public:
    using TMyWavePlayer::TMyWavePlayer;
    bool FillBuffer(uint8_t* data) override {
        int i = 0;
        while (i < BufCount - 1 && Data[i] != data)
            ++i;
        if (fresh_[i]) {
            std::lock_guard lock(m);
            handed.push_back({data[1], Headers[i]->DeviceTimeNs});
        }
        fresh_[i] = TMyWavePlayer::FillBuffer(data);
        return fresh_[i];
    }
    /// The four primed buffers hold new blocks.
    void Primed() { std::fill(std::begin(fresh_), std::end(fresh_), true); }

private:
    bool fresh_[MaxWaveBuffers] = {};
};

// Listens on the sink's monitor: every change of the sample value is a chunk heard. The
// samples are placed by the sound system's delay (see the head of the file).
class TEar : public TWaveRecorder {
public:
    using TWaveRecorder::TWaveRecorder;
    void ProcessBuffer(uint16_t, uint8_t* data, int count) override {
        int64_t first = 0;
        for (int i = 0; i < BufCount; ++i)
            if (Data[i] == data)
                first = Headers[i]->SampleTimeNs;
        if (first <= 0)
            return;
        std::lock_guard lock(m);
        for (int i = 0; i < count; ++i) {
            // 0x80 is silence and 0x7F the first byte of a reception: no chunk numbers.
            if (data[i] != last_ && data[i] != 0x80 && data[i] != 0x7F)
                heard.push_back({data[i], first + int64_t(i) * SampleNs});
            last_ = data[i];
        }
    }

private:
    int last_ = -1;
};

class TSoundView : public ILinkView {
    void StartVoicePlayback() override {
        ::StartVoicePlayback();
        static_cast<TTimedPlayer*>(Player)->Primed();
    }
    void StopVoicePlayback() override { StopPlayer(); }
    void PrimeVoicePlayback() override { ::PrimeVoicePlayback(); }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void Report(const char* what, const char* spans, const std::vector<std::vector<double>>& rounds) {
    std::vector<double> all, medians;
    for (const auto& r : rounds) {
        all.insert(all.end(), r.begin(), r.end());
        if (!r.empty())
            medians.push_back(Median(r));
    }
    std::printf("%s (%s):\n", what, spans);
    if (all.empty()) {
        std::printf("  no samples\n");
        return;
    }
    std::sort(all.begin(), all.end());
    std::printf("  %zu figures, median %.1f ms, p99 %.1f ms\n", all.size(), Median(all),
                all[std::min(all.size() - 1, all.size() * 99 / 100)]);
    std::printf("  medians of the rounds:");
    for (double v : medians)
        std::printf(" %.1f", v);
    const auto [lo, hi] = std::minmax_element(medians.begin(), medians.end());
    std::printf(" ms (spread %.1f %%)\n", *lo > 0 ? (*hi - *lo) * 100 / *lo : 0.0);
}

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

// Figures of the events seen in steady state: each matched to the latest chunk of its
// number sent before it.
std::vector<double> Match(const std::vector<THeard>& seen, const std::vector<int64_t>& sent) {
    std::vector<double> figures;
    const int64_t steady = sent.empty() ? 0 : sent.front() + int64_t(SkipBlocks) * 128000000;
    for (const THeard& h : seen)
        for (size_t c = sent.size(); c-- > 0;)
            if (int(c % Tags) == h.tag && sent[c] <= h.ns) {
                if (sent[c] >= steady)
                    figures.push_back(double(h.ns - sent[c]) / 1e6);
                break;
            }
    return figures;
}

// One round of live voice from the station at the pace of the sound, heard on the sink's
// monitor: the wire-to-sound-system figure of every block, the wire-to-ear figure of
// every chunk.
void WireToEar(vesksim::TStation& station, int seconds, std::vector<double>& toSystem,
               std::vector<double>& toEar) {
    {
        std::lock_guard lock(m);
        heard.clear();
        handed.clear();
    }
    qputenv("PULSE_SOURCE", "vesk_sink.monitor");
    TEar ear(SoundBlock, 4);
    const bool listening = ear.Open(8, 8000) && ear.Start();
    qunsetenv("PULSE_SOURCE");
    if (!listening) {
        std::fprintf(stderr, "monitor: %s\n", qPrintable(ear.ErrorText));
        return;
    }
    std::vector<int64_t> sent; // when the station sent each chunk
    sent.reserve(size_t(seconds) * 125 + 1);
    std::atomic<bool> done{false};
    std::thread sender([&] {
        station.Send(vesksim::FromHex("FA 8F 80 85 8A 8F 80 8F 80 FB"));
        auto next = std::chrono::steady_clock::now();
        for (int c = 0; c < seconds * 125; ++c) {
            sent.push_back(WaveClockNs());
            station.Send(vesksim::TBytes(ChunkBytes, uint8_t(c % Tags)));
            next += std::chrono::milliseconds(8);
            std::this_thread::sleep_until(next);
        }
        done = true;
    });
    while (!done)
        Pump(50);
    sender.join();
    Pump(1000); // the last blocks play out
    station.Send(vesksim::FromHex("FA 8F 80 85 8A 8F 80 8F 8F FB"));
    Pump(200);
    ear.Stop();
    std::lock_guard lock(m);
    toSystem = Match(handed, sent);
    toEar = Match(heard, sent);
    // Every chunk is heard as one change of value; far more changes are someone else's sound.
    if (heard.size() > sent.size() * 3 / 2)
        foreign = true;
}

std::vector<double> MouthToWire(int seconds) {
    {
        std::lock_guard lock(m);
        mouthToWire.clear();
    }
    SoundFlags = SoundSending;
    auto* recorder = static_cast<TTimedRecorder*>(Recorder);
    recorder->Restart();
    bool recording = Recorder->Open(8, 8000);
    recorder->Count.Started();
    if (!recording || !Recorder->Start()) {
        std::fprintf(stderr, "recorder: %s\n", qPrintable(Recorder->ErrorText));
        return {};
    }
    Pump(seconds * 1000);
    Recorder->Stop();
    SoundFlags = 0;
    // Counted from the start: a stream whose first block came in more than a handing-over
    // cycle late began late, and the count would read high.
    if (recorder->Count.FirstNs() - recorder->Count.StartNs() > 128000000 + 50000000 ||
        recorder->Count.Lost())
        lost = true;
    std::lock_guard lock(m);
    return mouthToWire;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(3, atoi(argv[1])) : 6;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    // A sound server of its own is stopped, and its folder removed, however the tool ends.
    struct TOwnServer {
        QByteArray Command;
        ~TOwnServer() {
            if (!Command.isEmpty()) [[maybe_unused]]
                const int stopped = std::system((Command + " stop >/dev/null").constData());
        }
    } ownServer;
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        ownServer.Command = "VESK_SOUND_DIR=/tmp/vesk-sound-latency-" + QByteArray::number(getuid()) +
                            " " VESK_SOURCE_DIR "/tools/sound/sound-server.sh";
        if (std::system((ownServer.Command + " start >/dev/null").constData()) != 0) {
            std::fprintf(stderr, "no sound server of its own could be started\n");
            return 1;
        }
        qputenv("PULSE_SERVER", "unix:/tmp/vesk-sound-latency-" + QByteArray::number(getuid()) + "/native");
    }
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

    std::vector<std::vector<double>> mouth;
    std::vector<std::vector<double>> toSystem(static_cast<size_t>(rounds));
    std::vector<std::vector<double>> toEar(static_cast<size_t>(rounds));
    // A warm-up call, not counted: the first stream of a freshly started sound server
    // starts late, and its call then keeps blocks queued for its whole length.
    {
        std::vector<double> unused1, unused2;
        WireToEar(station, 3, unused1, unused2);
        foreign = false;
        lost = false;
    }
    for (int r = 0; r < rounds; ++r) {
        mouth.push_back(MouthToWire(seconds));
        WireToEar(station, seconds, toSystem[size_t(r)], toEar[size_t(r)]);
    }
    DestroySoundDevices();
    CloseComPort();
    if (foreign)
        std::printf("WARNING: other sound was heard in the sink: the wire-to-ear figures are not "
                    "trustworthy (run on a sound server of its own)\n");
    if (lost)
        std::printf("WARNING: a capture lost samples or began late (a machine too busy, or a sound "
                    "server slow to start): its figures are off by as many\n");
    std::printf("%d rounds of %d s each way, after a warm-up call\n", rounds, seconds);
    Report("mouth to wire", "a block's first sample taken by the microphone -> its last byte on the line",
           mouth);
    std::printf("  (a null source hands its sound over every 128 ms: where a block ends in that cycle,\n"
                "  new at every call, adds 0 to 128 ms, so the rounds' medians spread)\n");
    Report("wire to sound system",
           "a block's first byte leaving the station -> the block handed to the sound system", toSystem);
    Report("wire to ear", "a sample leaving the station -> the same sample out of the sink", toEar);
    std::printf("  (placed by the sound system's delay report on the monitor: a null sink renders ahead,\n"
                "  so this may read low by up to its latency; no sample is heard before the four primed\n"
                "  blocks, %.0f ms at the station's pace)\n",
                double(SoundBlock * 4 - ChunkBytes) * 1000 / 8000);
    return 0;
}
