#include "platform/FakeWaveDevice.h"

#include <cstring>

int TFakeWaveDevice::fail(const QString& op) {
    const auto it = s_->Failures.find(op);
    return it == s_->Failures.end() ? 0 : it->second;
}

int TFakeWaveDevice::index(const TWaveHeader& h) const {
    for (size_t i = 0; i < s_->Known.size(); ++i)
        if (s_->Known[i] == &h)
            return int(i);
    return -1;
}

int TFakeWaveDevice::Open(const TWaveFormat& format, int periodBytes, int periods, TWaveCallback callback,
                          void* instance) {
    s_->Calls << QStringLiteral("open %1/%2/%3 %4x%5")
                     .arg(format.SamplesPerSec)
                     .arg(format.BitsPerSample)
                     .arg(format.BlockAlign)
                     .arg(periodBytes)
                     .arg(periods);
    if (const int rc = fail("open"))
        return rc;
    if (s_->Open)
        return -16; // busy, as a real device opened twice
    callback_ = callback;
    instance_ = instance;
    s_->Open = true;
    s_->Failure = 0;
    callback_(TWaveNotice::Open, instance_, nullptr);
    return 0;
}

int TFakeWaveDevice::Prepare(TWaveHeader& header) {
    if (index(header) < 0)
        s_->Known.push_back(&header);
    s_->Calls << QStringLiteral("prepare %1").arg(index(header));
    if (const int rc = fail("prepare"))
        return rc;
    header.Prepared = true;
    return 0;
}

int TFakeWaveDevice::Unprepare(TWaveHeader& header) {
    s_->Calls << QStringLiteral("unprepare %1").arg(index(header));
    if (const int rc = fail("unprepare"))
        return rc;
    header.Prepared = false;
    return 0;
}

int TFakeWaveDevice::Queue(TWaveHeader& header) {
    s_->Calls << QStringLiteral("queue %1").arg(index(header));
    if (const int rc = fail("queue"))
        return rc;
    if (s_->Failure)
        return s_->Failure; // a failed device takes nothing until reopened
    s_->Queued.push_back(&header);
    return 0;
}

int TFakeWaveDevice::Start() {
    s_->Calls << QStringLiteral("start");
    return fail("start");
}

int TFakeWaveDevice::Reset() {
    s_->Calls << QStringLiteral("reset");
    std::deque<TWaveHeader*> back;
    back.swap(s_->Queued);
    for (TWaveHeader* h : back) {
        h->BytesRecorded = 0;
        callback_(capture_ ? TWaveNotice::Data : TWaveNotice::Done, instance_, h);
    }
    return fail("reset");
}

int TFakeWaveDevice::Close() {
    s_->Calls << QStringLiteral("close");
    if (const int rc = fail("close"))
        return rc;
    s_->Open = false;
    s_->Queued.clear(); // a closed device keeps no buffers
    callback_(TWaveNotice::Close, instance_, nullptr);
    return 0;
}

bool TFakeWaveDevice::Complete(int fill) {
    if (s_->Queued.empty())
        return false;
    TWaveHeader* h = s_->Queued.front();
    s_->Queued.pop_front();
    if (capture_) {
        std::memset(h->Data, fill, size_t(h->BufferLength));
        h->BytesRecorded = h->BufferLength;
    }
    callback_(capture_ ? TWaveNotice::Data : TWaveNotice::Done, instance_, h);
    return true;
}

void TFakeWaveDevice::Fail(int code) {
    s_->Calls << QStringLiteral("fail %1").arg(code);
    s_->Failure = code;
    callback_(TWaveNotice::Error, instance_, nullptr);
}

std::shared_ptr<TFakeWaveDevices> InstallFakeWaveDevices() {
    auto devices = std::make_shared<TFakeWaveDevices>();
    std::weak_ptr<TFakeWaveDevices> weak = devices;
    SetWaveDeviceFactory([weak](TWaveDirection direction) -> std::unique_ptr<IWaveDevice> {
        auto d = weak.lock();
        if (!d)
            return CreateAlsaWaveDevice(direction);
        const bool capture = direction == TWaveDirection::Capture;
        auto device = std::make_unique<TFakeWaveDevice>(capture ? d->Capture : d->Playback);
        device->SetCapture(capture);
        (capture ? d->CaptureDevice : d->PlaybackDevice) = device.get();
        return device;
    });
    return devices;
}
