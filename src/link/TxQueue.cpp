// The link's writer thread and the queue of bytes that wait for the line.
#include "link/TxQueue.h"

#include "link/LinkLog.h"
#include "link/RxPump.h"
#include "link/Transport.h"
#include "platform/Clock.h"
#include "state/MainView.h"

#include <QString>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The longest the writer sleeps on a full line before it looks at the clock again.
constexpr int RecheckMs = 50;

struct TPending {
    int Fd;
    bool Socket;
    std::vector<uint8_t> Bytes;
    size_t Done;
    qint64 Deadline; // on Clock()
};

/// What the line takes at once: the bytes written, 0 when it has no room, -1 (errno
/// kept) when it failed.
ssize_t WriteSome(int fd, bool socket, const uint8_t* data, size_t count) {
    for (;;) {
        const ssize_t n =
            socket ? ::send(fd, data, count, MSG_NOSIGNAL | MSG_DONTWAIT) : ::write(fd, data, count);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

class TWriter {
public:
    ~TWriter() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true; // the entry the writer may hold stays until it has ended
        }
        wakeUp();
        if (thread_.joinable())
            thread_.join();
        if (wake_ >= 0)
            ::close(wake_);
    }

    int32_t Write(int fd, bool socket, const uint8_t* data, int32_t len, int64_t timeoutMs, bool queueRest) {
        std::unique_lock lock(mutex_);
        int32_t written = 0;
        // Waiting bytes go first: nothing overtakes them.
        if (queue_.empty()) {
            while (written < len) {
                const ssize_t n = WriteSome(fd, socket, data + written, size_t(len - written));
                if (n < 0) {
                    DebugLog(QStringLiteral("TxWrite: %1").arg(QString::fromLocal8Bit(strerror(errno))));
                    return written;
                }
                if (n == 0)
                    break;
                written += int32_t(n);
            }
        }
        if (written == len || !queueRest)
            return written;
        const size_t rest = size_t(len - written);
        if (pending_ + rest > TxQueueCapacity) {
            DebugLog(QStringLiteral("TxWrite: %1 bytes not taken, %2 wait").arg(rest).arg(pending_));
            tellNotTaking();
            return written;
        }
        queue_.push_back({fd, socket, std::vector<uint8_t>(data + written, data + len), 0,
                          Clock().MonotonicMs() + timeoutMs});
        pending_ += rest;
        if (!thread_.joinable()) {
            wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            thread_ = std::thread([this] { run(); });
        }
        changed_.notify_all();
        return len;
    }

    void Forget(int fd) {
        std::unique_lock lock(mutex_);
        if (std::none_of(queue_.begin(), queue_.end(), [fd](const TPending& p) { return p.Fd == fd; }))
            return;
        // Erasing moves the queue's entries: not while the writer holds one. The writer
        // stands aside until this is done, so that it does not take the next one at once.
        ++forgetting_;
        wakeUp();
        changed_.wait(lock, [&] { return busyFd_ < 0; });
        dropFd(fd);
        --forgetting_;
        changed_.notify_all();
    }

    size_t Pending() {
        std::lock_guard lock(mutex_);
        return pending_;
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        bool refused = false;
        while (!stop_) {
            if (queue_.empty() || forgetting_ > 0) {
                changed_.wait(lock);
                continue;
            }
            TPending& p = queue_.front(); // stays put: others only append, or wait for busyFd_
            if (Clock().MonotonicMs() >= p.Deadline) {
                DebugLog(QStringLiteral("TxWrite: %1 of %2 bytes not taken in time")
                             .arg(p.Bytes.size() - p.Done)
                             .arg(p.Bytes.size()));
                pending_ -= p.Bytes.size() - p.Done;
                queue_.pop_front();
                tellNotTaking();
                continue;
            }
            busyFd_ = p.Fd;
            lock.unlock();
            ssize_t n = WriteSome(p.Fd, p.Socket, p.Bytes.data() + p.Done, p.Bytes.size() - p.Done);
            const int error = errno;
            if (n == 0) {
                // A full line: wait for room, a wake-up or the next look at the clock. A line
                // that said it had room and then took nothing is not asked again at once.
                pollfd fds[2] = {{p.Fd, short(refused ? 0 : POLLOUT), 0}, {wake_, POLLIN, 0}};
                if (::poll(fds, 2, refused ? 10 : RecheckMs) > 0 && (fds[1].revents & POLLIN)) {
                    uint64_t count;
                    [[maybe_unused]] auto r = ::read(wake_, &count, sizeof count);
                }
                refused = (fds[0].revents & POLLOUT) != 0;
            } else {
                refused = false;
            }
            lock.lock();
            const int fd = busyFd_;
            busyFd_ = -1;
            changed_.notify_all();
            if (n < 0) {
                DebugLog(QStringLiteral("TxWrite: %1").arg(QString::fromLocal8Bit(strerror(error))));
                dropFd(fd); // the line has failed: what waits for it cannot go
            } else if (n > 0) {
                p.Done += size_t(n);
                pending_ -= size_t(n);
                if (p.Done == p.Bytes.size())
                    queue_.pop_front();
            }
        }
    }

    void dropFd(int fd) {
        for (auto i = queue_.begin(); i != queue_.end();) {
            if (i->Fd == fd) {
                pending_ -= i->Bytes.size() - i->Done;
                i = queue_.erase(i);
            } else {
                ++i;
            }
        }
    }

    void wakeUp() {
        const uint64_t one = 1;
        if (wake_ >= 0) [[maybe_unused]]
            auto r = ::write(wake_, &one, sizeof one);
        changed_.notify_all();
    }

    // Once per send dropped (not per byte): what was handed over has not reached the station.
    void tellNotTaking() {
        PostToWindowThread(
            [] { MainView().AddMessageRow(QStringLiteral("Станция не принимает данные"), false); });
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TPending> queue_;
    size_t pending_ = 0;
    int busyFd_ = -1;
    int forgetting_ = 0; // closers waiting for the writer to stand aside
    bool stop_ = false;
    int wake_ = -1;
    std::thread thread_;
};

TWriter& Writer() {
    static TWriter writer;
    return writer;
}

} // namespace

int32_t TxWrite(int fd, bool socket, const uint8_t* data, int32_t len, int64_t timeoutMs, bool queueRest) {
    if (fd < 0 || len <= 0)
        return 0;
    return Writer().Write(fd, socket, data, len, timeoutMs, queueRest);
}

void TxForget(int fd) {
    if (fd >= 0)
        Writer().Forget(fd);
}

size_t TxPendingBytes() {
    return Writer().Pending();
}
