// The real start-up and main window against the simulated station: over the
// pseudo-terminal found through the fake sysfs tree, and over TCP on 127.0.0.1.
#include "Script.h"
#include "Station.h"
#include "support/TestUtil.h"

#include "app/TMainForm.h"
#include "app/TShape.h"
#include "journal/Attenuation.h"
#include "link/Frame.h"
#include "link/HexLog.h"
#include "link/Sound.h"
#include "link/TFevery.h"
#include "link/TraceRing.h"
#include "link/Transport.h"
#include "link/TxBuffer.h"
#include "link/TxQueue.h"
#include "params/TFParam.h"
#include "platform/Clock.h"
#include "runs/JournalWriters.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"
#include "support/StalledLine.h"
#include "support/WindowCheck.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <atomic>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using vesksim::FromHex;
using vesksim::TBytes;

namespace {

// Holds back the device-started result messages so that only the link is under test.
class TPostedMessages : public QObject {
public:
    bool eventFilter(QObject*, QEvent* e) override {
        const int m = int(e->type()) - int(QEvent::User);
        if (m == WM_DEVICE_TEST1 || m == WM_DEVICE_TEST23) {
            Seen.append(m);
            return true;
        }
        return false;
    }
    QList<int> Seen;
};

// A clock that moves 100 ms at each reading and adds up the time read while no port is open.
class TClosedPortClock : public TClock {
public:
    qint64 MonotonicMs() const override {
        now_ += 100;
        if (!ComPortOpen())
            ClosedMs += 100;
        return now_;
    }
    mutable qint64 ClosedMs = 0;

private:
    mutable qint64 now_ = 0;
};

// The helper's skip or failure ends the test too.
#define START_WITH_STATION()                                                                                 \
    do {                                                                                                     \
        StartWithStation();                                                                                  \
        if (IsSkipped() || HasFatalFailure())                                                                \
            return;                                                                                          \
    } while (0)

class LinkEndToEnd : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        RunningTest = 0;
        ClearResultQueue();
    }
    void TearDown() override {
        TAppFixture::TearDown();
        RunningTest = 0;
        ClearResultQueue();
        DeviceTcpPort = 4001;
    }
    // The station on the pseudo-terminal, then the program's start.
    void StartWithStation() {
        StartStation();
        if (IsSkipped() || HasFatalFailure())
            return;
        Start();
        ASSERT_TRUE(ComPortOpen());
        MainForm->installEventFilter(&posted_);
    }
    void StartStation() {
        if (!station_.StartSerial(root_.path().toStdString())) {
            // A system without pseudo-terminals cannot play the serial station.
            if (station_.Error().rfind("pseudo-terminal", 0) == 0)
                GTEST_SKIP() << station_.Error();
            FAIL() << station_.Error();
        }
    }
    QString Got() const { return QString::fromStdString(vesksim::ToHex(station_.Received())); }
    // The station hangs up and the program sees its port go.
    void HangUpAndWait() {
        station_.HangUp();
        ASSERT_TRUE(PumpUntil([] { return !ComPortOpen(); }));
    }
    // The station's line comes back and the operator chooses "Перезапуск".
    void RestartLine() {
        ASSERT_TRUE(station_.StartSerial(root_.path().toStdString())) << station_.Error();
        station_.Clear();
        MainForm->N8Click();
        ASSERT_TRUE(ComPortOpen());
        ASSERT_TRUE(station_.WaitFor({0xD0}, std::chrono::seconds(5)));
    }
    // The status says that the link was lost, and the device panel shows what it shows before
    // the station has reported anything.
    static void ExpectStationUnknown() {
        EXPECT_EQ(MainForm->StatusText(0), "Связь со станцией потеряна");
        EXPECT_EQ(MainForm->Label7->text(), "ВЕСК свободен");
        const QImage label = MainForm->Label7->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto* px = reinterpret_cast<const QRgb*>(label.constBits());
        EXPECT_TRUE(std::any_of(px, px + label.sizeInBytes() / 4, [](QRgb c) {
            return qGreen(c) > 200 && qRed(c) < 60;
        })) << "lime, as at the start";
        for (TShape* lamp : {MainForm->shPusk, MainForm->Shape2, MainForm->Shape3})
            EXPECT_EQ(lamp->BrushColor(), QColor(Qt::white)) << lamp->objectName().toStdString();
        EXPECT_TRUE(TextsThatDoNotFit(MainForm).isEmpty())
            << TextsThatDoNotFit(MainForm).join('\n').toStdString();
    }
    // Sends bytes and waits until the program has received the last of them.
    void SendAndWait(const char* hex) {
        station_.Send(FromHex(hex));
        const QByteArray tail = QByteArray::fromHex(QByteArray(hex).right(5).replace(' ', ""));
        ASSERT_TRUE(PumpUntil([&] { return TraceSnapshot(RxTraceRing).endsWith(tail); })) << hex;
    }

    vesksim::TStation station_;
    TPostedMessages posted_;
};

