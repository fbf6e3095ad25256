// The hand-off of received bytes: a full queue stops the serial reader (the line holds the
// rest), delivery runs in slices that let the event loop turn, and nothing is lost or
// reordered on the way.
#include "LinkFixture.h"

#include <QTimer>
#include <thread>

namespace linktest {
namespace {

// Loco-number frames numbered from 0: each adds the row "Номер локомотива: NNNNNNN".
TBytes NumberedFrames(int count) {
    TBytes out;
    for (int i = 0; i < count; ++i) {
        out.push_back(0xEE);
        out.push_back(0x80);
        for (int d = 1000000; d >= 1; d /= 10)
            out.push_back(uint8_t(0x80 + (i / d) % 10));
        out.push_back(0xEF);
    }
    return out;
}

// The numbers of the rows, which must run 0, 1, 2, ...: the index of the first row out
// of order, or -1.
int FirstRowOutOfOrder(const QList<TGridRow>& rows) {
    for (int i = 0; i < rows.size(); ++i)
        if (rows[i].Text.right(7).toInt() != i)
            return i;
    return -1;
}

// Waits for cond without running window events (so nothing is delivered meanwhile).
bool WaitWithoutEvents(const std::function<bool()>& cond) {
    for (int i = 0; i < 1000 && !cond(); ++i)
        QThread::msleep(10);
    return cond();
}

class RxPumpTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ASSERT_TRUE(root_.isValid());
        ASSERT_TRUE(station_.StartSerial(root_.path().toStdString())) << station_.Error();
        qputenv("VESK_DEV_DIR", QByteArray::fromStdString(station_.DevDir()));
        ASSERT_TRUE(OpenComPort("ttyUSB0")) << LastOpenErrorText().toStdString();
    }
    void TearDown() override {
        stopSending_ = true;
        if (sender_.joinable())
            sender_.join();
        CloseComPort();
        DeliverPendingBytes();
        qunsetenv("VESK_DEV_DIR");
        LinkTest::TearDown();
    }
    // Sends in pieces from a thread of its own: the station blocks while the program
    // does not read.
    void SendInBackground(const TBytes& bytes) {
        sender_ = std::thread([this, bytes] {
            for (size_t i = 0; i < bytes.size() && !stopSending_;) {
                const size_t n = std::min<size_t>(4096, bytes.size() - i);
                if (station_.Send(TBytes(bytes.begin() + long(i), bytes.begin() + long(i + n))))
                    i += n;
            }
        });
    }
    QTemporaryDir root_;
    std::thread sender_;
    std::atomic<bool> stopSending_{false};
};

TEST_F(RxPumpTest, FullQueueStopsTheReaderAndItGoesOnWithoutLoss) {
    const int frames = 20000; // 200,000 bytes, three queues' worth
    SendInBackground(NumberedFrames(frames));
    ASSERT_TRUE(WaitWithoutEvents([] { return PendingByteCount() >= RxQueueCapacity; }))
        << PendingByteCount();
    QThread::msleep(100);
    EXPECT_EQ(PendingByteCount(), RxQueueCapacity) << "the reader stopped at a full queue";
    EXPECT_EQ(RxQueueRoom(), 0u);

    ASSERT_TRUE(PumpUntil([&] { return main_.Rows.size() == frames; }, 60000)) << main_.Rows.size();
    EXPECT_EQ(FirstRowOutOfOrder(main_.Rows), -1);
    EXPECT_EQ(PendingByteCount(), 0u);
}

TEST_F(RxPumpTest, ClosingThePortWakesAReaderWaitingForRoom) {
    SendInBackground(NumberedFrames(20000));
    ASSERT_TRUE(WaitWithoutEvents([] { return PendingByteCount() >= RxQueueCapacity; }));
    stopSending_ = true;
    CloseComPort(); // joins the reader; a reader that slept on would hang here
    EXPECT_FALSE(ComPortOpen());
    // What was read before is still delivered, in order.
    DeliverPendingBytes();
    EXPECT_EQ(main_.Rows.size(), int(RxQueueCapacity / 10));
    EXPECT_EQ(FirstRowOutOfOrder(main_.Rows), -1);
}

// The queue's count is what is still to be decoded, slice after slice, and while that is
// 64 KiB or more there is no room: the reader and the socket wait.
TEST_F(LinkTest, PendingCountIsWhatIsStillToBeDecoded) {
    const TBytes bytes = NumberedFrames(20000); // 200,000 bytes
    PushReceivedBytes(bytes.data(), bytes.size());
    for (int slice = 1; slice <= 3; ++slice) {
        DeliverByteSlice();
        const size_t decoded = size_t(main_.Rows.size()) * 10; // a slice may end within a frame
        ASSERT_GT(decoded, 0u);
        EXPECT_LE(PendingByteCount(), 200000 - decoded) << "slice " << slice;
        EXPECT_GE(PendingByteCount(), 200000 - decoded - 9) << "slice " << slice;
        EXPECT_EQ(RxQueueRoom(), 0u) << "slice " << slice;
    }
    ASSERT_TRUE(PumpUntil([] { return PendingByteCount() == 0; }));
    EXPECT_EQ(main_.Rows.size(), 20000);
    EXPECT_EQ(RxQueueRoom(), 65536u);
}

TEST_F(LinkTest, DeliveryLetsTheEventLoopTurnBetweenSlices) {
    const int frames = int(RxQueueCapacity / 10);
    const TBytes bytes = NumberedFrames(frames);
    QList<qsizetype> seen; // rows delivered at each turn of the event loop
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { seen << main_.Rows.size(); });
    tick.start(0);
    PushReceivedBytes(bytes.data(), bytes.size());
    ASSERT_TRUE(PumpUntil([&] { return PendingByteCount() == 0; }));
    tick.stop();
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](qsizetype n) { return n > 0 && n < frames; }))
        << "a timer ran while the bytes were being delivered";
    EXPECT_EQ(main_.Rows.size(), frames);
    EXPECT_EQ(FirstRowOutOfOrder(main_.Rows), -1);
}

// Over TCP the window thread reads: a full queue pauses the socket until a slice has made
// room, and the socket's bytes come through whole and in order.
TEST_F(LinkTest, FullQueuePausesTheSocketWithoutLoss) {
    ConnectStation();
    const int frames = 20000;
    const TBytes bytes = NumberedFrames(frames);
    std::thread sender([&] {
        for (size_t i = 0; i < bytes.size(); i += 4096)
            station_.Send(
                TBytes(bytes.begin() + long(i), bytes.begin() + long(std::min(bytes.size(), i + 4096))));
    });
    size_t most = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { most = std::max(most, PendingByteCount()); });
    tick.start(0);
    const bool all = PumpUntil([&] { return main_.Rows.size() == frames; }, 60000);
    sender.join();
    tick.stop();
    ASSERT_TRUE(all) << main_.Rows.size();
    EXPECT_EQ(FirstRowOutOfOrder(main_.Rows), -1);
    EXPECT_LE(most, RxQueueCapacity);
}

} // namespace
} // namespace linktest
