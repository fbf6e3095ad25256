// Real sound through ALSA's default device, pointed at the test sound server (a PulseAudio
// daemon with a null sink and source, tools/sound/sound-server.sh): the station's live
// voice is played into the sink and comes back from its monitor; push-to-talk records the
// null source and sends it to the station.
#include "Station.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"

#include "app/Application.h"
#include "app/TMainForm.h"
#include "link/Receiver.h"
#include "link/Sound.h"
#include "link/Transport.h"
#include "platform/Clock.h"
#include "platform/WaveDevice.h"
#include "state/UVesk.h"
#include "voice/TFCall.h"
#include "voice/VoicePath.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

using vesksim::FromHex;
using vesksim::TBytes;
using Ms = std::chrono::milliseconds;

namespace {

// Points ALSA's default device at the test server (its own configuration through
// ALSA_CONFIG_PATH, nothing in the user's home) and says why not when it does not answer.
QString UseTestSoundServer() {
    static const QString why = [] {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
            QByteArray dir = qgetenv("VESK_SOUND_DIR");
            if (dir.isEmpty())
                dir = "/tmp/vesk-sound-" + QByteArray::number(getuid());
            qputenv("PULSE_SERVER", "unix:" + dir + "/native");
        }
        qputenv("ALSA_CONFIG_PATH", "/usr/share/alsa/alsa.conf:" VESK_SOURCE_DIR "/test/voice/asound.conf");
        const QByteArray server = qgetenv("PULSE_SERVER");
        const QByteArray path = server.startsWith("unix:") ? server.mid(5) : server;
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.constData(), sizeof addr.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool up = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        if (fd >= 0)
            ::close(fd);
        return up ? QString() : QString("no sound server answers on %1").arg(QString::fromUtf8(path));
    }();
    return why;
}

// The sound tests fail loudly without the server, unless VESK_SOUND_TESTS=skip says to skip.
#define REQUIRE_SOUND_SERVER()                                                                               \
    do {                                                                                                     \
        const QString why = UseTestSoundServer();                                                            \
        if (why.isEmpty())                                                                                   \
            break;                                                                                           \
        if (qgetenv("VESK_SOUND_TESTS") == "skip")                                                           \
            GTEST_SKIP() << why.toStdString() << " (VESK_SOUND_TESTS=skip)";                                 \
        FAIL() << why.toStdString()                                                                          \
               << ": start it with tools/sound/sound-server.sh start, or set VESK_SOUND_TESTS=skip";         \
    } while (0)

// A test that needs a sound server of its own starts one, or skips saying why where the
// run allows it.
#define START_OWN_SOUND_SERVER(server)                                                                       \
    do {                                                                                                     \
        const QString why = (server).Start();                                                                \
        if (why.isEmpty())                                                                                   \
            break;                                                                                           \
        if (qgetenv("VESK_SOUND_TESTS") == "skip")                                                           \
            GTEST_SKIP() << why.toStdString() << " (VESK_SOUND_TESTS=skip)";                                 \
        FAIL() << why.toStdString();                                                                         \
    } while (0)

// Collects every captured block.
class TCollectingRecorder : public TWaveRecorder {
public:
    using TWaveRecorder::TWaveRecorder;
    ~TCollectingRecorder() override { Stop(); }
    void ProcessBuffer(uint16_t, uint8_t* data, int count) override {
        std::lock_guard lock(m);
        Samples.insert(Samples.end(), data, data + count);
    }
    size_t Size() {
        std::lock_guard lock(m);
        return Samples.size();
    }
    std::mutex m;
    std::vector<uint8_t> Samples;
};

// Relative power of frequency f in the samples (Goertzel).
double Power(const std::vector<uint8_t>& s, size_t from, size_t n, double f) {
    const double w = 2 * M_PI * f / 8000, c = 2 * std::cos(w);
    double p1 = 0, p2 = 0;
    for (size_t i = 0; i < n; ++i) {
        const double p0 = (double(s[from + i]) - 128) + c * p1 - p2;
        p2 = p1;
        p1 = p0;
    }
    return p1 * p1 + p2 * p2 - c * p1 * p2;
}