// First in this file, so that it meets the link as the program starts with it.
TEST_F(LinkEndToEnd, TcpPeerThatClosesIsNoticed) {
    const int port = station_.ListenTcp(0);
    ASSERT_GT(port, 0);
    DeviceTcpPort = port;
    QString offered;
    SetDialogHook(
        [this](const TDialogRecord& d, QWidget*) {
            dialogs_.append(d);
            return dialogAnswer_;
        },
        [&](const QString& caption, const QString&, QString& value, QWidget*) {
            EXPECT_EQ(caption, "Enter IP");
            offered = value;
            value = "127.0.0.1";
            return true;
        });
    Start();
    MainForm->iTCPselectClick();
    EXPECT_EQ(PortName, "TCP");
    EXPECT_EQ(ReadFile("Options.dat"), "TCP\r\n");
    EXPECT_TRUE(MainForm->iTCP->menuAction()->isVisible());
    MainForm->iConnectClick();
    EXPECT_TRUE(dialogs_.isEmpty()) << "nothing to break off on the first connection";
    EXPECT_EQ(offered, QString(DeviceFactoryAddress));
    ASSERT_TRUE(TcpConnected);
    EXPECT_EQ(MainForm->StatusText(0), "Соединен с: 127.0.0.1");
    EXPECT_TRUE(MainForm->ToolPositionEnabled(0));
    EXPECT_TRUE(station_.WaitFor({0xD0}, std::chrono::seconds(5)));

    // Connecting again while connected asks first; No leaves the link as it is.
    offered.clear();
    dialogAnswer_ = mrNo;
    MainForm->iConnectClick();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "Соединение установлено. Разорвать?");
    EXPECT_TRUE(offered.isEmpty());
    EXPECT_TRUE(TcpConnected);
    dialogAnswer_ = mrOk;

    station_.SendSplit(FromHex("94 B3 C7 CA A2 C9"), 1, std::chrono::milliseconds(1));
    ASSERT_TRUE(PumpUntil([] { return MessageCount == 2; }));
    EXPECT_EQ(GridCell(MainForm->StringGrid1, 1, 1), "МВ2");
    EXPECT_EQ(GridCell(MainForm->StringGrid1, 2, 2), "ПРМ вызова 1");

    station_.Send(FromHex("E2 80 80 80"));
    ASSERT_TRUE(
        PumpUntil([] { return TraceSnapshot(RxTraceRing).endsWith(QByteArray::fromHex("E2808080")); }));
    ASSERT_TRUE(PumpUntil([] { return MainForm->Label7->text() == "ВЕСК занят"; }));
    station_.HangUp();
    ASSERT_TRUE(PumpUntil([] { return !TcpConnected; }));
    ExpectStationUnknown();
    EXPECT_FALSE(MainForm->ToolPositionEnabled(0));

    // Connected again, the new connection's first bytes complete nothing of the frame the
    // closed one cut, and the test controls follow the station's busy and free events again.
    MainForm->iConnectClick();
    ASSERT_TRUE(TcpConnected);
    ASSERT_TRUE(PumpUntil([this] { return station_.PeerConnected(); }));
    station_.Send(FromHex("80 80 85 85 82 E3 CB C0"));
    ASSERT_TRUE(PumpUntil([] { return TraceSnapshot(RxTraceRing).endsWith(QByteArray::fromHex("CBC0")); }));
    EXPECT_EQ(ResultCount, 0);
    EXPECT_EQ(RunningTest, 0);
    EXPECT_TRUE(MainForm->ToolPositionEnabled(0));
}

