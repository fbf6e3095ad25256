#pragma once
// The byte receiver: classes every received byte, assembles frames, hands events and
// frames to the decoders and the bytes of a sound reception to SoundRing.

#include "link/Frame.h"

#include <cstdint>
#include <functional>

/// Byte classes: 0 other (0x00-0x7F), 1 event (0x90-0xDF), 2 digit (0x80-0x8F),
/// 3 delimiter (0xE0-0xFF).
inline int ClassifyByte(uint8_t b) {
    switch (b >> 4) {
    case 0x8:
        return 2;
    case 0x9:
    case 0xA:
    case 0xB:
    case 0xC:
    case 0xD:
        return 1;
    case 0xE:
    case 0xF:
        return 3;
    default:
        return 0;
    }
}

/// The single entry of the receive side; runs on the window thread. An error raised by
/// a decoder or the log is contained to this byte and reception goes on.
void ReceiveByte(uint8_t b);
/// Returns the assembler to idle: no frame open, Code and Count 0.
void ResetFrameAssembler();

/// True while ReceiveByte is decoding a byte. Bytes that arrive meanwhile wait until it is
/// done: a decoder's call that pumps window events must not decode later bytes inside it.
bool ReceivingByte();
/// Runs work once the byte being received is done (at once when none is): decoder work
/// that pumps window events goes here, so that no byte is decoded inside another.
void AfterThisByte(std::function<void()> work);

/// The frame being assembled and whether one is open.
extern TFrame RxFrame;
extern bool InFrame;

/// Puts the receiver and the sound state back to their start (tests, fuzzing).
void ResetReceiver();