class SoundServerTest : public TAppFixture {
protected:
    void SetUp() override {
        REQUIRE_SOUND_SERVER();
        TAppFixture::SetUp();
        ASSERT_TRUE(station_.StartSerial(root_.path().toStdString())) << station_.Error();
        Start();
        ASSERT_TRUE(ComPortOpen());
        ASSERT_TRUE(station_.WaitForCount(2, std::chrono::seconds(5)));
        station_.Clear();
        ResetReceiver();
    }
    void TearDown() override {
        if (sender_.joinable())
            sender_.join();
        TAppFixture::TearDown();
        ResetReceiver();
    }
    QString Hex() const { return QString::fromStdString(vesksim::ToHex(station_.Received())); }

    vesksim::TStation station_;
    std::thread sender_;
};

TEST_F(SoundServerTest, StationToneComesBackFromTheSinkAsOneKilohertz) {
    // The recorder listens to what the player plays: the sink's monitor is the loopback.
    qputenv("PULSE_SOURCE", "vesk_sink.monitor");
    TCollectingRecorder monitor(1024, 4);
    ASSERT_TRUE(monitor.Ready) << monitor.ErrorText.toStdString();
    ASSERT_TRUE(monitor.Open(8, 8000)) << monitor.ErrorText.toStdString();
    ASSERT_TRUE(monitor.Start());

    // 2.5 s of a 1 kHz tone as live voice, at the pace of the sound (80 bytes per 10 ms).
    sender_ = std::thread([this] {
        station_.Send(FromHex("FA 8F 80 85 8A 8F 80 8F 80 FB"));
        TBytes chunk(80);
        auto next = std::chrono::steady_clock::now();
        for (int c = 0; c < 250; ++c) {
            for (size_t i = 0; i < chunk.size(); ++i)
                chunk[i] = uint8_t(std::lround(128 + 100 * std::sin(2 * M_PI * double(i % 8) / 8)));
            station_.Send(chunk);
            next += Ms(10);
            std::this_thread::sleep_until(next);
        }
    });
    ASSERT_TRUE(PumpUntil([&] { return monitor.Size() >= 8000 * 3; }, 10000));
    sender_.join();
    station_.Send(FromHex("FA 8F 80 85 8A 8F 80 8F 8F FB"));
    ASSERT_TRUE(PumpUntil([] { return !Player->DeviceOpen; }, 5000)) << "command 15 stops the player";
    monitor.Stop();
    qunsetenv("PULSE_SOURCE");

    // The loudest stretch of 2048 samples is the tone: 1 kHz, by power and by zero crossings.
    const std::vector<uint8_t>& s = monitor.Samples;
    size_t best = 0;
    double bestEnergy = 0;
    for (size_t from = 0; from + 2048 <= s.size(); from += 512) {
        double e = 0;
        for (size_t i = 0; i < 2048; ++i)
            e += std::pow(double(s[from + i]) - 128, 2);
        if (e > bestEnergy)
            bestEnergy = e, best = from;
    }
    ASSERT_GT(bestEnergy / 2048, 1000.0) << "the tone reached the sink (RMS above 30)";
    const double tone = Power(s, best, 2048, 1000);
    for (double other : {250.0, 500.0, 1500.0, 2000.0, 3000.0})
        EXPECT_GT(tone, 50 * Power(s, best, 2048, other)) << other << " Hz";
    int crossings = 0;
    for (size_t i = best + 1; i < best + 2048; ++i)
        crossings += (s[i - 1] < 128) != (s[i] < 128);
    EXPECT_NEAR(crossings, 512, 16) << "two crossings a cycle, 256 cycles";
}