TEST_F(LinkEndToEnd, StartUpResetsTheStationTwiceAndEventsBecomeRows) {
    START_WITH_STATION();
    ASSERT_TRUE(station_.WaitForCount(2, std::chrono::seconds(5)));
    EXPECT_EQ(Got(), "D0 D0") << "the creation handler and the first show";
    EXPECT_EQ(MainForm->IPort->title(), "Порт ttyUSB0");
    EXPECT_EQ(ReadFile("Options.dat"), "ttyUSB0\r\n");
    EXPECT_TRUE(MainForm->ToolPositionEnabled(0));

    // A serial send hands every byte over: TxSent counts them and Len keeps none back.
    station_.Clear();
    TxBuffer.Len = 0;
    PutTxByte(0x93);
    PutTxByte(0xB1);
    SendBuffer(TxBuffer, TxSent);
    EXPECT_EQ(TxSent, 2);
    EXPECT_EQ(TxBuffer.Len, 0);
    // The reset command sends the reset byte.
    MainForm->IResetClick();
    ASSERT_TRUE(station_.WaitForCount(3, std::chrono::seconds(5)));
    EXPECT_EQ(Got(), "93 B1 D0");

    station_.SendSplit(FromHex("93 B1 B0 EE 81 81 82 83 84 85 86 87 EF"), 1, std::chrono::milliseconds(1));
    ASSERT_TRUE(PumpUntil([] { return MessageCount == 3; }));
    auto* g = MainForm->StringGrid1;
    EXPECT_EQ(GridCell(g, 1, 1), "МВ1");
    EXPECT_EQ(GridCell(g, 1, 2), "Наличие тона 2772");
    EXPECT_EQ(GridCell(g, 2, 2), "Наличие КС");
    EXPECT_EQ(GridCell(g, 3, 2), "Номер локомотива: 1234567");
    EXPECT_EQ(MainForm->eRange->text(), "МВ1");
    EXPECT_EQ(ToneFlagsD, "00011");

    station_.Send(FromHex("C9 CB CB"));
    ASSERT_TRUE(PumpUntil([] { return MainForm->Label7->text() == "ВЕСК занят"; }));
    EXPECT_FALSE(MainForm->ToolPositionEnabled(0)) << "busy disables the test controls";
    station_.Send(FromHex("C0"));
    ASSERT_TRUE(PumpUntil([] { return MainForm->Label7->text() == "ВЕСК свободен"; }));
    EXPECT_TRUE(MainForm->ToolPositionEnabled(0));
}

