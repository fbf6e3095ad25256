#include "voice/WaveClasses.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSet>
#include <new>

void ReportSoundDeviceError(const QString& text) {
    static QSet<QString> waiting; // window thread only
    if (!QCoreApplication::instance() || waiting.contains(text))
        return;
    waiting.insert(text);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [text] {
            QString shown = text;
            MessageDlg(shown.replace(QLatin1Char('\r'), QLatin1Char('\n')), TMsgDlgType::Custom, mbOK);
            waiting.remove(text); // the same fault again is told again once this is read
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------

TWaveBuffers::TWaveBuffers(int bufSize, int bufCount, TWaveDirection direction) {
    if (bufCount < 1 || bufCount > MaxWaveBuffers)
        throw ERangeError(QStringLiteral("Число буферов звука вне допустимого диапазона"));
    if (bufSize < 1)
        throw ERangeError(QStringLiteral("Размер буфера звука вне допустимого диапазона"));
    BufSize = bufSize;
    BufCount = bufCount;
    device_ = CreateWaveDevice(direction);
}

TWaveBuffers::~TWaveBuffers() {
    device_.reset(); // its thread ends before the memory goes
    FreeBuffers();
    FreeHeaders();
}

void TWaveBuffers::DeviceFailed(const QString& text, std::function<void()> stop) {
    auto* app = QCoreApplication::instance();
    if (!app)
        return;
    const std::weak_ptr<int> alive = alive_;
    const int session = session_;
    const QString shown = text + QStringLiteral(": ") + device_->ErrorText(device_->FailureCode()).left(255);
    QMetaObject::invokeMethod(
        app,
        [this, alive, session, shown, stop = std::move(stop)] {
            if (alive.expired() || session != session_)
                return;
            stop();
            SetError(shown);
            Tell(shown);
        },
        Qt::QueuedConnection);
}

void TWaveBuffers::Tell(const QString& text) {
    if (!told_.exchange(true))
        ReportSoundDeviceError(text);
}

void TWaveBuffers::SetError(const QString& text) {
    std::lock_guard lock(errorMutex_);
    ErrorText = text;
}

bool TWaveBuffers::AllocHeaders() {
    for (int i = 0; i < BufCount; ++i) {
        Headers[i] = new (std::nothrow) TWaveHeader{};
        if (!Headers[i]) {
            SetError(QStringLiteral("Ошибка распределения памяти для wave-заголовка"));
            return false;
        }
    }
    return true;
}

bool TWaveBuffers::AllocBuffers() {
    for (int i = 0; i < BufCount; ++i) {
        Data[i] = new (std::nothrow) uint8_t[size_t(BufSize)];
        if (!Data[i]) {
            SetError(QStringLiteral("Ошибка распределения памяти wave-буфера"));
            return false;
        }
        Headers[i]->Data = Data[i];
    }
    return true;
}

void TWaveBuffers::InitHeaders() {
    BufLen = Format.BlockAlign > 0 ? BufSize - BufSize % Format.BlockAlign : BufSize;
    for (int i = 0; i < BufCount; ++i) {
        *Headers[i] = TWaveHeader{};
        Headers[i]->Data = Data[i];
        Headers[i]->BufferLength = BufLen;
    }
}

void TWaveBuffers::FreeHeaders() {
    for (TWaveHeader*& h : Headers) {
        delete h;
        h = nullptr;
    }
}

void TWaveBuffers::FreeBuffers() {
    for (uint8_t*& d : Data) {
        delete[] d;
        d = nullptr;
    }
}

bool TWaveBuffers::OpenDevice(int bits, int rate, TWaveCallback callback, const QString& openText) {
    if (bits < 0 || bits > 65535 || rate < 0)
        throw ERangeError(QStringLiteral("Формат звука вне допустимого диапазона"));
    Format = TWaveFormat{};
    Format.SamplesPerSec = uint32_t(rate);
    Format.BitsPerSample = uint16_t(bits);
    Format.BlockAlign = uint16_t(Format.Channels * (bits / 8));
    Format.AvgBytesPerSec = Format.SamplesPerSec * Format.BlockAlign;
    ++session_;
    if (!Ready) {
        // No device or no memory: the constructor's text says why.
        SetError(openText + QLatin1Char('\r') + createText_);
        Tell(ErrorText);
        return false;
    }
    const int align = std::max<int>(Format.BlockAlign, 1);
    const int rc = device_->Open(Format, BufSize - BufSize % align, BufCount, callback, this);
    if (rc != 0) {
        SetError(openText + QLatin1Char('\r') + device_->ErrorText(rc));
        Tell(ErrorText);
        return false;
    }
    DeviceOpen = true;
    InitHeaders();
    for (int i = 0; i < BufCount; ++i) {
        if (const int prc = device_->Prepare(*Headers[i]); prc != 0) {
            CloseDevice();
            SetError(QStringLiteral("Ошибка подготовки заголовка для записи: ") + QLatin1Char('\r') +
                     device_->ErrorText(prc));
            return false;
        }
    }
    return true;
}

void TWaveBuffers::CloseDevice() {
    if (!DeviceOpen)
        return;
    for (int i = 0; i < BufCount; ++i)
        if (device_->Unprepare(*Headers[i]) != 0)
            SetError(unprepareText_);
    if (device_->Close() != 0)
        SetError(closeText_);
    DeviceOpen = false;
}

// ---------------------------------------------------------------------------------------

TWaveRecorder::TWaveRecorder(int BufSize, int BufCount)
    : TWaveBuffers(BufSize, BufCount, TWaveDirection::Capture) {
    unprepareText_ = QStringLiteral("Ошибка в waveInUnprepareHeader");
    closeText_ = QStringLiteral("Ошибка закрытия входного устройства");
    if (device_->DeviceCount() == 0)
        SetError(QStringLiteral("Не найдено устройств, способных записывать звук"));
    else
        Ready = AllocHeaders() && AllocBuffers();
    if (!Ready)
        createText_ = ErrorText;
}

TWaveRecorder::~TWaveRecorder() {
    Stop();
}

QString TWaveRecorder::WaveInErrorText(int Code) const {
    return device_->ErrorText(Code).left(255);
}

bool TWaveRecorder::Open(int Bits, int Rate) {
    if (DeviceOpen)
        Stop(); // a second open would find the device busy
    NextBuf = 0;
    ReturnedCount = 0;
    if (!OpenDevice(Bits, Rate, WaveInCallback,
                    QStringLiteral("Не могу открыть входное устройство для записи: ")))
        return false;
    return AddNextBuffer();
}

bool TWaveRecorder::Start() {
    if (const int rc = device_->Start(); rc != 0) {
        CloseDevice();
        SetError(QStringLiteral("Ошибка начала записи wave: ") + WaveInErrorText(rc));
        return false;
    }
    Recording = true;
    for (int i = 1; i < BufCount; ++i)
        if (!AddNextBuffer())
            return false;
    return true;
}

bool TWaveRecorder::AddNextBuffer() {
    int rc;
    {
        std::lock_guard lock(queueMutex_);
        rc = device_->Queue(*Headers[NextBuf]);
        if (rc == 0)
            NextBuf = (NextBuf + 1) % BufCount;
    }
    if (rc != 0) {
        Stop();
        SetError(QStringLiteral("Ошибка добавления буфера") + WaveInErrorText(rc));
        return false;
    }
    return true;
}

void TWaveRecorder::Stop() {
    Recording = false;
    if (!DeviceOpen)
        return;
    if (device_->Reset() != 0)
        SetError(QStringLiteral("Ошибка в waveInReset"));
    CloseDevice();
}

void TWaveRecorder::ProcessBuffer(uint16_t, uint8_t*, int) {}

void TWaveRecorder::WaveInCallback(TWaveNotice notice, void* instance, TWaveHeader*) {
    auto* r = static_cast<TWaveRecorder*>(instance);
    if (notice == TWaveNotice::Error) {
        // The device has given up (its sound server gone): the recorder stops, told once.
        if (r->Recording.exchange(false))
            r->DeviceFailed(QStringLiteral("Ошибка добавления буфера"), [r] { r->Stop(); });
        return;
    }
    if (notice != TWaveNotice::Data)
        return;
    // The device returns buffers in the order they were queued, so counting finds the
    // buffer; the flag is tested before each step, so a Stop in between ends the notice.
    if (!r->Recording)
        return;
    r->Worked();
    const int i = r->ReturnedCount % r->BufCount;
    r->ProcessBuffer(WIM_DATA, r->Data[i], r->Headers[i]->BytesRecorded);
    if (!r->Recording)
        return;
    r->AddNextBuffer();
    if (!r->Recording)
        return;
    ++r->ReturnedCount;
}

// ---------------------------------------------------------------------------------------

TWavePlayer::TWavePlayer(int BufSize, int BufCount)
    : TWaveBuffers(BufSize, BufCount, TWaveDirection::Playback) {
    unprepareText_ = QStringLiteral("Ошибка в WaveOutUnprepareHeader");
    closeText_ = QStringLiteral("Ошибка закрытия выходного устройства");
    if (device_->DeviceCount() == 0)
        SetError(QStringLiteral("Не найдено устройств, способных воспроизводить звук"));
    else
        Ready = AllocHeaders() && AllocBuffers();
    if (!Ready)
        createText_ = ErrorText;
}

TWavePlayer::~TWavePlayer() {
    Stop();
}

QString TWavePlayer::WaveOutErrorText(int Code) const {
    return device_->ErrorText(Code).left(255);
}

bool TWavePlayer::Open(int Bits, int Rate) {
    if (DeviceOpen)
        Stop(); // a second open would find the device busy
    NextBuf = 0;
    DoneIndex = 0;
    PrimedCount = 0;
    return OpenDevice(Bits, Rate, WaveOutCallback,
                      QStringLiteral("Не могу открыть выходное устройство для воспроизведения: "));
}

bool TWavePlayer::Start(int Count) {
    if (Count < 0 || Count > BufCount)
        throw ERangeError(QStringLiteral("Число буферов звука вне допустимого диапазона"));
    std::lock_guard lock(doneMutex_);
    for (int i = 0; i < Count; ++i) {
        if (const int rc = device_->Queue(*Headers[i]); rc != 0) {
            Playing = false; // the buffers already handed over come back idle
            device_->Reset();
            CloseDevice();
            SetError(QStringLiteral("Ошибка начала записи wave: ") + WaveOutErrorText(rc));
            return false;
        }
    }
    DoneIndex = Count;
    return true;
}

void TWavePlayer::Stop() {
    Playing = false;
    if (!DeviceOpen)
        return;
    if (device_->Reset() != 0)
        SetError(QStringLiteral("Ошибка в WaveOutReset"));
    CloseDevice();
}

bool TWavePlayer::FillBuffer(uint8_t*) {
    return true;
}

void TWavePlayer::WaveOutCallback(TWaveNotice notice, void* instance, TWaveHeader*) {
    auto* p = static_cast<TWavePlayer*>(instance);
    switch (notice) {
    case TWaveNotice::Open:
        p->Playing = true;
        return;
    case TWaveNotice::Close:
        p->Playing = false;
        return;
    case TWaveNotice::Done:
        break;
    case TWaveNotice::Data:
        return;
    case TWaveNotice::Error:
        if (p->Playing.exchange(false))
            p->DeviceFailed(QStringLiteral("Ошибка воспроизведения звука"), [p] { p->Stop(); });
        return;
    }
    if (!p->Playing)
        return;
    p->Worked();
    // The buffer to refill is found by counting: a buffer left idle is offered again at
    // the next notice, so it is always one the device has finished with.
    std::lock_guard lock(p->doneMutex_);
    const int i = p->DoneIndex % p->BufCount;
    if (p->FillBuffer(p->Data[i])) {
        p->device_->Queue(*p->Headers[i]);
        ++p->DoneIndex;
    }
}
