#include "link/Receiver.h"

#include "link/EventDecoder.h"
#include "link/FrameDecoder.h"
#include "link/HexLog.h"
#include "link/Sound.h"
#include "link/Transport.h"
#include "state/LinkView.h"

#include <exception>
#include <utility>
#include <vector>

TFrame RxFrame;
bool InFrame = false;

namespace {

void LogError(const char* where, uint8_t b, const QString& what) {
    DebugLog(QStringLiteral("Exception in %1 (byte %2): %3").arg(QLatin1String(where)).arg(b).arg(what));
}

// A decoder's or the sound file's error ends the work on this byte only; the byte still
// reaches the log and the trace ring, and the next byte is received as usual.
template <typename F> void Contained(const char* where, uint8_t b, F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        LogError(where, b, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        LogError(where, b, QStringLiteral("unknown error"));
    }
}

inline void PutSound(uint8_t b) {
    int32_t w = SoundWriteIdx;
    if (w < 0 || w >= SoundRingSize)
        w = ((w % SoundRingSize) + SoundRingSize) % SoundRingSize;
    SoundRing[w] = b;
    SoundWriteIdx = (w + 1 == SoundRingSize) ? 0 : w + 1;
}

inline void FlushHold() {
    for (int32_t i = 0; i < SoundHoldCount && i < 16; ++i)
        PutSound(SoundHold[i]);
    SoundHoldCount = 0;
}

// A full block waits: the recorder or the player takes it.
void DrainBlock() {
    if (SoundMode != 0)
        WriteSoundToFile(1024);
    else
        LinkView().PrimeVoicePlayback();
}

inline void SoundByte(uint8_t b) {
    if (InFrame && RxFrame.Code == 0xFA) {
        // An FA frame longer than the hold (bytes that do not end it) goes on as sound.
        if (SoundHoldCount >= 16)
            FlushHold();
        SoundHold[SoundHoldCount++] = b;
        return;
    }
    if (SoundHoldCount > 0)
        FlushHold();
    if (SoundFirstByte) {
        SoundFirstByte = false;
        PutSound(0x7F);
    } else {
        PutSound(b);
    }
    if (SoundRingFill() >= 1024)
        Contained("sound", b, DrainBlock);
}

} // namespace

namespace {
inline void ResetAssembler() {
    InFrame = false;
    RxFrame.Count = 0;
    RxFrame.Code = 0;
}
} // namespace

void ResetFrameAssembler() {
    ResetAssembler();
}

namespace {
bool receiving = false;
std::vector<std::function<void()>> afterByte;

// Marks the byte in progress and, once it is done, runs the work its decoders deferred.
class TByteScope {
public:
    explicit TByteScope(uint8_t b) : b_(b), outer_(!receiving) { receiving = true; }
    ~TByteScope() {
        if (!outer_)
            return;
        receiving = false;
        while (!afterByte.empty()) {
            std::vector<std::function<void()>> work;
            work.swap(afterByte);
            for (auto& w : work)
                Contained("after byte", b_, w);
        }
    }
    TByteScope(const TByteScope&) = delete;
    TByteScope& operator=(const TByteScope&) = delete;

private:
    uint8_t b_;
    bool outer_;
};
} // namespace

bool ReceivingByte() {
    return receiving;
}

void AfterThisByte(std::function<void()> work) {
    if (receiving)
        afterByte.push_back(std::move(work));
    else
        Contained("after byte", 0, work);
}

void ReceiveByte(uint8_t b) {
    const TByteScope scope(b);
    // During a sound reception with no frame open, every byte but 0xFA is a sample whose
    // only effect on the assembler is the reset of an event byte: this path takes it
    // without branching on the byte's class, which random samples would mispredict.
    if (SoundTransferOn && !InFrame && b != 0xFA && SoundFlags == SoundReceiving) {
        const bool event = uint8_t(b - 0x90) < 0x50;
        RxFrame.Count = event ? 0 : RxFrame.Count;
        RxFrame.Code = event ? 0 : RxFrame.Code;
        SoundByte(b);
        LogRxByte(b);
        return;
    }
    bool notSound = false;
    switch (ClassifyByte(b)) {
    case 0:
        break;
    case 1:
        if (!SoundTransferOn)
            Contained("HandleEventByte", b, [b] { HandleEventByte(b); });
        ResetAssembler();
        break;
    case 2:
        if (InFrame) {
            if (RxFrame.Count < 16)
                RxFrame.Nibbles[RxFrame.Count++] = uint8_t(b & 0x0F);
            else
                ResetAssembler();
        }
        break;
    default:
        if (InFrame && b == (RxFrame.Code | 1)) {
            RxFrame.State = 2;
            InFrame = false;
            const bool fa = RxFrame.Code == 0xFA;
            Contained("HandleFrame", b, [] { HandleFrame(RxFrame); });
            if (RxFrame.Code == 0xFA)
                notSound = true; // an FA frame that was not a sound command
            else if (fa)
                SoundHoldCount = 0; // a sound command: its held bytes are not sound
        } else if (b & 1) {
            InFrame = false;
        } else if (!SoundTransferOn || b == 0xFA) {
            InFrame = true;
            RxFrame.Count = 0;
            RxFrame.State = 1;
            RxFrame.Code = b;
        }
        break;
    }
    if (SoundFlags == SoundReceiving && !notSound)
        SoundByte(b);
    LogRxByte(b);
}

void ResetReceiver() {
    afterByte.clear();
    RxFrame = TFrame{};
    InFrame = false;
    ResetSoundState();
}
