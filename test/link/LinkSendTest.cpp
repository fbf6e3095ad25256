// Sends to a station that stops reading, over the pseudo-terminal of the simulated station:
// the sender never waits for the line; what the line has no room for is written later, in
// order, by the link's writer; what the line has not taken within its time-out is dropped,
// and the operator is told of each send dropped.
#include "LinkFixture.h"

#include "link/TxQueue.h"
#include "support/StalledLine.h"

using namespace linktest;

namespace {

const QString NotTaking = QStringLiteral("Станция не принимает данные");
const char* NotFoundReply = "F4 80 80 80 80 80 80 80 80 F5";

class StalledLineTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        SetClock(&clock_); // the time-outs move only when the test says so
        ASSERT_TRUE(root_.isValid());
        ASSERT_TRUE(station_.StartSerial(root_.path().toStdString())) << station_.Error();
        qputenv("VESK_DEV_DIR", QByteArray::fromStdString(station_.DevDir()));
        ASSERT_TRUE(OpenComPort("ttyUSB0")) << LastOpenErrorText().toStdString();
        ASSERT_TRUE(PumpUntil([&] { return station_.PeerConnected(); }));
        station_.Clear();
    }
    void TearDown() override {
        station_.SetReading(true);
        CloseComPort();
        DeliverPendingBytes();
        qunsetenv("VESK_DEV_DIR");
        LinkTest::TearDown();
    }
    vesksim::TBytes FillLine() { return ::FillLine(station_); }
    // The notice is a row of the link, with no channel.
    int NoticeCount() const { return int(main_.Rows.count(TGridRow{"", NotTaking})); }

    TFakeClock clock_;
    QTemporaryDir root_;
};

TEST_F(StalledLineTest, AttenuationRepliesWaitForTheLineAndFollowInOrder) {
    TBytes expected = FillLine();
    // Each request returns with the line full; its reply waits for the link's writer.
    for (int i = 0; i < 3; ++i)
        Feed("CC");
    EXPECT_EQ(RowTexts(), QStringList(3, "Коррекция ослабления: ??"));
    EXPECT_GT(TxPendingBytes(), 0u);
    for (int i = 0; i < 3; ++i)
        for (uint8_t b : FromHex(NotFoundReply))
            expected.push_back(b);
    station_.SetReading(true);
    ASSERT_TRUE(station_.WaitForCount(expected.size(), std::chrono::seconds(20)))
        << station_.Received().size() << " of " << expected.size();
    EXPECT_TRUE(station_.Received() == expected) << "every byte once, in the order sent";
    EXPECT_TRUE(PumpUntil([] { return TxPendingBytes() == 0; }));
    EXPECT_EQ(NoticeCount(), 0) << "nothing was lost";
}

TEST_F(StalledLineTest, WhatTheLineDoesNotTakeInTimeIsDroppedAndToldPerSend) {
    const TBytes filled = FillLine();
    // A block of 1024 bytes has 1024 x 50 ms.
    TxBuffer.Len = 1024;
    std::fill_n(TxBuffer.Data, 1024, uint8_t(0x41));
    SendBuffer(TxBuffer, TxSent);
    EXPECT_EQ(TxSent, 1024) << "handed over";
    EXPECT_EQ(TxBuffer.Len, 0);
    clock_.Advance(1024 * 50 - 100);
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(NoticeCount(), 0) << "not yet its time";
    EXPECT_GT(TxPendingBytes(), 0u);
    clock_.Advance(200);
    ASSERT_TRUE(PumpUntil([&] { return NoticeCount() == 1; })) << "the operator learns it";
    EXPECT_EQ(TxPendingBytes(), 0u);

    // A second send lost is told too, once.
    Feed("CC");
    clock_.Advance(10 * 50 + 1);
    ASSERT_TRUE(PumpUntil([] { return TxPendingBytes() == 0; }));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(NoticeCount(), 2);

    // The dropped bytes never reach the station; the link goes on with the next send.
    station_.SetReading(true);
    ASSERT_TRUE(station_.WaitForCount(filled.size(), std::chrono::seconds(20)));
    SendReset();
    ASSERT_TRUE(station_.WaitFor({0xD0}, std::chrono::seconds(20), filled.size()));
    const TBytes got = station_.Received();
    EXPECT_TRUE(std::equal(filled.begin(), filled.end(), got.begin()));
    EXPECT_LT(got.size(), filled.size() + 100) << "at most what the kernel took before the stall showed";
    EXPECT_EQ(got.back(), 0xD0);
}

TEST_F(StalledLineTest, ClosingThePortDropsWhatWaitsAndTheNextLinkGoesOn) {
    FillLine();
    const auto sendBlock = [] {
        TxBuffer.Len = 1024;
        std::fill_n(TxBuffer.Data, 1024, uint8_t(0x41));
        SendBuffer(TxBuffer, TxSent);
    };
    sendBlock();
    clock_.Advance(1024 * 50 + 1);
    ASSERT_TRUE(PumpUntil([&] { return NoticeCount() == 1; }));
    sendBlock();
    ASSERT_GT(TxPendingBytes(), 0u);
    CloseComPort();
    EXPECT_EQ(TxPendingBytes(), 0u) << "what waited went with the port";
    ASSERT_TRUE(OpenComPort("ttyUSB0")) << LastOpenErrorText().toStdString();
    FillLine(); // the opening has purged the line
    sendBlock();
    ASSERT_GT(TxPendingBytes(), 0u);
    clock_.Advance(1024 * 50 + 1);
    ASSERT_TRUE(PumpUntil([&] { return NoticeCount() == 2; })) << "the new link's loss is told";
}

TEST_F(StalledLineTest, ASenderGoneWrongIsRefusedBeyondTheQueue) {
    FillLine();
    int refused = 0;
    for (int i = 0; i < 2000 && refused == 0; ++i) {
        TxBuffer.Len = 1024;
        SendBuffer(TxBuffer, TxSent);
        refused += TxSent == 0;
    }
    ASSERT_EQ(refused, 1);
    EXPECT_EQ(TxBuffer.Len, 1024) << "over the serial port Len keeps the bytes not sent";
    EXPECT_LE(TxPendingBytes(), TxQueueCapacity);
    EXPECT_GT(TxPendingBytes(), TxQueueCapacity - 1024);
    EXPECT_TRUE(PumpUntil([&] { return NoticeCount() == 1; }));
}

// Over TCP a send used to wait up to 5 s for a station that does not read.
TEST_F(LinkTest, OverTcpRepliesWaitForTheSocketAndFollowInOrder) {
    TFakeClock clock;
    SetClock(&clock);
    ConnectStation();
    station_.Clear();
    station_.SetReading(false);
    TBytes expected;
    // The kernel frees room on its own time (a late acknowledgement on a loaded machine), so
    // replies may still go straight out: fill again until they wait.
    bool waited = false;
    for (int round = 0; round < 50 && !waited; ++round) {
        ASSERT_TRUE(FillLineAgain(expected)) << "the socket has filled";
        for (int i = 0; i < 3; ++i) {
            Feed("CC");
            for (uint8_t b : FromHex(NotFoundReply))
                expected.push_back(b);
        }
        waited = TxPendingBytes() > 0;
    }
    EXPECT_TRUE(waited) << "the replies waited for the socket";
    station_.SetReading(true);
    ASSERT_TRUE(station_.WaitForCount(expected.size(), std::chrono::seconds(20)))
        << station_.Received().size() << " of " << expected.size();
    EXPECT_TRUE(station_.Received() == expected) << "every byte once, in the order sent";
    CloseConnection();
    SetClock(nullptr);
}

} // namespace
