#include "Station.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vesksim {

namespace {

bool IsCommand(uint8_t b) {
    return b >= 0x90 && b <= 0xDF;
}
bool IsDigit(uint8_t b) {
    return b >= 0x80 && b <= 0x8F;
}
bool IsOpener(uint8_t b) {
    return b >= 0xE0 && (b & 1) == 0;
}

// Writes all bytes to a non-blocking descriptor, waiting for room up to 5 s in all. A
// pseudo-terminal whose program end is closed reports a hang-up at once and never makes
// room again: that ends the write too.
bool WriteAll(int fd, const uint8_t* data, size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::send(fd, data + done, count - done, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK) {
            const ssize_t w = ::write(fd, data + done, count - done);
            if (w > 0) {
                done += size_t(w);
                continue;
            }
            if (w < 0 && errno != EAGAIN && errno != EINTR)
                return false;
        } else if (n > 0) {
            done += size_t(n);
            continue;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, int(left)) <= 0 || !(p.revents & POLLOUT))
            return false;
    }
    return true;
}

} // namespace

std::vector<TUnit> ParseUnits(const TBytes& bytes, TBytes* rest) {
    std::vector<TUnit> units;
    auto raw = [&](uint8_t b) {
        if (units.empty() || units.back().kind != TUnit::Raw)
            units.push_back(TUnit{TUnit::Raw, 0, {}, {}});
        units.back().raw.push_back(b);
    };
    size_t i = 0;
    while (i < bytes.size()) {
        const uint8_t b = bytes[i];
        if (IsCommand(b)) {
            units.push_back(TUnit{TUnit::Command, b, {}, {}});
            ++i;
        } else if (IsOpener(b)) {
            size_t j = i + 1;
            std::vector<uint8_t> digits;
            while (j < bytes.size() && IsDigit(bytes[j]) && digits.size() < 16)
                digits.push_back(bytes[j++] & 0x0F);
            if (j == bytes.size()) {
                if (rest)
                    rest->assign(bytes.begin() + long(i), bytes.end());
                return units;
            }
            if (bytes[j] == (b | 1)) {
                units.push_back(TUnit{TUnit::Frame, b, digits, {}});
                i = j + 1;
            } else {
                for (size_t k = i; k < j; ++k)
                    raw(bytes[k]);
                i = j;
            }
        } else {
            raw(b);
            ++i;
        }
    }
    if (rest)
        rest->clear();
    return units;
}

std::string ToHex(const TBytes& bytes) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (i)
            s += ' ';
        s += buf;
    }
    return s;
}