TEST_F(SoundServerTest, PushToTalkSendsBlocksOfTheMicrophoneAboutEvery128Ms) {
    // The station notes when each of its reads of raw sound arrived.
    std::mutex m;
    std::vector<std::pair<std::chrono::steady_clock::time_point, size_t>> arrivals;
    size_t raw = 0;
    station_.SetHandler([&](const vesksim::TUnit& u, vesksim::TStation&) {
        if (u.kind != vesksim::TUnit::Raw)
            return;
        std::lock_guard lock(m);
        raw += u.raw.size();
        arrivals.emplace_back(std::chrono::steady_clock::now(), raw);
    });
    CurrentChannel = 3;
    FCall->sbTg->setChecked(true);
    FCall->sbTgClick();
    ASSERT_TRUE(Recorder->Recording) << Recorder->ErrorText.toStdString();
    PumpUntil([] { return false; }, 2000);
    FCall->sbTg->setChecked(false);
    FCall->sbTgClick();
    ASSERT_TRUE(PumpUntil([&] { return Hex().endsWith("93 D4"); }, 5000));

    const QString got = Hex();
    const QString press = "93 D3 93 D3 FA 8F 80 85 8A 8F 80 8F 80 FB ";
    const QString release = " FA 8F 80 85 8A 8F 80 8F 8F FB FA 8F 80 85 8A 8F 80 8F 8F FB 93 D4";
    ASSERT_TRUE(got.startsWith(press));
    ASSERT_TRUE(got.endsWith(release));
    const int samples = int(got.size() - press.size() - release.size() + 1) / 3;
    EXPECT_EQ(samples % 1024, 0) << "whole blocks";
    EXPECT_GE(samples / 1024, 12);
    EXPECT_LE(samples / 1024, 19);

    // The moment each block was complete at the station, and the gaps between them.
    std::vector<double> gaps;
    {
        std::lock_guard lock(m);
        std::chrono::steady_clock::time_point last{};
        size_t block = 1;
        for (const auto& [when, total] : arrivals) {
            while (total >= block * 1024) {
                if (block > 1)
                    gaps.push_back(std::chrono::duration<double, std::milli>(when - last).count());
                last = when;
                ++block;
            }
        }
    }
    ASSERT_GE(gaps.size(), 12u);
    std::vector<double> steady(gaps.end() - 6, gaps.end()); // the last six gaps: the running pace
    std::sort(steady.begin(), steady.end());
    EXPECT_NEAR(steady[3], 128, 30) << "median gap between blocks, ms";
}

TEST_F(SoundServerTest, ExitWithBothDevicesRunningNeitherHangsNorCrashes) {
    station_.Send(FromHex("FA 8F 80 85 8A 8F 80 8F 80 FB"));
    station_.Send(TBytes(5000, 0x70));
    ASSERT_TRUE(PumpUntil([] { return Player->PrimedCount == 4; }, 5000));
    FCall->sbTg->setChecked(true);
    FCall->sbTgClick(); // stops the playback, starts the recorder
    ASSERT_TRUE(Recorder->Recording);
    StartVoicePlayback();
    ASSERT_TRUE(Player->DeviceOpen);
    const auto start = std::chrono::steady_clock::now();
    DestroyForms();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(Recorder, nullptr);
    EXPECT_EQ(Player, nullptr);
}

TEST_F(SoundServerTest, DeviceThatCannotBeOpenedTellsWhyInRussian) {
    const QByteArray server = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/vesk-sound");
    TWaveRecorder r(1024, 4);
    const bool opened = r.Open(8, 8000);
    qputenv("PULSE_SERVER", server);
    EXPECT_FALSE(opened);
    EXPECT_TRUE(r.ErrorText.startsWith("Не могу открыть входное устройство для записи: \r"));
    const QString reason = r.ErrorText.section(QLatin1Char('\r'), 1);
    EXPECT_FALSE(reason.isEmpty()) << "followed by the reason";
    EXPECT_FALSE(reason.contains(QRegularExpression("[A-Za-z]{3}")))
        << reason.toStdString() << ": in Russian";
    PumpUntil([&] { return !dialogs_.isEmpty(); }, 2000);
    ASSERT_EQ(dialogs_.size(), 1);

    const std::unique_ptr<IWaveDevice> device = CreateAlsaWaveDevice(TWaveDirection::Playback);
    EXPECT_EQ(device->ErrorText(-EBUSY), "звуковое устройство занято другой программой");
    EXPECT_TRUE(device->ErrorText(-ENOSPC).startsWith("ошибка звуковой системы -28 ("))
        << "a rare fault keeps its number";
}