// A station that stops reading for a while: the terminal fills, the sends wait and are
// taken in pieces, and the station gets every byte once and in order.
TEST_F(LinkEndToEnd, SendsThatTheLineTakesInPiecesArriveWhole) {
    START_WITH_STATION();
    ASSERT_TRUE(station_.WaitForCount(2, std::chrono::seconds(5)));
    std::atomic<bool> stalled = false;
    station_.SetHandler([&](const vesksim::TUnit&, vesksim::TStation&) {
        if (!stalled.exchange(true))
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
    });
    station_.Clear();
    TBytes expected;
    for (int block = 0; block < 160; ++block) {
        TxBuffer.Len = 0;
        // Not a multiple of the terminal's buffer steps: a full terminal takes part of a send.
        for (int i = 0; i < 1000; ++i)
            PutTxByte(uint8_t((block + i) % 0x70));
        expected.insert(expected.end(), TxBuffer.Data, TxBuffer.Data + TxBuffer.Len);
        SendBuffer(TxBuffer, TxSent);
        ASSERT_EQ(TxSent, 1000) << "block " << block;
        ASSERT_EQ(TxBuffer.Len, 0);
    }
    ASSERT_TRUE(station_.WaitForCount(expected.size(), std::chrono::seconds(10)));
    PumpUntil([] { return false; }, 50);
    station_.SetHandler(nullptr);
    const TBytes got = station_.Received();
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

// A station that has stopped reading: each of the operator's sends that the line does not take
// in time is told by a row of its own, also once the grid has been cleared by a test start;
// the journal keeps the "Запись" row of each send of the parameters.
TEST_F(LinkEndToEnd, EachSendTheLineDropsIsToldByARowOfItsOwn) {
    START_WITH_STATION();
    TFakeClock clock; // the sends' time-outs pass when the test says so
    SetClock(&clock);
    int clicks = 0;
    for (int send = 1; send <= 2; ++send) {
        MainForm->ClearMessageGrid();
        // The station's reader may take one more piece after it has stopped: the line is
        // filled again until a send waits for it.
        for (int attempt = 0; attempt < 5 && TxPendingBytes() == 0; ++attempt) {
            FillLine(station_);
            FParam->BitBtn1->click(); // "Отправить всё"
            ++clicks;
        }
        ASSERT_GT(TxPendingBytes(), 0u) << "send " << send << " waits for the line";
        clock.Advance(1025 * 50);
        ASSERT_TRUE(PumpUntil([] { return MessageCount > 0; })) << "send " << send;
        PumpUntil([] { return false; }, 100);
        EXPECT_EQ(MessageCount, 1) << "send " << send;
        EXPECT_EQ(GridCell(MainForm->StringGrid1, 1, 2), "Станция не принимает данные");
    }
    EXPECT_TRUE(MainForm->grab().save(QString(VESK_BINARY_DIR) + "/main-window-send-dropped.png"));
    TTable journal(QDir(root_.path()).filePath("prog"), Tests1FileName, Tests1Fields());
    ASSERT_TRUE(
        PumpUntil([&] { return journal.Exists() && (journal.Open(), journal.AllRows().size() == clicks); }));
    for (const TRow& row : journal.AllRows())
        EXPECT_EQ(row.value(2).toString(), "Запись");
    EXPECT_TRUE(dialogs_.isEmpty());
    station_.SetReading(true);
    SetClock(nullptr);
}

TEST_F(LinkEndToEnd, AttenuationRequestGetsItsReply) {
    START_WITH_STATION();
    ASSERT_NE(AttenuationTable(), nullptr) << "opened by the editor window's creation";
    LocoNumber = "7777777";
    AttenuationTable()->Post({"7777777", 12, 3});
    station_.Clear();
    station_.Send({0xCC});
    EXPECT_TRUE(PumpUntil([&] {
        return station_.WaitFor(FromHex("F4 80 80 80 80 81 82 80 83 F5"), std::chrono::milliseconds(0));
    }));
    ASSERT_TRUE(PumpUntil([] { return MessageCount == 1; }));
    EXPECT_EQ(GridCell(MainForm->StringGrid1, 1, 1), "");
    EXPECT_EQ(GridCell(MainForm->StringGrid1, 1, 2), "Коррекция ослабления (МВ, ГМВ): 12 3");
    AttenuationTable()->DeleteKey({"7777777"});
}

TEST_F(LinkEndToEnd, DeviceStartedResultIsQueuedAndPosted) {
    START_WITH_STATION();
    station_.SendSplit(FromHex("F8 81 82 80 85 80 87 82 84 F9 E2 80 80 80 80 80 80 80 82 E3 C0"), 4,
                       std::chrono::milliseconds(1));
    ASSERT_TRUE(PumpUntil([&] { return posted_.Seen.size() == 1 && BlockNumDigits.IsEmpty(); }));
    EXPECT_EQ(posted_.Seen[0], WM_DEVICE_TEST23);
    EXPECT_EQ(RunningTest, 2);
    EXPECT_EQ(ResultCount, 1);
    EXPECT_EQ(ResultContexts[0].BlockNums.Digits[0][9], 5) << "the factory numbers travel with the result";
}

TEST_F(LinkEndToEnd, HangUpMidFrameLeavesTheProgramWithTheLinkDown) {
    START_WITH_STATION();
    MainForm->EnableTestControls(false); // a test runs when the line goes
    station_.Send(FromHex("E2 80 80"));
    ASSERT_TRUE(PumpUntil([] { return TraceSnapshot(RxTraceRing).endsWith(QByteArray::fromHex("E28080")); }));
    station_.HangUp();
    ASSERT_TRUE(PumpUntil([] { return !ComPortOpen(); }));
    EXPECT_EQ(MainForm->IPort->title(), "Порт ");
    EXPECT_FALSE(MainForm->ITest->menuAction()->isEnabled());
    EXPECT_FALSE(MainForm->ToolPositionEnabled(0));
    EXPECT_TRUE(MainForm->IPort->menuAction()->isEnabled());
    EXPECT_TRUE(dialogs_.isEmpty()) << "an unplugged line is no error dialog";

    // The program answers: a send finds no port at once, the grid takes rows.
    TxBuffer.Len = 500;
    QElapsedTimer t;
    t.start();
    SendBuffer(TxBuffer, TxSent);
    EXPECT_EQ(TxSent, 0);
    EXPECT_LT(t.elapsed(), 5000);
    MainForm->AddMessageRow("дальше", false);
    EXPECT_EQ(MessageCount, 1);

    // "Перезапуск" on a port that is gone shows why and leaves it closed. (The terminal's
    // number may already serve another program's terminal: the name goes with it.)
    QFile::remove(dev_ + "/ttyUSB0");
    MainForm->N8Click();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Type, TMsgDlgType::Error);
    EXPECT_FALSE(ComPortOpen());
}

