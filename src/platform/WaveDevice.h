#pragma once
// The sound device behind the wave capture and playback classes: a device takes whole
// buffers in the order they are queued and hands each back, filled (capture) or played
// (playback), through a callback on a thread of its own. The ALSA implementation plays
// and records through the "default" device; tests install a fake through the factory.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

enum class TWaveDirection { Capture, Playback };

/// Notices of a device: opened, closed, a captured buffer filled, a played buffer done,
/// and failed: the device has stopped on a fault it could not recover from (FailureCode
/// says which); no buffer moves until the owner resets or closes it.
enum class TWaveNotice : uint16_t { Open, Close, Data, Done, Error };

/// PCM format of a device (the fields of the platform's wave format block).
struct TWaveFormat {
    uint16_t FormatTag = 1; // PCM
    uint16_t Channels = 1;
    uint32_t SamplesPerSec = 0;
    uint32_t AvgBytesPerSec = 0;
    uint16_t BlockAlign = 0;
    uint16_t BitsPerSample = 0;
};

/// One buffer handed to a device.
struct TWaveHeader {
    uint8_t* Data = nullptr;
    int32_t BufferLength = 0;
    int32_t BytesRecorded = 0;
    bool Prepared = false;
    /// Monotonic time (ns) the device filled the buffer (capture) or handed its samples
    /// to the sound system (playback); read by the latency tool.
    int64_t DeviceTimeNs = 0;
    /// Capture: monotonic time (ns) the microphone took the buffer's first sample, as the
    /// device places it from the sound system's delay; 0 when the system gives none.
    int64_t SampleTimeNs = 0;
};

/// Called on the device's thread for Data, Done and Error, on the caller's thread for Open and
/// Close (from inside Open and Close) and for the buffers that Reset returns.
using TWaveCallback = void (*)(TWaveNotice notice, void* instance, TWaveHeader* header);

/// Results: 0 success, otherwise a negative error code whose text ErrorText gives.
class IWaveDevice {
public:
    virtual ~IWaveDevice() = default;
    /// Number of devices of the direction (0: none to open).
    virtual int DeviceCount() = 0;
    /// Opens for the format with room for periods buffers of periodBytes.
    virtual int Open(const TWaveFormat& format, int periodBytes, int periods, TWaveCallback callback,
                     void* instance) = 0;
    virtual int Prepare(TWaveHeader& header) = 0;
    virtual int Unprepare(TWaveHeader& header) = 0;
    /// Queues a buffer: capture fills it once started, playback plays it.
    virtual int Queue(TWaveHeader& header) = 0;
    /// Starts capture (playback starts with its first buffer).
    virtual int Start() = 0;
    /// Stops at once and hands back every queued buffer with its notice.
    virtual int Reset() = 0;
    virtual int Close() = 0;
    virtual QString ErrorText(int code) const = 0;
    /// The code of the fault an Error notice reported; 0 while none.
    virtual int FailureCode() const { return 0; }
};

/// A device of the given direction from the installed factory (ALSA when none).
std::unique_ptr<IWaveDevice> CreateWaveDevice(TWaveDirection direction);
using TWaveDeviceFactory = std::function<std::unique_ptr<IWaveDevice>(TWaveDirection)>;
/// Installs a factory (tests); an empty one puts back ALSA.
void SetWaveDeviceFactory(TWaveDeviceFactory factory);
/// The ALSA device of the "default" PCM.
std::unique_ptr<IWaveDevice> CreateAlsaWaveDevice(TWaveDirection direction);
/// Monotonic nanoseconds, the clock of TWaveHeader::DeviceTimeNs.
int64_t WaveClockNs();
