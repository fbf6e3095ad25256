#pragma once
// Capture and playback through a ring of fixed buffers. The recorder hands every filled
// buffer to ProcessBuffer and queues it again; the player asks FillBuffer for new data
// each time a buffer has been played. Memory is allocated once, by the constructor;
// Open / Start / Stop cycles reuse it. Failures go into ErrorText and a false result;
// only a device that cannot be opened is shown to the operator.

#include "platform/WaveDevice.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

inline constexpr uint16_t WIM_DATA = 0x3C0;
inline constexpr int MaxWaveBuffers = 8;

/// Shows a sound device failure to the operator once the current handler has returned
/// (never from the receiving path or a sound thread); a text already waiting or on screen
/// is not queued again.
void ReportSoundDeviceError(const QString& text);

/// Fields and steps shared by the recorder and the player.
class TWaveBuffers {
public:
    TWaveBuffers(int bufSize, int bufCount, TWaveDirection direction);
    virtual ~TWaveBuffers();
    TWaveBuffers(const TWaveBuffers&) = delete;
    TWaveBuffers& operator=(const TWaveBuffers&) = delete;

    int32_t BufSize = 0;
    int32_t NextBuf = 0;
    int32_t BufCount = 0;
    TWaveHeader* Headers[MaxWaveBuffers] = {};
    std::atomic<bool> DeviceOpen{false};
    TWaveFormat Format;
    int32_t BufLen = 0;
    bool Ready = false;
    QString ErrorText;
    uint8_t* Data[MaxWaveBuffers] = {};

    /// ErrorText, read on the window thread while the device's thread may set it.
    QString LastError() const {
        std::lock_guard lock(errorMutex_);
        return ErrorText;
    }
    /// Unprepares the headers and closes the device, when it is open.
    void CloseDevice();
    IWaveDevice& Device() { return *device_; }

protected:
    bool AllocHeaders();
    bool AllocBuffers();
    void InitHeaders();
    void FreeHeaders();
    void FreeBuffers();
    /// Steps 2-5 of an open: format, device, headers; false with ErrorText on failure.
    bool OpenDevice(int bits, int rate, TWaveCallback callback, const QString& openText);
    void SetError(const QString& text);
    /// On the device's thread, after an Error notice: the window thread stops the device
    /// with stop and tells text, ": " and the device's reason. A notice of an earlier open
    /// (the device opened again since) is dropped.
    void DeviceFailed(const QString& text, std::function<void()> stop);
    /// Shows a failure of the device to the operator, unless one has been shown since the
    /// device last moved a buffer: one box per loss, however many calls find it gone.
    void Tell(const QString& text);
    /// On the device's thread: a buffer has moved, the device works (a later failure is a
    /// new loss).
    void Worked() { told_.store(false, std::memory_order_relaxed); }

    std::unique_ptr<IWaveDevice> device_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::atomic<int> session_{0}; // counts the opens
    QString unprepareText_, closeText_;
    QString createText_; // why the constructor left Ready false
    std::atomic<bool> told_{false};
    mutable std::mutex errorMutex_;
};

/// Capture from the default input device.
class TWaveRecorder : public TWaveBuffers {
public:
    TWaveRecorder(int BufSize, int BufCount);
    /// Stops a running device before the memory goes.
    ~TWaveRecorder() override;

    /// Opens for PCM mono of Bits bits at Rate samples a second and queues buffer 0.
    bool Open(int Bits, int Rate);
    /// Starts capture and queues the remaining buffers.
    bool Start();
    /// Stops capture and closes the device; the memory stays for the next Open.
    void Stop();
    bool AddNextBuffer();
    /// Called once per filled buffer, in the order the buffers were queued.
    virtual void ProcessBuffer(uint16_t Msg, uint8_t* Data, int Count);
    QString WaveInErrorText(int Code) const;

    std::atomic<bool> Recording{false};
    std::atomic<int32_t> ReturnedCount{0};

private:
    static void WaveInCallback(TWaveNotice notice, void* instance, TWaveHeader* header);
    std::recursive_mutex queueMutex_;
};

/// Playback through the default output device.
class TWavePlayer : public TWaveBuffers {
public:
    TWavePlayer(int BufSize, int BufCount);
    ~TWavePlayer() override;

    /// Opens for PCM mono; queues nothing.
    bool Open(int Bits, int Rate);
    /// Hands buffers 0 .. Count - 1, already filled by the owner, to the device.
    bool Start(int Count);
    void Stop();
    /// Fills a played buffer; true to have it played again, false to leave it idle.
    virtual bool FillBuffer(uint8_t* Data);
    QString WaveOutErrorText(int Code) const;

    std::atomic<bool> Playing{false};
    std::atomic<int32_t> DoneIndex{0};
    /// Buffers the owner has filled before the start (0-4); counted by the owner.
    int32_t PrimedCount = 0;

private:
    static void WaveOutCallback(TWaveNotice notice, void* instance, TWaveHeader* header);
    std::mutex doneMutex_;
};
