// The serial transport: port open and close, the reader thread, the serial write.
#include "link/LinkLog.h"
#include "link/LinkState.h"
#include "link/RxPump.h"
#include "link/Transport.h"
#include "link/TransportIo.h"
#include "link/TxQueue.h"
#include "platform/Errors.h"
#include "platform/SerialPorts.h"
#include "state/LinkView.h"
#include "state/MainView.h"
#include "state/UVesk.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr size_t TrickleBytes = 256;
constexpr int TricklePauseMs = 10;

/// Reads the port in chunks on its own thread and pushes the bytes to the window thread.
/// It ends when told to (through its wake-up descriptor) or when the port hangs up or
/// fails; in the second case it tells the window thread, after its last bytes.
class TReader {
public:
    TReader(int fd, unsigned generation) : fd_(fd), generation_(generation) {
        wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        thread_ = std::thread([this] { run(); });
    }
    ~TReader() { Stop(); }

    void Stop() {
        if (thread_.joinable()) {
            stop_ = true;
            const uint64_t one = 1;
            if (wake_ >= 0) [[maybe_unused]]
                auto r = ::write(wake_, &one, sizeof one);
            WakeRxWaiters(); // a reader waiting for room in the queue
            thread_.join();
        }
        if (wake_ >= 0) {
            ::close(wake_);
            wake_ = -1;
        }
    }

private:
    void run();

    int fd_;
    int wake_ = -1;
    unsigned generation_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::unique_ptr<TReader> ReaderThread;
unsigned readerGeneration = 0;
QString lastOpenError;

void ReaderEnded(unsigned generation, const QString& why);

void TReader::run() {
    uint8_t buf[4096];
    QString why;
    while (!stop_) {
        // A full queue: the port is not read until the window thread has made room, so
        // the kernel and the line hold the bytes meanwhile.
        const size_t room = std::min(WaitForRxRoom(stop_), sizeof buf);
        if (stop_)
            return;
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
        const int n = ::poll(fds, wake_ >= 0 ? 2 : 1, wake_ >= 0 ? -1 : 200);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            why = SystemErrorText(errno);
            break;
        }
        if (stop_ || (wake_ >= 0 && (fds[1].revents & POLLIN)))
            return;
        if (fds[0].revents & POLLNVAL) {
            why = QStringLiteral("порт закрыт");
            break;
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t got = ::read(fd_, buf, room);
            if (got > 0) {
                // While the TCP interface is chosen the serial port is not the link.
                if (!TcpSelected)
                    PushReceivedBytes(buf, size_t(got));
                // A trickle at the line rate comes a few bytes a read (with room for more):
                // letting it gather for a few milliseconds wakes both threads a fraction as
                // often. A stop ends the pause.
                if (size_t(got) < TrickleBytes && room >= TrickleBytes && wake_ >= 0) {
                    pollfd w{wake_, POLLIN, 0};
                    ::poll(&w, 1, TricklePauseMs);
                }
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            // A hung-up line that still reads "try again" must not spin.
            if (got < 0 && errno == EAGAIN && !(fds[0].revents & (POLLHUP | POLLERR)))
                continue;
            why = got == 0 ? QStringLiteral("линия разорвана") : SystemErrorText(errno);
            break;
        }
    }
    if (!stop_) {
        const unsigned generation = generation_;
        PostToWindowThread([generation, why] { ReaderEnded(generation, why); });
    }
}

void ReaderEnded(unsigned generation, const QString& why) {
    if (generation != readerGeneration || !ReaderThread)
        return; // a reader that was stopped or replaced meanwhile
    qCWarning(lcLink).noquote() << "Чтение порта прекращено:" << why;
    DebugLog(QStringLiteral("Serial reader ended: %1").arg(why));
    HandleReaderEnded();
}

void CloseFd() {
    if (ComHandle >= 0) {
        TTxLock lock(TxMutex());
        TxForget(ComHandle); // what still waits for the line goes with it
        // Gives up the exclusive use too: a terminal that outlives our descriptor (a
        // pseudo-terminal) would otherwise refuse the next opening with EBUSY.
        CloseSerialDevice(ComHandle);
        ComHandle = -1;
    }
}

} // namespace

QString FindUsbSerialPort() {
    return FindAdapterPort();
}

QString LastOpenErrorText() {
    return lastOpenError;
}

bool ComPortOpen() {
    return ComHandle >= 0;
}

void StopReader() {
    if (ReaderThread) {
        ReaderThread->Stop();
        ReaderThread.reset();
    }
}

void CloseComPort() {
    StopReader();
    CloseFd();
}

bool OpenComPort(const QString& name) {
    LinkView().SetBusyCursor(true);
    CloseComPort();
    QString error = QStringLiteral("Недопустимое имя порта");
    // Only a bare tty name becomes a path: "../x" never leaves the device folder.
    const bool bare = IsBarePortName(name);
    const int fd = bare ? OpenSerialDevice(SerialDevicePath(name), &error) : -1;
    if (fd < 0) {
        lastOpenError = name.isEmpty() ? QStringLiteral("Не выбран порт") : error;
        ComHandle = -1;
        LinkView().SetBusyCursor(false);
        return false;
    }
    lastOpenError.clear();
    InitRxPump();
    LinkOpened();
    ComHandle = fd;
    ReaderThread = std::make_unique<TReader>(fd, ++readerGeneration);
    LinkView().SetBusyCursor(false);
    return true;
}

void HandleReaderEnded() {
    DeliverPendingBytes();
    CloseComPort();
    LineLost();
    MainView().EnableLinkMenus(false);
    LinkView().SetPortCaption(QStringLiteral("Порт "));
}

int32_t ComWriteBuf(TTxBuffer& Buf, bool wait) {
    const int32_t written = TxWrite(ComHandle, false, Buf.Data, Buf.Len, int64_t(Buf.Len) * 50, wait);
    Buf.Len -= written;
    return written;
}
