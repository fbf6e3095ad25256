// The wave device over ALSA's "default" PCM. Each open device runs one thread that moves
// the queued buffers through the PCM in order and calls the owner back with each buffer
// it is done with; the PCM is used only by that thread while it runs. The PCM is opened
// non-blocking and the thread waits in poll() on it and on a wake-up descriptor, so Reset
// ends a wait at once.
#include "platform/WaveDevice.h"

#include <QLoggingCategory>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

Q_LOGGING_CATEGORY(lcSound, "vesk.sound")

int64_t WaveClockNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

namespace {

// ALSA's own messages go to stderr on every failed call: a lost sound server would fill it.
// The device reports its faults through its owner instead.
void SilentAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

// The operator reads these after "Не могу открыть..." and the like: the usual faults in
// Russian, any other with its number and the sound system's own words.
QString SoundErrorText(int code) {
    switch (-code) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("звуковое устройство не найдено");
    case EBUSY:
        return QStringLiteral("звуковое устройство занято другой программой");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав на звуковое устройство");
    case ECONNREFUSED:
        return QStringLiteral("звуковой сервер недоступен");
    case ECONNRESET:
    case EPIPE:
    case EBADFD:
    case ESTRPIPE:
        return QStringLiteral("звуковое устройство перестало отвечать");
    case EINVAL:
        return QStringLiteral("звуковое устройство не поддерживает этот формат");
    case ENOMEM:
        return QStringLiteral("не хватает памяти");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода звукового устройства");
    default:
        return QStringLiteral("ошибка звуковой системы %1 (%2)")
            .arg(code)
            .arg(QString::fromLocal8Bit(snd_strerror(code)));
    }
}

TWaveDeviceFactory& Factory() {
    static TWaveDeviceFactory factory;
    return factory;
}

class TAlsaWaveDevice : public IWaveDevice {
public:
    explicit TAlsaWaveDevice(TWaveDirection direction) : dir_(direction) {
        static std::once_flag once;
        std::call_once(once, [] { snd_lib_error_set_handler(SilentAlsaErrors); });
    }
    ~TAlsaWaveDevice() override {
        stopThread();
        if (pcm_)
            snd_pcm_close(pcm_);
        if (wake_ >= 0)
            ::close(wake_);
    }

    int DeviceCount() override {
        snd_config_t* top = nullptr;
        if (snd_config_update_ref(&top) < 0 || !top)
            return 0;
        snd_config_t* node = nullptr;
        const int found = snd_config_search(top, "pcm.default", &node) >= 0 ? 1 : 0;
        snd_config_unref(top);
        return found;
    }

    int Open(const TWaveFormat& format, int periodBytes, int periods, TWaveCallback callback,
             void* instance) override {
        if (pcm_)
            return -EBUSY;
        if (format.BlockAlign == 0 || periodBytes < format.BlockAlign || periods < 1)
            return -EINVAL;
        snd_pcm_format_t pcmFormat;
        if (format.BitsPerSample == 8)
            pcmFormat = SND_PCM_FORMAT_U8;
        else if (format.BitsPerSample == 16)
            pcmFormat = SND_PCM_FORMAT_S16_LE;
        else
            return -EINVAL;
        const auto stream =
            dir_ == TWaveDirection::Capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
        int rc = snd_pcm_open(&pcm_, "default", stream, SND_PCM_NONBLOCK);
        if (rc < 0) {
            pcm_ = nullptr;
            return rc;
        }
        frameBytes_ = format.BlockAlign;
        rate_ = format.SamplesPerSec;
        const snd_pcm_uframes_t period = snd_pcm_uframes_t(periodBytes / format.BlockAlign);
        rc = setParams(pcmFormat, format, period, periods);
        if (rc < 0) {
            snd_pcm_close(pcm_);
            pcm_ = nullptr;
            return rc;
        }
        if (wake_ < 0)
            wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        callback_ = callback;
        instance_ = instance;
        started_ = false;
        written_ = 0;
        failure_ = 0;
        recovering_ = false;
        pollFaults_ = 0;
        startThread();
        callback_(TWaveNotice::Open, instance_, nullptr);
        return 0;
    }

    int Prepare(TWaveHeader& header) override {
        header.Prepared = true;
        return 0;
    }
    int Unprepare(TWaveHeader& header) override {
        header.Prepared = false;
        return 0;
    }

    int Queue(TWaveHeader& header) override {
        if (!pcm_)
            return -EBADFD;
        if (const int failed = failure_)
            return failed; // stopped on a fault: nothing moves until a reset or reopen
        if (!header.Prepared || header.BufferLength <= 0 || header.BufferLength % frameBytes_ != 0)
            return -EINVAL;
        startThread();
        {
            std::lock_guard lock(m_);
            queue_.push_back(&header);
        }
        cv_.notify_all();
        return 0;
    }