TEST_F(LinkEndToEnd, PortMenuListsChoosesAndCloses) {
    START_WITH_STATION();
    AddTty("ttyS4", "serial8250");
    emit MainForm->IPort->aboutToShow();
    emit MainForm->IPort->aboutToShow();
    EXPECT_EQ(MainForm->inom->findChildren<QActionGroup*>().size(), 1) << "each opening rebuilds the list";
    const QList<QAction*> items = MainForm->inom->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "ttyS4");
    EXPECT_EQ(items[1]->text(), "ttyUSB0");
    EXPECT_FALSE(items[0]->isChecked());
    EXPECT_TRUE(items[1]->isChecked());

    // Choosing the open port closes it, lets the adapter rest 300 ms, opens it again and
    // resets the station.
    TClosedPortClock clock;
    SetClock(&clock);
    station_.Clear();
    items[1]->trigger();
    SetClock(nullptr);
    EXPECT_GE(clock.ClosedMs, 300);
    ASSERT_TRUE(station_.WaitForCount(1, std::chrono::seconds(5)));
    EXPECT_EQ(Got(), "D0");
    EXPECT_TRUE(ComPortOpen());

    // A port that cannot be opened: the error is shown and the previous port reopened.
    items[0]->trigger();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_TRUE(ComPortOpen());
    EXPECT_EQ(PortName, "ttyUSB0");
    EXPECT_EQ(MainForm->IPort->title(), "Порт ttyUSB0");

    MainForm->mClosePortClick();
    EXPECT_FALSE(ComPortOpen());
    EXPECT_EQ(MainForm->IPort->title(), "Порт");
    emit MainForm->IPort->aboutToShow();
    for (QAction* a : MainForm->inom->actions())
        EXPECT_FALSE(a->isChecked()) << "no port is open: none is ticked";
    EXPECT_TRUE(MainForm->N5->menuAction()->isEnabled()) << "the other menus stay as they were";
    EXPECT_FALSE(MainForm->ITest->menuAction()->isEnabled()) << "no test without a line";

    // A closed port leaves the terminal free: with its exclusive flag left set, a user
    // without root rights could not open the station's terminal again.
    const int fd = ::open(QFile::encodeName(dev_ + "/ttyUSB0").constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    int exclusive = -1;
    EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(fd);
}

