#include "link/RxPump.h"

#include "link/HexLog.h"
#include "link/Receiver.h"
#include "state/UVesk.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMutexLocker>
#include <QObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

const QEvent::Type DeliverEvent = QEvent::Type(QEvent::registerEventType());

class TRxPump : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == DeliverEvent) {
            DeliverByteSlice();
            return true;
        }
        return QObject::event(e);
    }
};

std::mutex queueMutex;
std::condition_variable roomChanged;
std::vector<uint8_t> incoming;                  // filled by any thread under queueMutex
size_t pending = 0;                             // bytes pushed and not delivered, under queueMutex
bool posted = false;                            // a delivery event is on its way, under queueMutex
bool readerWaits = false;                       // a reader waits for room, under queueMutex
std::vector<uint8_t> current;                   // window thread only
size_t position = 0;                            // next byte of current
size_t counted = 0;                             // bytes of current already taken off pending
std::vector<std::function<void()>> roomWaiters; // window thread only

int deliveries = 0;                               // deliveries running (nested ones too), window thread
std::vector<std::function<void()>> afterDelivery; // window thread only

// Counts a running delivery; the last one to end runs what waits for it.
struct TDeliveryScope {
    TDeliveryScope() { ++deliveries; }
    ~TDeliveryScope() {
        if (--deliveries > 0)
            return;
        auto waiting = std::move(afterDelivery);
        afterDelivery.clear();
        for (auto& f : waiting) {
            try {
                f();
            } catch (...) {
                // window state only: the next delivery sets it again
            }
        }
    }
};

TRxPump* Pump() {
    static TRxPump* pump = [] {
        auto* p = new TRxPump;
        if (QCoreApplication::instance() && p->thread() != QCoreApplication::instance()->thread())
            p->moveToThread(QCoreApplication::instance()->thread());
        return p;
    }();
    return pump;
}

void PostDelivery() {
    if (QCoreApplication::instance())
        QCoreApplication::postEvent(Pump(), new QEvent(DeliverEvent));
}

// Takes the delivered bytes of current off the queue's count and wakes a reader that
// waits for room; under queueMutex.
void CountDelivered() {
    const size_t n = std::min(position, current.size()) - counted;
    counted += n;
    pending -= std::min(pending, n);
    if (n > 0 && readerWaits)
        roomChanged.notify_all();
}

void RunRoomWaiters() {
    if (roomWaiters.empty() || RxQueueRoom() == 0)
        return;
    auto waiters = std::move(roomWaiters);
    roomWaiters.clear();
    for (auto& f : waiters)
        f();
}

// Delivers queued bytes until none is left or, when limited, the slice's time is up.
void Deliver(bool limited) {
    // Called from inside a byte's decoding (a decoder pumped events): the bytes wait for
    // the delivery that is running, which goes on once that byte is done.
    if (ReceivingByte()) {
        if (limited)
            AfterThisByte([] { PostDelivery(); });
        return;
    }
    const TDeliveryScope scope;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(RxSliceMs);
    for (unsigned n = 1;; ++n) {
        if (position >= current.size()) {
            std::lock_guard lock(queueMutex);
            CountDelivered();
            current.swap(incoming);
            incoming.clear();
            position = 0;
            counted = 0;
            if (current.empty()) {
                posted = false;
                break;
            }
        }
        // The clock is read every 32 bytes: a byte takes microseconds at most.
        if (limited && (n > RxSliceBytes || (n % 32 == 0 && Clock::now() >= deadline))) {
            std::lock_guard lock(queueMutex);
            CountDelivered();
            posted = true;
            PostDelivery();
            break;
        }
        const uint8_t b = current[position++];
        if (RxLock) {
            QMutexLocker lock(RxLock);
            ReceiveByte(b);
        } else {
            ReceiveByte(b);
        }
    }
    RxLog.Flush();
    RunRoomWaiters();
}

} // namespace

void InitRxPump() {
    Pump();
}

void PushReceivedBytes(const uint8_t* data, size_t count) {
    if (count == 0)
        return;
    bool wake = false;
    {
        std::lock_guard lock(queueMutex);
        incoming.insert(incoming.end(), data, data + count);
        pending += count;
        wake = !posted;
        posted = true;
    }
    // One posted event at a time: bytes that find one on its way join it.
    if (wake)
        PostDelivery();
}

size_t WaitForRxRoom(const std::atomic<bool>& stop) {
    std::unique_lock lock(queueMutex);
    readerWaits = true;
    roomChanged.wait(lock, [&] { return stop.load() || pending < RxQueueCapacity; });
    readerWaits = false;
    return stop ? 0 : RxQueueCapacity - pending;
}

void WakeRxWaiters() {
    std::lock_guard lock(queueMutex);
    roomChanged.notify_all();
}

size_t RxQueueRoom() {
    std::lock_guard lock(queueMutex);
    return pending < RxQueueCapacity ? RxQueueCapacity - pending : 0;
}

void OnRxRoom(std::function<void()> f) {
    roomWaiters.push_back(std::move(f));
    RunRoomWaiters();
}

void DeliverPendingBytes() {
    Deliver(false);
}

void DeliverByteSlice() {
    Deliver(true);
}

bool DeliveringBytes() {
    return deliveries > 0;
}

void AfterDelivery(std::function<void()> f) {
    if (deliveries > 0)
        afterDelivery.push_back(std::move(f));
    else
        f();
}

size_t PendingByteCount() {
    std::lock_guard lock(queueMutex);
    return pending;
}

void PostToWindowThread(std::function<void()> f) {
    if (!QCoreApplication::instance())
        return;
    // Delivery runs in slices: the bytes of a slice still to come go first.
    QMetaObject::invokeMethod(
        Pump(),
        [f = std::move(f)] {
            DeliverPendingBytes();
            f();
        },
        Qt::QueuedConnection);
}
