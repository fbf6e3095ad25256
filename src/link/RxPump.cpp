#include "link/RxPump.h"

#include "link/HexLog.h"
#include "link/Receiver.h"
#include "state/UVesk.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMutexLocker>
#include <QObject>
#include <QThread>
#include <mutex>
#include <vector>

namespace {

const QEvent::Type DeliverEvent = QEvent::Type(QEvent::registerEventType());

class TRxPump : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == DeliverEvent) {
            DeliverPendingBytes();
            return true;
        }
        return QObject::event(e);
    }
};

std::mutex queueMutex;
std::vector<uint8_t> incoming; // filled by any thread under queueMutex
std::vector<uint8_t> current;  // window thread only
size_t position = 0;           // next byte of current

TRxPump* Pump() {
    static TRxPump* pump = [] {
        auto* p = new TRxPump;
        if (QCoreApplication::instance() && p->thread() != QCoreApplication::instance()->thread())
            p->moveToThread(QCoreApplication::instance()->thread());
        return p;
    }();
    return pump;
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
        wake = incoming.empty();
        incoming.insert(incoming.end(), data, data + count);
    }
    // One posted event per batch: a batch that finds bytes queued joins the pending one.
    if (wake && QCoreApplication::instance())
        QCoreApplication::postEvent(Pump(), new QEvent(DeliverEvent));
}

void DeliverPendingBytes() {
    // Called from inside a byte's decoding (a decoder pumped events): the bytes wait for
    // the delivery that is running, which goes on once that byte is done.
    if (ReceivingByte())
        return;
    for (;;) {
        if (position >= current.size()) {
            std::lock_guard lock(queueMutex);
            current.swap(incoming);
            incoming.clear();
            position = 0;
            if (current.empty())
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
}

size_t PendingByteCount() {
    std::lock_guard lock(queueMutex);
    return incoming.size() + (current.size() - std::min(position, current.size()));
}

void PostToWindowThread(std::function<void()> f) {
    if (!QCoreApplication::instance())
        return;
    QMetaObject::invokeMethod(Pump(), std::move(f), Qt::QueuedConnection);
}