// A maintainer's session: the program started against the station, the receive log
// switched on in the monitor window, a scripted exchange played on the station's side.
TEST_F(LinkEndToEnd, ScriptedSessionIsLoggedAndDecoded) {
    START_WITH_STATION();
    EXPECT_TRUE(Fevery->cbAutoRepaint->isChecked()) << "the monitor refreshes itself from the start";
    Fevery->bOpebFileIn->click();
    ASSERT_TRUE(RxLog.IsOpen());
    const std::string script = R"(
        expect D0 D0
        split 3 C9 92 BC B4 EC 80 80 81 82 83 84 80 80 ED
        send CC
        expect F4 80 80 80 80 80 80 80 80 F5
        split 1 EA 80 83 80 82 83 85 81 89 EB CB C0
    )";
    bool ok = false;
    std::string error;
    std::atomic<bool> done = false;
    std::thread player([&] {
        ok = vesksim::PlayScript(station_, script, &error);
        done = true;
    });
    PumpUntil([&] { return done.load(); }, 20000);
    player.join();
    ASSERT_TRUE(ok) << error;
    // The script has sent all when it ends; the program may still be reading the last bytes.
    ASSERT_TRUE(PumpUntil([] {
        return MessageCount == 4 && TraceSnapshot(RxTraceRing).endsWith(QByteArray::fromHex("CBC0"));
    })) << MessageCount;
    auto* g = MainForm->StringGrid1;
    EXPECT_EQ(GridCell(g, 1, 2), "ГМВ:Прием № поезда и передача ППНП");
    EXPECT_EQ(GridCell(g, 2, 2), "Наличие тона 2941");
    EXPECT_EQ(GridCell(g, 3, 1), "ГМВ2");
    EXPECT_EQ(GridCell(g, 3, 2), "Номер поезда: 1234");
    EXPECT_EQ(GridCell(g, 4, 2), "Коррекция ослабления: ??");
    EXPECT_EQ(MainForm->ELevm->text(), "3,5");
    EXPECT_EQ(TrainNumber, "1234");

    Fevery->bCloseFileIn->click();
    EXPECT_FALSE(RxLog.IsOpen());
    EXPECT_EQ(ReadFile("receive.txt"),
              "C9 92 BC B4 EC 80 80 81 82 83 \n84 80 80 ED CC EA 80 83 80 82 \n83 85 81 89 EB CB C0 ");

    // The monitor shows the same bytes, ten a row under the row headings.
    Fevery->Button1->click();
    QTableWidget* m = Fevery->StringGrid1;
    EXPECT_EQ(GridCell(m, 1, 0), "0");
    EXPECT_EQ(GridCell(m, 2, 0), "10");
    EXPECT_EQ(GridCell(m, 1, 1), "C9");
    EXPECT_EQ(GridCell(m, 2, 1), "84");
    EXPECT_EQ(GridCell(m, 3, 7), "C0");
    EXPECT_EQ(GridCell(Fevery->StringGrid2, 1, 1), "D0");
    Fevery->Button2->click();
    EXPECT_EQ(GridCell(m, 1, 1), "");
    station_.Send(FromHex("B0"));
    ASSERT_TRUE(PumpUntil([&] {
        Fevery->RefreshAllMessages();
        return GridCell(m, 1, 1) == "B0";
    }));
}

// A line that goes while the station is busy and working: the operator reads that the link
// was lost, and the lamps show nothing known until the station reports again.
TEST_F(LinkEndToEnd, LostLineIsToldAndThePanelShowsNothingKnown) {
    START_WITH_STATION();
    SendAndWait("CA A1 C9");
    ASSERT_TRUE(PumpUntil([] { return MainForm->Label7->text() == "ВЕСК занят"; }));
    ASSERT_EQ(MainForm->shPusk->BrushColor(), QColor(0, 128, 0));
    HangUpAndWait();
    ExpectStationUnknown();
    // The tool bar's buttons follow their actions at the frame's end: the picture waits for them.
    QWidget* start = MainForm->ToolBar1->widgetForAction(MainForm->ToolBar1->actions().at(0));
    ASSERT_TRUE(PumpUntil([start] { return !start->isEnabled(); })) << "the test buttons drawn off";
    EXPECT_TRUE(MainForm->grab().save(QString(VESK_BINARY_DIR) + "/main-window-link-lost.png"));

    RestartLine();
    EXPECT_EQ(MainForm->StatusText(0), "") << "the line is open again";
    SendAndWait("C9 CA");
    EXPECT_TRUE(PumpUntil([] { return MainForm->Label7->text() == "ВЕСК занят"; }));
    EXPECT_EQ(MainForm->shPusk->BrushColor(), QColor(0, 128, 0));
}

