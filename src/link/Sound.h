#pragma once
// The received-sound ring and the sound state that the device's FA sound commands set.

#include <atomic>
#include <cstdint>

inline constexpr int SoundRingSize = 6144;
extern uint8_t SoundRing[SoundRingSize];
// The ring is read on the sound thread while the receiver writes it: the indexes are
// atomic, so the bytes before an index are there when the index is seen.
extern std::atomic<int32_t> SoundWriteIdx; // written only by the byte receiver
extern std::atomic<int32_t> SoundReadIdx;  // written only by the readers (playback, recorder)
/// Bytes of an FA frame held back while it is open during a sound reception.
extern uint8_t SoundHold[16];
extern int32_t SoundHoldCount;

enum : int32_t { SoundSending = 1, SoundReceiving = 2 };
/// Bit 0 the PC sends sound, bit 1 the PC receives sound.
extern int32_t SoundFlags;
/// 0 live voice, 1 received sound saved to "phonems.pcm", 2/3 a sound file is sent; read
/// by the player on the sound thread.
extern std::atomic<int32_t> SoundMode;
/// A transfer is on: events are not decoded and no frame but FA opens.
extern bool SoundTransferOn;
/// The next received sound byte enters the ring as 0x7F.
extern bool SoundFirstByte;

/// Bytes in SoundRing not yet read: (write - read) mod 6144.
inline int SoundRingFill() {
    int32_t d = SoundWriteIdx - SoundReadIdx;
    if (d < 0)
        d += SoundRingSize;
    // Indexes are kept in range; anything else is folded back rather than trusted.
    if (d < 0 || d >= SoundRingSize)
        d = ((d % SoundRingSize) + SoundRingSize) % SoundRingSize;
    return d;
}

/// Ends the reception of live sound (bit 1 of SoundFlags) and stops the player.
void StopVoicePlayback();
/// Ends the saving of received sound: what waits in SoundRing is written, the file closed,
/// the indicators put back; SoundFlags and SoundMode become 0. Raises EFileError when the
/// last write fails (the file is closed all the same).
void FinishSoundSave();
/// The link has gone or a new one opened: a reception ends as the end command would end
/// it (the player stopped, a save written out and closed) and an upload's file is closed,
/// which stops its timer. Nothing is sent.
void EndSoundTransfer();
/// Carries out the device's sound command n (the eighth digit of a valid FA frame).
void HandleSoundCommand(int n);
/// Moves count bytes (at most 1024) from SoundRing into the open "phonems.pcm". Raises
/// EFileError when the file cannot be written.
void WriteSoundToFile(int count);
/// Names, answers and opens the file a command 2 or 3 asks for and starts the upload
/// timer; false when something of it failed. A file that cannot be opened is ended at
/// once with the end command 15.
bool StartFileSend();

/// The file of the running transfer ("phonems.pcm" or "Title.pcm"), read by the upload
/// timer of the main window.
class QFile;
QFile& SoundFile();
/// Puts the sound state back to its start (tests).
void ResetSoundState();
