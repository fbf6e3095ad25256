#pragma once
// A station that speaks the device's byte protocol over a pseudo-terminal (reached by
// the program through a fake sysfs/dev tree) or over TCP on 127.0.0.1, for tests and
// for running the program without the hardware. No Qt, no windows.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vesksim {

using TBytes = std::vector<uint8_t>;

/// One unit of what the program sent: a command byte, a frame, or raw bytes (sound).
struct TUnit {
    enum Kind { Command, Frame, Raw } kind = Raw;
    uint8_t code = 0;            // the command byte or the frame's opening byte
    std::vector<uint8_t> digits; // a frame's digit values 0-15
    TBytes raw;                  // raw bytes
    bool operator==(const TUnit&) const = default;
};

/// Splits a byte stream into units; an unfinished frame at the end is left out and its
/// bytes are returned in rest (when given).
std::vector<TUnit> ParseUnits(const TBytes& bytes, TBytes* rest = nullptr);
/// "D0", "93", "E2[0000000 2]", "raw(12)".
std::string FormatUnit(const TUnit& unit);
/// "D0 93 EE" from bytes, and back ("d0 93 ee", blanks optional between pairs).
std::string ToHex(const TBytes& bytes);
TBytes FromHex(const std::string& text);

/// Bytes of common units.
TBytes Frame(uint8_t code, const std::vector<uint8_t>& digits);
/// A result frame E2 with the seven code digits and the test number.
TBytes ResultFrame(const std::string& code7, int test);

class TStation {
public:
    TStation();
    ~TStation();
    TStation(const TStation&) = delete;
    TStation& operator=(const TStation&) = delete;

    /// Creates a pseudo-terminal and under root a tree the program finds as its USB
    /// adapter port: <root>/sys/class/tty/<port>/device/driver -> .../cp210x and
    /// <root>/dev/<port> -> the terminal. Returns false with Error() on failure.
    bool StartSerial(const std::string& root, const std::string& port = "ttyUSB0");
    std::string SysDir() const { return root_ + "/sys"; }
    std::string DevDir() const { return root_ + "/dev"; }
    /// Listens on 127.0.0.1 (port 0: any free port); returns the port or 0 on failure.
    int ListenTcp(int port = 0);
    const std::string& Error() const { return error_; }

    /// True while the program has the other end open (a TCP client is connected, or the
    /// terminal has been opened since the station started).
    bool PeerConnected() const { return peer_ >= 0 || (ptyMaster_ >= 0 && ptyPeerSeen_); }

    /// Sends bytes to the program at once.
    bool Send(const TBytes& bytes);
    /// Sends bytes between frames: while a frame that a send has begun is open (a reply going
    /// out in pieces), waits for its closing byte first, at most timeout (a frame open longer
    /// has been given up). False when the bytes cannot be sent.
    bool SendBetweenFrames(const TBytes& bytes, std::chrono::milliseconds timeout);
    /// Sends bytes in pieces of at most chunk bytes with a pause between, so that the
    /// program reads them across several reads.
    bool SendSplit(const TBytes& bytes, size_t chunk, std::chrono::milliseconds pause);
    /// Closes the program's end: the terminal hangs up, or the TCP connection closes
    /// (reset when abortive).
    void HangUp(bool abortive = false);

    /// Stops or resumes reading what the program sends: a station that stops reading lets
    /// the line's buffers fill until the program's writes find no room.
    void SetReading(bool on);

    /// Everything the program has sent since the start or the last Clear.
    TBytes Received() const;
    void Clear();
    /// Waits until the program has sent pattern (anywhere after offset) ; true when seen.
    bool WaitFor(const TBytes& pattern, std::chrono::milliseconds timeout, size_t offset = 0) const;
    /// Waits until the received stream holds at least count bytes.
    bool WaitForCount(size_t count, std::chrono::milliseconds timeout) const;

    /// Called on the station's thread for every unit the program sends (after recording).
    using THandler = std::function<void(const TUnit&, TStation&)>;
    void SetHandler(THandler handler);

private:
    void ioLoop();
    void doHangUp();
    void onBytes(const uint8_t* data, size_t count);
    bool writeLocked(const TBytes& bytes);
    int peerFd() const;

    std::string root_;
    std::string error_;
    int ptyMaster_ = -1;
    std::atomic<bool> ptyPeerSeen_{false};
    int listen_ = -1;
    std::atomic<int> peer_{-1};
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::atomic<bool> reading_{true};
    int hangup_ = 0; // 1 close, 2 reset; served by the station's thread
    std::thread io_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    TBytes received_;
    TBytes pending_; // bytes of an unfinished unit
    THandler handler_;
    std::timed_mutex sendMutex_;
    bool frameOpen_ = false; // the bytes sent so far end inside a frame; under sendMutex_
    std::condition_variable_any frameClosed_;
};

} // namespace vesksim
