#pragma once
// Shared fixture of the link tests: clean link state, recording views, a station.

#include "LinkTestViews.h"
#include "Station.h"
#include "support/TestUtil.h"

#include "journal/Attenuation.h"
#include "link/Builders.h"
#include "link/EventDecoder.h"
#include "link/FrameDecoder.h"
#include "link/HexLog.h"
#include "link/Receiver.h"
#include "link/RxPump.h"
#include "link/Sound.h"
#include "link/TraceRing.h"
#include "link/Transport.h"
#include "link/TxBuffer.h"
#include "platform/Clock.h"
#include "platform/DbAlias.h"
#include "platform/Errors.h"
#include "runs/TestState.h"
#include "state/Options.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace linktest {

using vesksim::FromHex;
using vesksim::TBytes;

inline QString Hex(const QByteArray& bytes) {
    return QString::fromStdString(vesksim::ToHex(TBytes(bytes.begin(), bytes.end())));
}

inline QString Nibbles(const TFrame& f) {
    QString s;
    for (int i = 0; i < f.Count; ++i)
        s += NibbleHexChar(f.Nibbles[i]);
    return s;
}

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        oldCwd_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        qputenv("XDG_CONFIG_HOME", QDir(dir_.path()).filePath("config").toUtf8());
        ResetReceiver();
        ResetEventDecoder();
        SetStartupDefaults();
        ResetTestState();
        DataErrorFlags = 0;
        RunningTest = 0;
        ClearResultQueue();
        ResultBacklog.clear();
        ClearBlockNumDigits();
        ResetTraceRings();
        CurrentChannel = 1;
        TcpSelected = false;
        for (auto& p : PshSettings)
            p = TPshSetting{};
        SetMainView(&main_);
        SetLinkView(&link_);
    }
    void TearDown() override {
        CloseConnection();
        CloseComPort();
        RxLog.Close();
        TxLog.Close();
        ResetReceiver();
        SetResultPanelCloser(nullptr);
        SetClock(nullptr);
        SetMainView(nullptr);
        SetLinkView(nullptr);
        TcpSelected = false;
        QDir::setCurrent(oldCwd_);
    }

    static void Feed(const char* hex) {
        for (uint8_t b : FromHex(hex))
            ReceiveByte(b);
    }
    static void Feed(const TBytes& bytes) {
        for (uint8_t b : bytes)
            ReceiveByte(b);
    }
    // A test 2 start for LocoNumber on the channel, as TxBuffer's only command.
    static void PutTest2Command(uint8_t channel) {
        TxBuffer.Len = 0;
        CurrentChannel = channel;
        PutChannelByte();
        PutLocoFrame();
        PutTestFrame(2);
    }
    QStringList RowTexts() const {
        QStringList texts;
        for (const TGridRow& r : main_.Rows)
            texts << r.Text;
        return texts;
    }
    // Connects the TCP transport to a station listening on 127.0.0.1.
    void ConnectStation() {
        const int port = station_.ListenTcp(0);
        ASSERT_GT(port, 0) << station_.Error();
        OpenConnection("127.0.0.1", port);
        ASSERT_TRUE(TcpConnected);
        TcpSelected = true;
        ASSERT_TRUE(PumpUntil([&] { return station_.PeerConnected(); }));
    }
    QString StationGot() const { return QString::fromStdString(vesksim::ToHex(station_.Received())); }

    QTemporaryDir dir_;
    QString oldCwd_;
    TRecordingMainView main_;
    TRecordingLinkView link_;
    vesksim::TStation station_;
};

} // namespace linktest