    int Start() override {
        if (!pcm_)
            return -EBADFD;
        if (dir_ == TWaveDirection::Capture) {
            startThread();
            // The thread is idle until started_ is set, so the PCM is still ours here.
            const snd_pcm_state_t state = snd_pcm_state(pcm_);
            if (state != SND_PCM_STATE_RUNNING) {
                if (state != SND_PCM_STATE_PREPARED)
                    snd_pcm_prepare(pcm_);
                if (const int rc = snd_pcm_start(pcm_); rc < 0)
                    return rc;
            }
        }
        {
            std::lock_guard lock(m_);
            started_ = true;
        }
        cv_.notify_all();
        return 0;
    }

    int Reset() override {
        if (!pcm_)
            return -EBADFD;
        stopThread();
        std::deque<TWaveHeader*> back;
        {
            std::lock_guard lock(m_);
            back.swap(inflight_);
            ends_.clear();
            for (TWaveHeader* h : queue_)
                back.push_back(h);
            queue_.clear();
            started_ = false;
        }
        if (!onThread())
            snd_pcm_drop(pcm_);
        written_ = 0;
        failure_ = 0;
        recovering_ = false;
        pollFaults_ = 0;
        const TWaveNotice notice = dir_ == TWaveDirection::Capture ? TWaveNotice::Data : TWaveNotice::Done;
        for (TWaveHeader* h : back) {
            h->BytesRecorded = 0;
            callback_(notice, instance_, h);
        }
        return 0;
    }

    int Close() override {
        if (!pcm_)
            return -EBADFD;
        stopThread();
        {
            // Buffers still queued (a close without a reset) are given up without notices.
            std::lock_guard lock(m_);
            queue_.clear();
            inflight_.clear();
            ends_.clear();
        }
        const int rc = snd_pcm_close(pcm_);
        pcm_ = nullptr;
        callback_(TWaveNotice::Close, instance_, nullptr);
        return rc;
    }

    QString ErrorText(int code) const override { return SoundErrorText(code); }
    int FailureCode() const override { return failure_; }

private:
    int setParams(snd_pcm_format_t pcmFormat, const TWaveFormat& format, snd_pcm_uframes_t period,
                  int periods) {
        snd_pcm_hw_params_t* hw;
        snd_pcm_hw_params_alloca(&hw);
        int rc = snd_pcm_hw_params_any(pcm_, hw);
        if (rc >= 0)
            rc = snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
        if (rc >= 0)
            rc = snd_pcm_hw_params_set_format(pcm_, hw, pcmFormat);
        if (rc >= 0)
            rc = snd_pcm_hw_params_set_channels(pcm_, hw, format.Channels);
        if (rc >= 0)
            rc = snd_pcm_hw_params_set_rate(pcm_, hw, format.SamplesPerSec, 0);
        if (rc < 0)
            return rc;
        // The geometry is a wish: a device that rounds it still moves whole buffers.
        snd_pcm_uframes_t p = period;
        int dir = 0;
        snd_pcm_hw_params_set_period_size_near(pcm_, hw, &p, &dir);
        snd_pcm_uframes_t buffer = period * snd_pcm_uframes_t(periods);
        snd_pcm_hw_params_set_buffer_size_near(pcm_, hw, &buffer);
        rc = snd_pcm_hw_params(pcm_, hw);
        if (rc < 0)
            return rc;
        bufferFrames_ = buffer;
        snd_pcm_sw_params_t* sw;
        snd_pcm_sw_params_alloca(&sw);
        rc = snd_pcm_sw_params_current(pcm_, sw);
        if (rc >= 0)
            rc = snd_pcm_sw_params_set_avail_min(pcm_, sw, p);
        // Playback starts once the owner's first buffers fill the device's buffer (the
        // owner starts with all of them); capture starts when told to.
        if (rc >= 0 && dir_ == TWaveDirection::Playback)
            rc = snd_pcm_sw_params_set_start_threshold(pcm_, sw,
                                                       std::min(p * snd_pcm_uframes_t(periods), buffer));
        if (rc >= 0)
            rc = snd_pcm_sw_params(pcm_, sw);
        return rc;
    }

    bool onThread() const { return thread_.joinable() && thread_.get_id() == std::this_thread::get_id(); }

    void startThread() {
        if (onThread())
            return;
        {
            std::lock_guard lock(m_);
            if (thread_.joinable() && !quit_)
                return;
        }
        if (thread_.joinable())
            thread_.join();
        uint64_t drain;
        [[maybe_unused]] auto r = ::read(wake_, &drain, sizeof drain);
        quit_ = false;
        thread_ = std::thread([this] { dir_ == TWaveDirection::Capture ? runCapture() : runPlayback(); });
    }

