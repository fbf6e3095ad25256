#include "voice/VoicePath.h"

#include "link/Sound.h"
#include "link/TxBuffer.h"

#include <algorithm>
#include <cstring>

TMyWaveRecorder* Recorder = nullptr;
TMyWavePlayer* Player = nullptr;

namespace {
// Copies one block out of SoundRing from SoundReadIdx, wrapping, and moves the index on.
void TakeBlock(uint8_t* to) {
    if (!to)
        return;
    const int32_t r = ((SoundReadIdx % SoundRingSize) + SoundRingSize) % SoundRingSize;
    const int first = std::min(SoundBlock, SoundRingSize - r);
    std::memcpy(to, SoundRing + r, size_t(first));
    std::memcpy(to + first, SoundRing, size_t(SoundBlock - first));
    SoundReadIdx = (r + SoundBlock) % SoundRingSize;
}
} // namespace

void TMyWaveRecorder::ProcessBuffer(uint16_t, uint8_t* Data, int Count) {
    const int n = std::clamp(Count, 0, SoundBlock);
    // Held from Len to the end of the send: no other sender's bytes get into the block.
    TTxLock lock(TxMutex());
    std::memcpy(TxBuffer.Data, Data, size_t(n));
    TxBuffer.Len = n;
    // Live sound does not wait for the line: what a station that stops reading has no room
    // for is dropped, so neither this thread nor the window thread that stops it waits, and
    // the release that follows is not held up behind stale sound.
    SendBuffer(TxBuffer, TxSent, false);
}

bool TMyWavePlayer::FillBuffer(uint8_t* Data) {
    // Modes 1-3: the ring belongs to the file writer, or no sound is received at all.
    if (SoundMode != 0 || SoundRingFill() < SoundBlock)
        return false;
    TakeBlock(Data);
    return true;
}

void CreateSoundDevices() {
    if (!Player)
        Player = new TMyWavePlayer(SoundBlock, 4);
    if (!Recorder)
        Recorder = new TMyWaveRecorder(SoundBlock, 4);
}

void DestroySoundDevices() {
    if (Player)
        Player->Stop();
    if (Recorder)
        Recorder->Stop();
    delete Player;
    Player = nullptr;
    delete Recorder;
    Recorder = nullptr;
}

void StartVoicePlayback() {
    // A player that cannot be opened has told the operator why; the sound that follows is
    // dropped by PrimeVoicePlayback.
    if (Player)
        Player->Open(8, 8000);
}

void PrimeVoicePlayback() {
    if (SoundRingFill() < SoundBlock)
        return;
    if (!Player || !Player->DeviceOpen) {
        // Nothing to play it on (no device, or it failed): the station's sound is dropped.
        SoundReadIdx = int32_t(SoundWriteIdx);
        return;
    }
    if (Player->PrimedCount >= 4)
        return;
    TakeBlock(Player->Data[Player->PrimedCount % 4]);
    if (++Player->PrimedCount == 4)
        Player->Start(4);
}

void StopPlayer() {
    if (Player)
        Player->Stop();
}