TBytes FromHex(const std::string& text) {
    TBytes out;
    int high = -1;
    for (char c : text) {
        int v = -1;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        if (v < 0) {
            high = -1;
            continue;
        }
        if (high < 0) {
            high = v;
        } else {
            out.push_back(uint8_t(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

std::string FormatUnit(const TUnit& unit) {
    char buf[8];
    switch (unit.kind) {
    case TUnit::Command:
        std::snprintf(buf, sizeof buf, "%02X", unit.code);
        return buf;
    case TUnit::Frame: {
        std::snprintf(buf, sizeof buf, "%02X[", unit.code);
        std::string s = buf;
        for (uint8_t d : unit.digits)
            s += "0123456789ABCDEF"[d & 15];
        return s + "]";
    }
    case TUnit::Raw:
        break;
    }
    return "raw(" + std::to_string(unit.raw.size()) + ")";
}

TBytes Frame(uint8_t code, const std::vector<uint8_t>& digits) {
    TBytes out{code};
    for (uint8_t d : digits)
        out.push_back(uint8_t(0x80 | (d & 15)));
    out.push_back(uint8_t(code | 1));
    return out;
}

TBytes ResultFrame(const std::string& code7, int test) {
    std::vector<uint8_t> digits;
    for (size_t i = 0; i < 7; ++i) {
        const char c = i < code7.size() ? code7[i] : '0';
        digits.push_back(uint8_t(c >= 'A' ? (c & 0x5F) - 'A' + 10 : c - '0'));
    }
    digits.push_back(uint8_t(test));
    return Frame(0xE2, digits);
}

TStation::TStation() {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        wake_[0] = wake_[1] = -1;
    io_ = std::thread([this] { ioLoop(); });
}

TStation::~TStation() {
    stop_ = true;
    if (wake_[1] >= 0) [[maybe_unused]]
        auto r = ::write(wake_[1], "x", 1);
    io_.join();
    for (int fd : {ptyMaster_, listen_, peer_.load(), wake_[0], wake_[1]})
        if (fd >= 0)
            ::close(fd);
}

bool TStation::StartSerial(const std::string& root, const std::string& port) {
    root_ = root;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        error_ = std::string("pseudo-terminal: ") + std::strerror(errno);
        if (master >= 0)
            ::close(master);
        return false;
    }
    // The line is raw from the start: no echo and no character processing either way.
    termios tio{};
    if (::tcgetattr(master, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(master, TCSANOW, &tio);
    }
    const char* slave = ::ptsname(master);
    std::error_code ec;
    const fs::path driver = fs::path(root) / "sys/bus/usb-serial/drivers/cp210x";
    const fs::path device = fs::path(root) / "sys/class/tty" / port / "device";
    fs::create_directories(driver, ec);
    fs::create_directories(device, ec);
    fs::create_directories(fs::path(root) / "dev", ec);
    fs::remove(device / "driver", ec);
    fs::create_symlink(driver, device / "driver", ec);
    fs::remove(fs::path(root) / "dev" / port, ec);
    fs::create_symlink(slave, fs::path(root) / "dev" / port, ec);
    if (ec) {
        error_ = "fake tree: " + ec.message();
        ::close(master);
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        ptyMaster_ = master;
    }
    if (wake_[1] >= 0) [[maybe_unused]]
        auto r = ::write(wake_[1], "x", 1);
    return true;
}

int TStation::ListenTcp(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error_ = std::strerror(errno);
        return 0;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        error_ = std::strerror(errno);
        ::close(fd);
        return 0;
    }
    {
        std::lock_guard lock(mutex_);
        listen_ = fd;
    }
    if (wake_[1] >= 0) [[maybe_unused]]
        auto r = ::write(wake_[1], "x", 1);
    return ntohs(a.sin_port);
}

int TStation::peerFd() const {
    std::lock_guard lock(mutex_);
    return peer_ >= 0 ? peer_.load() : ptyMaster_;
}

bool TStation::Send(const TBytes& bytes) {
    std::lock_guard lock(sendMutex_);
    return writeLocked(bytes);
}

bool TStation::SendBetweenFrames(const TBytes& bytes, std::chrono::milliseconds timeout) {
    std::unique_lock lock(sendMutex_);
    frameClosed_.wait_for(lock, timeout, [&] { return !frameOpen_; });
    return writeLocked(bytes);
}

bool TStation::writeLocked(const TBytes& bytes) {
    const int fd = peerFd();
    const bool ok = fd >= 0 && WriteAll(fd, bytes.data(), bytes.size());
    // An opening byte begins a frame; any byte but a digit ends it, closing or breaking it.
    for (uint8_t b : bytes)
        if (IsOpener(b))
            frameOpen_ = true;
        else if (!IsDigit(b))
            frameOpen_ = false;
    if (!frameOpen_)
        frameClosed_.notify_all();
    return ok;
}

bool TStation::SendSplit(const TBytes& bytes, size_t chunk, std::chrono::milliseconds pause) {
    if (chunk == 0)
        chunk = 1;
    for (size_t i = 0; i < bytes.size(); i += chunk) {
        const TBytes piece(bytes.begin() + long(i), bytes.begin() + long(std::min(bytes.size(), i + chunk)));
        if (!Send(piece))
            return false;
        std::this_thread::sleep_for(pause);
    }
    return true;
}

void TStation::HangUp(bool abortive) {
    // A send in progress ends within its own 5 s; the hang-up waits for it no longer.
    std::unique_lock send(sendMutex_, std::chrono::seconds(6));
    std::unique_lock lock(mutex_);
    // The station's thread closes the descriptors: it may be polling them right now.
    hangup_ = abortive ? 2 : 1;
    if (wake_[1] >= 0) [[maybe_unused]]
        auto r = ::write(wake_[1], "x", 1);
    changed_.wait_for(lock, std::chrono::seconds(5), [&] { return hangup_ == 0; });
}

void TStation::doHangUp() {
    std::lock_guard lock(mutex_);
    if (hangup_ == 0)
        return;
    if (peer_ >= 0) {
        if (hangup_ == 2) {
            const linger l{1, 0};
            ::setsockopt(peer_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
        ::close(peer_);
        peer_ = -1;
    }
    if (ptyMaster_ >= 0) {
        ::close(ptyMaster_);
        ptyMaster_ = -1;
    }
    hangup_ = 0;
    changed_.notify_all();
}

TBytes TStation::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void TStation::Clear() {
    std::lock_guard lock(mutex_);
    received_.clear();
}

bool TStation::WaitFor(const TBytes& pattern, std::chrono::milliseconds timeout, size_t offset) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        if (received_.size() < offset + pattern.size())
            return false;
        return std::search(received_.begin() + long(offset), received_.end(), pattern.begin(),
                           pattern.end()) != received_.end();
    });
}

bool TStation::WaitForCount(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

void TStation::SetHandler(THandler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void TStation::onBytes(const uint8_t* data, size_t count) {
    std::vector<TUnit> units;
    THandler handler;
    {
        std::lock_guard lock(mutex_);
        received_.insert(received_.end(), data, data + count);
        pending_.insert(pending_.end(), data, data + count);
        TBytes rest;
        units = ParseUnits(pending_, &rest);
        pending_ = rest;
        handler = handler_;
    }
    changed_.notify_all();
    if (handler)
        for (const TUnit& u : units)
            handler(u, *this);
}

void TStation::SetReading(bool on) {
    reading_ = on;
    if (wake_[1] >= 0) [[maybe_unused]]
        auto r = ::write(wake_[1], "x", 1);
}

void TStation::ioLoop() {
    uint8_t buf[4096];
    while (!stop_) {
        doHangUp();
        int master, listener, peer;
        {
            std::lock_guard lock(mutex_);
            master = ptyMaster_;
            listener = listen_;
            peer = peer_;
        }
        pollfd fds[4];
        int n = 0;
        fds[n++] = {wake_[0], POLLIN, 0};
        if (!reading_)
            master = peer = -1; // neither the terminal nor the connection is read
        const int im = master >= 0 ? n : -1;
        if (master >= 0)
            fds[n++] = {master, POLLIN, 0};
        const int il = listener >= 0 ? n : -1;
        if (listener >= 0)
            fds[n++] = {listener, POLLIN, 0};
        const int ip = peer >= 0 ? n : -1;
        if (peer >= 0)
            fds[n++] = {peer, POLLIN, 0};
        const int r = ::poll(fds, nfds_t(n), 50);
        if (r < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN)
            while (::read(wake_[0], buf, sizeof buf) > 0) {
            }
        if (im >= 0) {
            const short ev = r > 0 ? fds[im].revents : 0;
            // Without the program's end open the master reports a hang-up: wait a little
            // instead of spinning on it.
            ptyPeerSeen_ = !(ev & POLLHUP);
            // A closed program end may also read as "ready" with an error: that waits too.
            const ssize_t got = (ev & POLLIN) ? ::read(master, buf, sizeof buf) : 0;
            if (got > 0) {
                onBytes(buf, size_t(got));
            } else if (ev & (POLLHUP | POLLIN)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        if (il >= 0 && (fds[il].revents & POLLIN)) {
            const int c = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (c >= 0) {
                std::lock_guard lock(mutex_);
                if (peer_ >= 0)
                    ::close(peer_);
                peer_ = c;
            }
        }
        if (ip >= 0 && (fds[ip].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t got = ::recv(peer, buf, sizeof buf, MSG_DONTWAIT);
            if (got > 0) {
                onBytes(buf, size_t(got));
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                // Closed only while no send is running; a hang-up in progress does it.
                std::unique_lock send(sendMutex_, std::try_to_lock);
                if (send.owns_lock()) {
                    std::lock_guard lock(mutex_);
                    if (peer_ == peer) {
                        ::close(peer_);
                        peer_ = -1;
                    }
                } else {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
        }
    }
}

} // namespace vesksim
