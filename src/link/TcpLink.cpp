// The TCP transport: the client connection to the device, its input and its send loop.
#include "link/LinkLog.h"
#include "link/LinkState.h"
#include "link/RxPump.h"
#include "link/Transport.h"
#include "link/TransportIo.h"
#include "link/TxQueue.h"
#include "state/LinkView.h"
#include "state/MainView.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

bool TcpConnected = false;
int DeviceTcpPort = 4001;

namespace {

int TcpSocket = -1;
QPointer<QSocketNotifier> notifier;

QString ErrnoText(int e) {
    return QString::fromLocal8Bit(strerror(e));
}

// Waits for a non-blocking connect, letting window events other than input run.
bool WaitConnected(int fd) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(TcpConnectTimeoutMs);
    for (;;) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0) {
            DebugLog(QStringLiteral("OpenConnection: connect timed out"));
            return false;
        }
        pollfd p{fd, POLLOUT, 0};
        const int n = ::poll(&p, 1, int(std::min<long long>(left, 50)));
        if (n < 0 && errno != EINTR)
            return false;
        if (n > 0) {
            int error = 0;
            socklen_t len = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
                DebugLog(QStringLiteral("OpenConnection: %1").arg(ErrnoText(error ? error : errno)));
                return false;
            }
            return true;
        }
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

} // namespace

void OpenConnection(const QString& address, int port) {
    if (TcpConnected)
        return;
    try {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
        if (fd < 0) {
            DebugLog(QStringLiteral("OpenConnection: NOCHandle = INVALID_SOCKET"));
            return;
        }
        const int rcvbuf = 16384;
        if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf) != 0) {
            DebugLog(QStringLiteral("OpenConnection: IResult = SOCKET_ERROR"));
            ::close(fd);
            return;
        }
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const QByteArray host = address.trimmed().toUtf8();
        if (host.isEmpty() || ::getaddrinfo(host.constData(), nullptr, &hints, &found) != 0 || !found) {
            ::close(fd);
            return;
        }
        sockaddr_in to = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        DebugLog(QStringLiteral("HE.h_name = ") +
                 (found->ai_canonname ? QString::fromUtf8(found->ai_canonname) : QString::fromUtf8(host)));
        ::freeaddrinfo(found);
        to.sin_port = htons(uint16_t(port));
        bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
        if (!connected && errno == EINPROGRESS)
            connected = WaitConnected(fd);
        else if (!connected)
            DebugLog(QStringLiteral("OpenConnection: %1").arg(ErrnoText(errno)));
        if (!connected) {
            ::close(fd);
            return;
        }
        DebugLog(QStringLiteral("OpenConnection: OK!!!"));
        InitRxPump();
        LinkOpened();
        TcpSocket = fd;
        TcpConnected = true;
        notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, [] { HandleSocketInput(); });
    } catch (const std::exception& e) {
        DebugLog(QStringLiteral("Exception in OpenConnection_: ") + QString::fromLocal8Bit(e.what()));
    }
}

void CloseConnection() {
    if (notifier) {
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }
    if (TcpSocket >= 0) {
        TTxLock lock(TxMutex());
        TxForget(TcpSocket); // what still waits for the socket goes with it
        ::close(TcpSocket);
        TcpSocket = -1;
    }
    TcpConnected = false;
}

void HandleSocketInput() {
    if (TcpSocket < 0)
        return;
    uint8_t buf[4096];
    bool closed = false;
    // A bounded read per notification, within the queue's room; the notifier fires again
    // while bytes remain.
    for (int pass = 0; pass < 16; ++pass) {
        const size_t room = std::min(RxQueueRoom(), sizeof buf);
        if (room == 0) {
            // The queue is full: the socket waits (the kernel holds the bytes) until a
            // delivery has made room.
            if (notifier) {
                notifier->setEnabled(false);
                OnRxRoom([] {
                    if (notifier && TcpSocket >= 0)
                        notifier->setEnabled(true);
                });
            }
            break;
        }
        const ssize_t n = ::recv(TcpSocket, buf, room, MSG_DONTWAIT);
        if (n > 0) {
            PushReceivedBytes(buf, size_t(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            break;
        DebugLog(n == 0 ? QStringLiteral("AsynchInput: peer closed")
                        : QStringLiteral("Exception in AsynchInput: ") + ErrnoText(errno));
        closed = true;
        break;
    }
    if (closed && TcpSocket >= 0) {
        DeliverPendingBytes();
        CloseConnection();
        LineLost();
        MainView().EnableLinkMenus(false);
    }
}

int32_t DoSendBufBytes(const TTxBuffer& Buf, bool wait) {
    const int32_t sent = TxWrite(TcpSocket, true, Buf.Data, Buf.Len, TcpSendTimeoutMs, wait);
    DebugLog(QStringLiteral("DoSendBufBytes: %1 vs %2").arg(sent).arg(Buf.Len));
    return sent;
}