    // Ends the thread; from the thread itself (a callback that stops its device) it only
    // tells it to end once the callback returns.
    void stopThread() {
        {
            std::lock_guard lock(m_);
            quit_ = true;
        }
        cv_.notify_all();
        if (wake_ >= 0) {
            const uint64_t one = 1;
            [[maybe_unused]] auto r = ::write(wake_, &one, sizeof one);
        }
        if (thread_.joinable() && !onThread())
            thread_.join();
    }

    bool quitting() {
        std::lock_guard lock(m_);
        return quit_;
    }

    // Waits for the PCM (or the wake-up) at most ms milliseconds; false when the PCM's
    // descriptors report an error: the next transfer says which (an xrun is recovered), a
    // second such report with no sound moved stops the device.
    bool waitPcm(int ms) {
        const int n = snd_pcm_poll_descriptors_count(pcm_);
        std::vector<pollfd> fds(size_t(std::max(n, 0)) + 1);
        const int got = n > 0 ? snd_pcm_poll_descriptors(pcm_, fds.data(), unsigned(n)) : 0;
        fds[size_t(got)] = pollfd{wake_, POLLIN, 0};
        if (::poll(fds.data(), nfds_t(got + 1), ms) <= 0 || got <= 0)
            return true;
        unsigned short revents = 0;
        if (snd_pcm_poll_descriptors_revents(pcm_, fds.data(), unsigned(got), &revents) < 0)
            return false;
        return !(revents & (POLLERR | POLLHUP | POLLNVAL));
    }

    // An overrun, an underrun or a suspend is recovered once; a second fault before any
    // sound has moved again, a failed recovery or any other error stops the device:
    // false, after the owner has had the Error notice.
    bool recover(int rc) {
        if (!recovering_ && (rc == -EPIPE || rc == -ESTRPIPE || rc == -EINTR)) {
            recovering_ = true;
            int r = snd_pcm_recover(pcm_, rc, 1);
            if (r >= 0 && dir_ == TWaveDirection::Capture)
                r = snd_pcm_start(pcm_);
            if (r >= 0)
                return true;
            rc = r;
        }
        fail(rc);
        return false;
    }

    void fail(int rc) {
        failure_ = rc < 0 ? rc : -EIO;
        qCWarning(lcSound) << "sound device stopped:" << snd_strerror(failure_);
        if (!quitting())
            callback_(TWaveNotice::Error, instance_, nullptr);
    }

    void runCapture() {
        for (;;) {
            TWaveHeader* h = nullptr;
            {
                std::unique_lock lock(m_);
                cv_.wait(lock, [&] { return quit_ || (started_ && !queue_.empty()); });
                if (quit_)
                    return;
                h = queue_.front();
            }
            int32_t fill = 0;
            while (fill < h->BufferLength) {
                if (quitting())
                    return;
                const snd_pcm_sframes_t n = snd_pcm_readi(
                    pcm_, h->Data + fill, snd_pcm_uframes_t((h->BufferLength - fill) / frameBytes_));
                if (n > 0) {
                    fill += int32_t(n) * frameBytes_;
                    recovering_ = false;
                    pollFaults_ = 0;
                } else if (n == 0 || n == -EAGAIN) {
                    if (!waitPcm(100) && pollFaults_++ > 0) {
                        fail(-EIO);
                        return;
                    }
                } else if (!recover(int(n))) {
                    return;
                }
            }
            h->BytesRecorded = fill;
            h->DeviceTimeNs = WaveClockNs();
            h->SampleTimeNs = sampleTime(h->DeviceTimeNs, fill / frameBytes_);
            {
                std::lock_guard lock(m_);
                if (quit_)
                    return; // Reset hands it back
                queue_.pop_front();
            }
            callback_(TWaveNotice::Data, instance_, h);
        }
    }

