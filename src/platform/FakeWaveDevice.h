#pragma once
// A wave device for tests: it keeps the queued buffers and hands them back only when the
// test says so (Complete), on the test's thread, and can be told to fail any operation.

#include "platform/WaveDevice.h"

#include <QStringList>
#include <deque>
#include <map>
#include <memory>
#include <vector>

struct TFakeWaveState {
    QStringList Calls;               // "open 8000/8/1 1024x4", "queue 2", "reset", ...
    std::map<QString, int> Failures; // operation name ("open", "queue", ...) -> code it returns
    std::deque<TWaveHeader*> Queued; // buffers with the device, oldest first
    std::vector<TWaveHeader*> Known; // buffers in the order first prepared: their index names them
    bool Open = false;
    int Devices = 1;
    int Failure = 0; // the code of the last Fail, until the next open
};

class TFakeWaveDevice : public IWaveDevice {
public:
    explicit TFakeWaveDevice(std::shared_ptr<TFakeWaveState> state) : s_(std::move(state)) {}

    int DeviceCount() override { return s_->Devices; }
    int Open(const TWaveFormat& format, int periodBytes, int periods, TWaveCallback callback,
             void* instance) override;
    int Prepare(TWaveHeader& header) override;
    int Unprepare(TWaveHeader& header) override;
    int Queue(TWaveHeader& header) override;
    int Start() override;
    int Reset() override;
    int Close() override;
    QString ErrorText(int code) const override { return QStringLiteral("ошибка %1").arg(code); }
    int FailureCode() const override { return s_->Failure; }

    /// Hands back the oldest queued buffer (filled with bytes of value fill for capture);
    /// false when none is queued.
    bool Complete(int fill = 0x80);
    /// Stops on a fault, as a device whose sound server has gone: an Error notice with code.
    void Fail(int code);
    void SetCapture(bool capture) { capture_ = capture; }

private:
    int fail(const QString& op);
    int index(const TWaveHeader& h) const;

    std::shared_ptr<TFakeWaveState> s_;
    TWaveCallback callback_ = nullptr;
    void* instance_ = nullptr;
    bool capture_ = true;
};

/// Installs a factory of fake devices sharing one state per direction; returns the two
/// states (capture, playback). Undo with SetWaveDeviceFactory(nullptr).
struct TFakeWaveDevices {
    std::shared_ptr<TFakeWaveState> Capture = std::make_shared<TFakeWaveState>();
    std::shared_ptr<TFakeWaveState> Playback = std::make_shared<TFakeWaveState>();
    /// The last device made for each direction.
    TFakeWaveDevice* CaptureDevice = nullptr;
    TFakeWaveDevice* PlaybackDevice = nullptr;
};
std::shared_ptr<TFakeWaveDevices> InstallFakeWaveDevices();