// What a capture device has told its owner, from the device's thread.
struct TCaptureLog {
    std::mutex m;
    int opens = 0;
    std::vector<int64_t> filled; // DeviceTimeNs of each filled buffer, in order

    static void Notice(TWaveNotice notice, void* instance, TWaveHeader* h) {
        auto* log = static_cast<TCaptureLog*>(instance);
        std::lock_guard lock(log->m);
        if (notice == TWaveNotice::Open)
            ++log->opens;
        if (notice == TWaveNotice::Data && h && h->BytesRecorded > 0)
            log->filled.push_back(h->DeviceTimeNs);
    }
    size_t Filled() {
        std::lock_guard lock(m);
        return filled.size();
    }
};

TEST_F(SoundServerTest, ACaptureDeviceFillsNothingBeforeItsStartThenBuffersInTimeOrder) {
    REQUIRE_SOUND_SERVER();
    const std::unique_ptr<IWaveDevice> device = CreateAlsaWaveDevice(TWaveDirection::Capture);
    TWaveFormat format;
    format.SamplesPerSec = 8000;
    format.AvgBytesPerSec = 8000;
    format.BlockAlign = 1;
    format.BitsPerSample = 8;
    TCaptureLog log;
    ASSERT_EQ(device->Open(format, 256, 4, &TCaptureLog::Notice, &log), 0);
    EXPECT_EQ(log.opens, 1) << "the owner hears of the open";
    std::vector<std::vector<uint8_t>> data(4, std::vector<uint8_t>(256));
    std::vector<TWaveHeader> headers(4);
    for (size_t i = 0; i < headers.size(); ++i) {
        headers[i].Data = data[i].data();
        headers[i].BufferLength = 256;
        ASSERT_EQ(device->Prepare(headers[i]), 0);
        ASSERT_EQ(device->Queue(headers[i]), 0);
    }
    std::this_thread::sleep_for(Ms(150));
    EXPECT_EQ(log.Filled(), 0u) << "queued buffers wait for the start";
    const int64_t started = WaveClockNs();
    ASSERT_EQ(device->Start(), 0);
    EXPECT_TRUE(PumpUntil([&] { return log.Filled() >= 4; }, 5000));
    device->Reset();
    {
        std::lock_guard lock(log.m);
        ASSERT_GE(log.filled.size(), 2u);
        EXPECT_GE(log.filled.front(), started);
        EXPECT_TRUE(std::is_sorted(log.filled.begin(), log.filled.end()));
        EXPECT_GT(log.filled.back(), log.filled.front()) << "a clock that moves on";
    }
    for (TWaveHeader& h : headers)
        device->Unprepare(h);
    EXPECT_EQ(device->Close(), 0);
}

// A sound server of the test's own, stopped and started under a running device: the shared
// test server serves other runs. It is started whatever VESK_SOUND_TESTS says: the test
// needs it.
class TOwnSoundServer {
public:
    TOwnSoundServer()
        : command_("env -u VESK_SOUND_TESTS VESK_SOUND_DIR=" + dir_.path().toUtf8() +
                   " " VESK_SOURCE_DIR "/tools/sound/sound-server.sh") {}
    ~TOwnSoundServer() { Stop(); }
    /// Empty once it answers, else what the starter said.
    QString Start() {
        const QByteArray log = dir_.filePath("start.log").toUtf8();
        if (std::system((command_ + " start >" + log + " 2>&1").constData()) == 0)
            return {};
        QFile f(QString::fromUtf8(log));
        const QString said =
            f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
        return "no sound server of the test's own: " + (said.isEmpty() ? QString("it did not start") : said);
    }
    void Stop() {
        [[maybe_unused]] const int rc = std::system((command_ + " stop >/dev/null 2>&1").constData());
    }
    QByteArray Address() const { return "unix:" + dir_.path().toUtf8() + "/native"; }
    /// The sound goes to this server until the returned guard ends.
    struct TInUse {
        QByteArray Back;
        ~TInUse() { qputenv("PULSE_SERVER", Back); }
    };
    [[nodiscard]] TInUse Use() const {
        QByteArray back = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", Address());
        return TInUse{back};
    }

private:
    QTemporaryDir dir_;
    QByteArray command_;
};

