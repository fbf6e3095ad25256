#include "link/Receiver.h"

#include "link/EventDecoder.h"
#include "link/FrameDecoder.h"
#include "link/HexLog.h"
#include "link/LinkView.h"
#include "link/Sound.h"
#include "link/Transport.h"

#include <exception>

TFrame RxFrame;
bool InFrame = false;

namespace {

// A decoder's or the log's error ends the work on this byte only; the next byte is
// received as usual.
template <typename F> inline void Contained(const char* where, uint8_t b, F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        DebugLog(QStringLiteral("Exception in %1 (byte %2): %3")
                     .arg(where)
                     .arg(b)
                     .arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        DebugLog(QStringLiteral("Exception in %1 (byte %2)").arg(where).arg(b));
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

void SoundByte(uint8_t b) {
    if (InFrame && RxFrame.Code == 0xFA) {
        // An FA frame longer than the hold (bytes that do not end it) goes on as sound.
        if (SoundHoldCount >= 16)
            FlushHold();
        SoundHold[SoundHoldCount++] = b;
        return;
    }
    FlushHold();
    if (SoundFirstByte) {
        SoundFirstByte = false;
        PutSound(0x7F);
    } else {
        PutSound(b);
    }
    if (SoundRingFill() >= 1024) {
        if (SoundMode != 0)
            WriteSoundToFile(1024);
        else
            LinkView().PrimeVoicePlayback();
    }
}

} // namespace

void ResetFrameAssembler() {
    InFrame = false;
    RxFrame.Count = 0;
    RxFrame.Code = 0;
}

void ReceiveByte(uint8_t b) {
    bool notSound = false;
    switch (ClassifyByte(b)) {
    case 0:
        break;
    case 1:
        if (!SoundTransferOn)
            Contained("HandleEventByte", b, [b] { HandleEventByte(b); });
        ResetFrameAssembler();
        break;
    case 2:
        if (InFrame) {
            if (RxFrame.Count < 16)
                RxFrame.Nibbles[RxFrame.Count++] = uint8_t(b & 0x0F);
            else
                ResetFrameAssembler();
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
        Contained("sound", b, [b] { SoundByte(b); });
    Contained("LogRxByte", b, [b] { LogRxByte(b); });
}

void ResetReceiver() {
    RxFrame = TFrame{};
    InFrame = false;
    ResetSoundState();
}
