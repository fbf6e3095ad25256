// Throughput of the byte receiver with the decoders behind it and no window, on three
// streams: frames of digits, events, and received sound.
#include "link/EventDecoder.h"
#include "link/Receiver.h"
#include "link/Sound.h"
#include "state/LinkView.h"
#include "state/UVesk.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

void Append(TBytes& s, std::initializer_list<uint8_t> bytes) {
    s.insert(s.end(), bytes);
}

// Measurements, channel numbers, numbers and factory numbers as a station reports them in
// a test, repeated to about 64 KB.
TBytes FrameStream() {
    TBytes s;
    while (s.size() < 65536) {
        Append(s, {0xEA, 0x80, 0x83, 0x80, 0x82, 0x83, 0x85, 0x81, 0x89, 0xEB});
        Append(s, {0xEA, 0x80, 0x82, 0x81, 0x82, 0x81, 0x85, 0x82, 0x80, 0xEB});
        Append(s, {0xEA, 0x80, 0x84, 0x80, 0x80, 0x81, 0x82, 0x83, 0x84, 0xEB});
        Append(s, {0xE4, 0x80, 0x81, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0xE5});
        Append(s, {0xE8, 0x80, 0x81, 0x81, 0x81, 0x81, 0x81, 0x82, 0x83, 0xE9});
        Append(s, {0xEE, 0x81, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0xEF});
        Append(s, {0xEC, 0x80, 0x80, 0x81, 0x82, 0x83, 0x84, 0x80, 0x80, 0xED});
        Append(s, {0xF8, 0x81, 0x82, 0x80, 0x85, 0x80, 0x87, 0x82, 0x84, 0xF9});
        Append(s, {0xF6, 0x80, 0x80, 0x81, 0x82, 0x83, 0x8A, 0x8B, 0x8C, 0xF7});
    }
    return s;
}

// The events of test sessions: channel, tones, acknowledgements, busy, heartbeat, free.
TBytes EventStream() {
    TBytes s;
    while (s.size() < 65536)
        Append(s, {0x93, 0xC9, 0xA9, 0xBD, 0xBA, 0xB2, 0xB1, 0xB0, 0xBE, 0xBB, 0xB6, 0xB5, 0xB3, 0xA1, 0xA4,
                   0xCB, 0x92, 0xBF, 0xBC, 0xB8, 0xB7, 0xB4, 0xA2, 0xA5, 0xC7, 0xCA, 0xCB, 0xC0, 0x97});
    return s;
}

// Live sound: the device's sound command, then samples of every value.
TBytes SoundStream() {
    TBytes s{0xFA, 0x8F, 0x80, 0x85, 0x8A, 0x8F, 0x80, 0x8F, 0x80, 0xFB};
    std::mt19937 random(7);
    while (s.size() < 65536)
        s.push_back(uint8_t(random()));
    return s;
}

// Takes the received sound away in blocks as the player does, so the ring never fills.
class TBenchView : public ILinkView {
public:
    void PrimeVoicePlayback() override { SoundReadIdx = (SoundReadIdx + 1024) % SoundRingSize; }
};

void Receive(benchmark::State& state, TBytes (*make)()) {
    static TBenchView view;
    SetLinkView(&view);
    SetStartupDefaults();
    ResetReceiver();
    ResetEventDecoder();
    const TBytes stream = make();
    // The sound stream's command switches the receiver to sound once; the rest is samples.
    for (uint8_t b : stream)
        ReceiveByte(b);
    for (auto _ : state) {
        for (uint8_t b : stream)
            ReceiveByte(b);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
    ResetReceiver();
    SetLinkView(nullptr);
}

} // namespace

BENCHMARK_CAPTURE(Receive, frames, FrameStream)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Receive, events, EventStream)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Receive, sound, SoundStream)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