// Everything written to stderr between its start and Take.
class TStderrCapture {
public:
    TStderrCapture() : file_(std::tmpfile()) {
        std::fflush(stderr);
        saved_ = ::dup(2);
        ::dup2(::fileno(file_), 2);
    }
    ~TStderrCapture() { Take(); }
    long Take() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, 2);
            ::close(saved_);
            saved_ = -1;
            std::fseek(file_, 0, SEEK_END);
            size_ = std::ftell(file_);
            std::fclose(file_);
        }
        return size_;
    }

private:
    FILE* file_;
    int saved_ = -1;
    long size_ = 0;
};

TEST_F(SoundServerTest, AServerLostMidCallStopsTheRecorderOnceAndTheNextOpenWorks) {
    TOwnSoundServer server;
    START_OWN_SOUND_SERVER(server);
    const auto inUse = server.Use();

    TCollectingRecorder recorder(1024, 4);
    ASSERT_TRUE(recorder.Open(8, 8000)) << recorder.ErrorText.toStdString();
    ASSERT_TRUE(recorder.Start());
    ASSERT_TRUE(PumpUntil([&] { return recorder.Size() >= 2048; }, 10000));
    long written = 0;
    {
        TStderrCapture err;
        server.Stop();
        EXPECT_TRUE(PumpUntil([&] { return !recorder.DeviceOpen; }, 20000)) << "stopped, not spinning";
        PumpUntil([] { return false; }, 500);
        written = err.Take();
    }
    EXPECT_FALSE(recorder.Recording);
    EXPECT_LT(written, 2048) << "no flood of messages";
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_TRUE(dialogs_[0].Text.startsWith("Ошибка добавления буфера: ")) << dialogs_[0].Text.toStdString();

    ASSERT_EQ(server.Start(), "");
    const size_t before = recorder.Size();
    ASSERT_TRUE(recorder.Open(8, 8000)) << recorder.ErrorText.toStdString();
    ASSERT_TRUE(recorder.Start());
    EXPECT_TRUE(PumpUntil([&] { return recorder.Size() >= before + 2048; }, 10000)) << "records again";
    recorder.Stop();
}

// A player whose owner has nothing more to play once told so: the buffers already with
// the device play out and then the player runs dry, as a live call between blocks.
class TDryingPlayer : public TWavePlayer {
public:
    using TWavePlayer::TWavePlayer;
    ~TDryingPlayer() override { Stop(); }
    bool FillBuffer(uint8_t* data) override {
        std::memset(data, 0x80, size_t(BufLen));
        return !Dry;
    }
    std::atomic<bool> Dry{false};
};

TEST_F(SoundServerTest, AServerLostDuringPlaybackIsToldEvenWhenNothingMoreIsPlayed) {
    TOwnSoundServer server;
    START_OWN_SOUND_SERVER(server);
    const auto inUse = server.Use();

    // Eight seconds of sound with the device: the server goes while they play.
    TDryingPlayer player(8000, 8);
    ASSERT_TRUE(player.Open(8, 8000)) << player.ErrorText.toStdString();
    for (int i = 0; i < player.BufCount; ++i)
        std::memset(player.Data[i], 0x80, size_t(player.BufLen));
    player.Dry = true;
    ASSERT_TRUE(player.Start(player.BufCount));
    server.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !dialogs_.isEmpty(); }, 20000)) << "the loss is told";
    EXPECT_TRUE(dialogs_[0].Text.startsWith("Ошибка воспроизведения звука: "))
        << dialogs_[0].Text.toStdString();
    const QString reason = dialogs_[0].Text.section(QStringLiteral(": "), 1);
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(reason.contains(QRegularExpression("[A-Za-z]{3}")))
        << reason.toStdString() << ": in Russian";
    EXPECT_TRUE(PumpUntil([&] { return !player.DeviceOpen; }, 5000)) << "stopped and closed";

    // The next call finds the server still gone: the same loss, not told again.
    EXPECT_FALSE(player.Open(8, 8000));
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(dialogs_.size(), 1);
}

} // namespace