    // Plays the queued buffers in order; a buffer is done once the device has played it
    // (the sound system has taken its last frame out of the device's buffer).
    void runPlayback() {
        for (;;) {
            TWaveHeader* next = nullptr;
            {
                std::unique_lock lock(m_);
                cv_.wait(lock, [&] { return quit_ || !queue_.empty() || !inflight_.empty(); });
                if (quit_)
                    return;
                if (!queue_.empty())
                    next = queue_.front();
            }
            if (next && !write(*next))
                return;
            std::deque<TWaveHeader*> done;
            int64_t waitFrames = 0;
            {
                const int64_t played = playedFrames();
                if (played < 0)
                    return; // the device is lost: the owner has had the Error notice
                std::lock_guard lock(m_);
                while (!inflight_.empty() && ends_.front() <= played) {
                    done.push_back(inflight_.front());
                    inflight_.pop_front();
                    ends_.pop_front();
                }
                if (!inflight_.empty())
                    waitFrames = ends_.front() - played;
            }
            for (TWaveHeader* h : done) {
                if (quitting())
                    return;
                callback_(TWaveNotice::Done, instance_, h);
            }
            if (done.empty() && waitFrames > 0) {
                const int64_t ms = std::clamp<int64_t>(waitFrames * 1000 / std::max(rate_, 1u) + 1, 1, 200);
                std::unique_lock lock(m_);
                cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return quit_ || !queue_.empty(); });
            }
        }
    }

    // When the microphone took the first sample of a buffer of frames just read: the
    // buffer's length and the frames still waiting in the sound system (its delay) ago.
    int64_t sampleTime(int64_t now, int64_t frames) {
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_delay(pcm_, &delay) < 0 || rate_ == 0)
            return 0;
        return now - (std::max<int64_t>(delay, 0) + frames) * 1000000000 / rate_;
    }

    // Frames the sound system has taken out of the device's buffer since the open: the
    // frames written less those still waiting. Nothing plays before the start, everything
    // written has played once the device has run dry. A device that reads as run dry is
    // made ready for the next buffer at once: a sound server that has gone also reads so,
    // and only the preparation tells the two apart; it fails, and the owner is told now,
    // not at the next buffer, which an owner with nothing more to play never writes.
    // -1 when the device is lost (after the Error notice).
    int64_t playedFrames() {
        snd_pcm_state_t state = snd_pcm_state(pcm_);
        if (state == SND_PCM_STATE_PREPARED)
            return 0;
        snd_pcm_sframes_t avail = snd_pcm_avail(pcm_);
        if (state == SND_PCM_STATE_RUNNING && avail >= 0)
            return written_ - std::max<int64_t>(int64_t(bufferFrames_) - avail, 0);
        if (state == SND_PCM_STATE_RUNNING)
            state = snd_pcm_state(pcm_); // the failed avail has moved it on
        if (state == SND_PCM_STATE_XRUN || state == SND_PCM_STATE_SUSPENDED ||
            state == SND_PCM_STATE_DISCONNECTED || avail < 0) {
            const int rc = state == SND_PCM_STATE_DISCONNECTED ? -ENODEV : snd_pcm_prepare(pcm_);
            if (rc < 0) {
                fail(rc);
                return -1;
            }
        }
        return written_;
    }

    bool write(TWaveHeader& h) {
        const int64_t frames = h.BufferLength / frameBytes_;
        int64_t put = 0;
        if (snd_pcm_state(pcm_) == SND_PCM_STATE_SETUP)
            snd_pcm_prepare(pcm_); // after a Reset
        while (put < frames) {
            if (quitting())
                return false;
            const snd_pcm_sframes_t n =
                snd_pcm_writei(pcm_, h.Data + put * frameBytes_, snd_pcm_uframes_t(frames - put));
            if (n > 0) {
                put += n;
                recovering_ = false;
                pollFaults_ = 0;
            } else if (n == 0 || n == -EAGAIN) {
                if (!waitPcm(100) && pollFaults_++ > 0) {
                    fail(-EIO);
                    return false;
                }
            } else if (!recover(int(n))) {
                return false; // the buffer stays queued: a reset hands it back
            }
        }
        h.DeviceTimeNs = WaveClockNs();
        written_ += frames;
        std::lock_guard lock(m_);
        queue_.pop_front();
        inflight_.push_back(&h);
        ends_.push_back(written_);
        return true;
    }

    TWaveDirection dir_;
    snd_pcm_t* pcm_ = nullptr;
    int frameBytes_ = 1;
    snd_pcm_uframes_t bufferFrames_ = 0;
    unsigned rate_ = 8000;
    TWaveCallback callback_ = nullptr;
    void* instance_ = nullptr;
    int wake_ = -1;
    std::thread thread_;
    std::mutex m_;
    std::condition_variable cv_;
    bool quit_ = false;
    bool started_ = false;
    std::deque<TWaveHeader*> queue_;    // queued, not yet read or written
    std::deque<TWaveHeader*> inflight_; // playback: written, not yet played
    std::deque<int64_t> ends_;          // frame position of each inflight buffer's end
    int64_t written_ = 0;               // frames written since the open (device thread)
    std::atomic<int> failure_{0};       // the fault the device stopped on, 0 while running
    bool recovering_ = false;           // a recovery has been tried and no sound moved since
    int pollFaults_ = 0;                // waits ended by an error report, no sound moved since
};

} // namespace

std::unique_ptr<IWaveDevice> CreateAlsaWaveDevice(TWaveDirection direction) {
    return std::make_unique<TAlsaWaveDevice>(direction);
}

std::unique_ptr<IWaveDevice> CreateWaveDevice(TWaveDirection direction) {
    if (Factory())
        return Factory()(direction);
    return CreateAlsaWaveDevice(direction);
}

void SetWaveDeviceFactory(TWaveDeviceFactory factory) {
    Factory() = std::move(factory);
}