// A result frame cut by a hang-up: the line opened again starts clean, so its first bytes
// complete nothing of the old line's frame.
TEST_F(LinkEndToEnd, ReopenedLineStartsWithoutTheFrameAHangUpCut) {
    START_WITH_STATION();
    SendAndWait("E2 80 80 80");
    HangUpAndWait();
    RestartLine();
    SendAndWait("80 80 85 85 82 E3 C0");
    EXPECT_EQ(ResultCount, 0) << "no result of a test that never ran";
    EXPECT_EQ(RunningTest, 0);
    PumpUntil([] { return false; }, 50);
    EXPECT_TRUE(posted_.Seen.isEmpty());

    // "Перезапуск" on a line that did not hang up starts clean too.
    SendAndWait("E2 80 80 80");
    station_.Clear();
    MainForm->N8Click();
    ASSERT_TRUE(station_.WaitFor({0xD0}, std::chrono::seconds(5)));
    SendAndWait("80 80 85 85 82 E3 C0");
    EXPECT_EQ(ResultCount, 0);

    // The new line's own result is taken as usual.
    SendAndWait("E2 80 80 80 80 80 80 80 82 E3");
    EXPECT_EQ(ResultCount, 1);
    EXPECT_EQ(RunningTest, 2);
}

// A hang-up in the middle of live sound or of a save ends the transfer: the file is closed
// with what came, and the next line's events and results are decoded, not taken as sound.
TEST_F(LinkEndToEnd, HangUpEndsTheSoundTransferAndItsFile) {
    START_WITH_STATION();
    SendAndWait("FA 8F 80 85 8A 8F 80 8F 80 FB 10 20 30");
    ASSERT_TRUE(SoundTransferOn);
    HangUpAndWait();
    EXPECT_FALSE(SoundTransferOn);
    EXPECT_EQ(SoundFlags, 0);

    RestartLine();
    SendAndWait("FA 8F 80 85 8A 8F 80 8F 81 FB 11 22 33");
    ASSERT_TRUE(SoundFile().isOpen());
    HangUpAndWait();
    EXPECT_FALSE(SoundFile().isOpen());
    EXPECT_FALSE(SoundTransferOn);
    EXPECT_EQ(SoundFlags, 0);
    EXPECT_EQ(int(SoundMode), 0);
    EXPECT_EQ(MainForm->StatusText(1), "");
    QFile saved("phonems.pcm");
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray::fromHex("7F112233")) << "the sound that came is kept";

    // An upload cut by the hang-up: its file is closed and its timer stops.
    RestartLine();
    {
        QFile big("phonems.pcm");
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        big.write(QByteArray(1 << 20, 'u')); // minutes of chunks
    }
    station_.Send(FromHex("FA 8F 80 85 8A 8F 80 8F 82 FB"));
    ASSERT_TRUE(PumpUntil([this] { return station_.WaitForCount(1030, std::chrono::milliseconds(0)); }));
    HangUpAndWait();
    EXPECT_FALSE(SoundFile().isOpen());
    EXPECT_EQ(MainForm->StatusText(1), "");
    EXPECT_EQ(MainForm->shUnSaveSound->BrushColor(), QColor(Qt::white));
    EXPECT_TRUE(PumpUntil([] { return !MainForm->Timer2->isActive(); }));

    RestartLine();
    SendAndWait("E2 80 80 80 80 80 80 80 82 E3 C0");
    EXPECT_EQ(ResultCount, 1) << "the result is decoded, not swallowed as sound";
    EXPECT_EQ(RunningTest, 2);
}

} // namespace
