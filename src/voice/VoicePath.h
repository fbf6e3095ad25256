#pragma once
// The live sound path of the voice call: the recorder that sends every captured block to
// the device, the player that plays the device's sound out of SoundRing, and the routines
// that the device's sound commands and the byte receiver call. No widgets.

#include "voice/WaveClasses.h"

/// Sends every captured block raw to the device, one block per send.
class TMyWaveRecorder : public TWaveRecorder {
public:
    using TWaveRecorder::TWaveRecorder;
    ~TMyWaveRecorder() override { Stop(); }
    void ProcessBuffer(uint16_t Msg, uint8_t* Data, int Count) override;
};

/// Plays the device's live sound out of SoundRing.
class TMyWavePlayer : public TWavePlayer {
public:
    using TWavePlayer::TWavePlayer;
    ~TMyWavePlayer() override { Stop(); }
    bool FillBuffer(uint8_t* Data) override;
};

/// Created by the voice call window for the whole run (1024-byte blocks, 4 each way).
extern TMyWaveRecorder* Recorder;
extern TMyWavePlayer* Player;
inline constexpr int SoundBlock = 1024;

void CreateSoundDevices();
/// Stops both devices, then frees them.
void DestroySoundDevices();

/// Device command 0: opens the player (closing it first when still open).
void StartVoicePlayback();
/// Byte receiver, while 1024 or more bytes of live sound wait: fills the player's buffers
/// until four are primed, then starts it with all four.
void PrimeVoicePlayback();
/// The player's half of StopVoicePlayback (link/Sound.h): stops and closes it.
void StopPlayer();

/// The upload of a sound file by the main window's Timer2: its size, taken at the first
/// tick, and the bytes sent so far (64-bit: the progress of large files does not wrap).
extern int64_t SoundFileSize;
extern int64_t SoundFileSent;
