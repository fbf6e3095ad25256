// The attenuation reply, the sound path, the builders and senders, the send routine, the trace
// rings and hex logs, and the TCP transport, over the simulated station on 127.0.0.1.
#include "LinkFixture.h"

#include "Script.h"
#include <atomic>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace linktest;

namespace {
// ---------------------------------------------------------------------------------------
// Attenuation request: the reply goes out over the link, the row shows the values.

class AttenuationTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        SetAlias("dbVesk", "PARADOX", dir_.path() + "/");
        OpenAttenuationTable();
        ASSERT_NE(AttenuationTable(), nullptr);
        AttenuationTable()->Post({"1234567", 12, 3});
        AttenuationTable()->Post({"7654321", 150, 7});
        AttenuationTable()->Post({"0000001", -4, 300});
        ConnectStation();
    }
    void TearDown() override {
        CloseAttenuationTable();
        LinkTest::TearDown();
    }
    QString Reply(const char* loco) {
        LocoNumber = loco;
        station_.Clear();
        main_.Rows.clear();
        Feed("CC");
        station_.WaitForCount(10, std::chrono::seconds(5));
        return StationGot();
    }
};

TEST_F(AttenuationTest, RepliesFromTheTable) {
    EXPECT_EQ(Reply("1234567"), "F4 80 80 80 80 81 82 80 83 F5");
    EXPECT_EQ(main_.Rows, QList<TGridRow>({{"", "Коррекция ослабления (МВ, ГМВ): 12 3"}}));
    EXPECT_EQ(Reply("7654321"), "F4 80 80 80 80 89 89 80 87 F5");
    EXPECT_EQ(RowTexts(), QStringList({"Коррекция ослабления (МВ, ГМВ): 99 7"}));
    EXPECT_EQ(Reply("0000001"), "F4 80 80 80 80 80 80 89 89 F5") << "negative sent as 0, over 99 as 99";
    EXPECT_EQ(Reply("1111111"), "F4 80 80 80 80 80 80 80 80 F5");
    EXPECT_EQ(main_.Rows, QList<TGridRow>({{"", "Коррекция ослабления: ??"}}));
    EXPECT_EQ(Reply("123456"), "F4 80 80 80 80 80 80 80 80 F5") << "the key is compared exactly";
}

TEST_F(AttenuationTest, ClosedTableGivesTheNotFoundReply) {
    CloseAttenuationTable();
    EXPECT_EQ(Reply("1234567"), "F4 80 80 80 80 80 80 80 80 F5");
    EXPECT_EQ(RowTexts(), QStringList({"Коррекция ослабления: ??"}));
}

TEST_F(AttenuationTest, ReplyAfterATestCommandGoesAlone) {
    PutTest2Command(3);
    SendBuffer(TxBuffer, TxSent);
    EXPECT_EQ(TxSent, 21);
    EXPECT_EQ(TxBuffer.Len, 21) << "over TCP Len keeps its value";
    ASSERT_TRUE(station_.WaitForCount(21, std::chrono::seconds(5)));
    EXPECT_EQ(Reply("1234567"), "F4 80 80 80 80 81 82 80 83 F5");
}

// ---------------------------------------------------------------------------------------
// Sound

class SoundTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        prime_ = false;
    }
    QByteArray Ring(int from, int count) const {
        QByteArray b;
        for (int i = 0; i < count; ++i)
            b.append(char(SoundRing[(from + i) % SoundRingSize]));
        return b;
    }
    bool prime_;
};

TEST_F(SoundTest, LiveSoundEntersTheRingFromTheClosingByte) {
    Feed("FA 8F 80 85 8A 8F 80 8F 80 FB");
    EXPECT_EQ(SoundFlags, 2);
    EXPECT_TRUE(SoundTransferOn);
    EXPECT_EQ(link_.Calls, QStringList({"play start"}));
    EXPECT_EQ(link_.ChartTitle, "Воспроизведение");
    Feed("05 90 C9 80 FF");
    EXPECT_EQ(Hex(Ring(0, 6)), "7F 05 90 C9 80 FF");
    EXPECT_EQ(SoundRingFill(), 6);
    EXPECT_TRUE(main_.Rows.isEmpty()) << "no event is decoded during the transfer";
    EXPECT_EQ(link_.Primes, 0);
    // Sample values below 0x80: an FA byte in the samples would open a frame.
    for (int i = 0; i < 1018; ++i)
        ReceiveByte(uint8_t(i & 0x7F));
    EXPECT_EQ(link_.Primes, 1) << "a block waits at 1024 bytes";
    Feed("FA 8F 80 85 8A 8F 80 8F 8F FB");
    EXPECT_EQ(SoundRingFill(), 1024) << "the end command is not sound";
    EXPECT_EQ(SoundFlags, 0);
    EXPECT_FALSE(SoundTransferOn);
    EXPECT_EQ(link_.Calls.last(), "play stop");
    EXPECT_TRUE(link_.ChartTitle.isEmpty());
}

TEST_F(SoundTest, HeldBytesOfANonCommandEnterTheRingInOrder) {
    Feed("FA 8F 80 85 8A 8F 80 8F 80 FB");
    const int start = SoundWriteIdx;
    Feed("FA 83 7E 10");
    EXPECT_EQ(SoundWriteIdx, start) << "held while the FA frame is open";
    Feed("B5");
    EXPECT_EQ(Hex(Ring(start, 5)), "FA 83 7E 10 B5");
    Feed("FA 81 FB 44");
    EXPECT_EQ(Hex(Ring(start + 5, 3)), "FA 81 44") << "the closer of a non-command is not sound";
    // Sample bytes that do not end an FA frame overflow the hold into the ring.
    const int before = SoundWriteIdx;
    ReceiveByte(0xFA);
    for (int i = 0; i < 20; ++i)
        ReceiveByte(0x10);
    EXPECT_EQ(SoundWriteIdx, before + 16);
    EXPECT_EQ(SoundHoldCount, 5);
}

// The bytes held while a sound command came in are not sound: a start command during a
// reception begins again with the 0x7F in the place of its closing byte.
TEST_F(SoundTest, HeldBytesOfASoundCommandAreDropped) {
    Feed("FA 8F 80 85 8A 8F 80 8F 80 FB 11");
    const int start = SoundWriteIdx;
    Feed("FA 8F 80 85 8A 8F 80 8F 80 FB 22");
    EXPECT_EQ(SoundWriteIdx, start + 2);
    EXPECT_EQ(Hex(Ring(start, 2)), "7F 22");
    EXPECT_EQ(SoundHoldCount, 0);

    // A write index outside the ring (left by a fault elsewhere) is wrapped, never used.
    SoundWriteIdx = SoundRingSize;
    Feed("33");
    EXPECT_EQ(SoundRing[0], 0x33);
    EXPECT_EQ(SoundWriteIdx, 1);
}

TEST_F(SoundTest, SavedSoundGoesToTheFileInBlocks) {
    Feed("FA 8F 80 85 8A 8F 80 8F 81 FB");
    EXPECT_EQ(SoundMode, 1);
    EXPECT_EQ(link_.Status[1], "Приём и сохранение звука");
    EXPECT_EQ(link_.Lamps[1], TLamp::Green);
    for (int i = 0; i < 2999; ++i)
        ReceiveByte(uint8_t((i * 7) & 0x7F));
    Feed("FA 8F 80 85 8A 8F 80 8F 8F FB");
    QFile f("phonems.pcm");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    ASSERT_EQ(saved.size(), 3000);
    EXPECT_EQ(uint8_t(saved[0]), 0x7F);
    EXPECT_EQ(uint8_t(saved[1]), 0);
    EXPECT_EQ(uint8_t(saved[2999]), uint8_t((2998 * 7) & 0x7F));
    EXPECT_EQ(SoundFlags, 0);
    EXPECT_EQ(SoundMode, 0);
    EXPECT_EQ(link_.Lamps[1], TLamp::White);
    EXPECT_TRUE(link_.Status[1].isEmpty());
    EXPECT_EQ(SoundRingFill(), 0);
}

TEST_F(SoundTest, FileThatCannotBeCreated) {
    QDir().mkdir("phonems.pcm");
    Feed("FA 8F 80 85 8A 8F 80 8F 81 FB 11 22");
    EXPECT_EQ(link_.Lamps[1], TLamp::Red);
    EXPECT_EQ(link_.Status[1], "Не удаётся открыть файл");
    EXPECT_EQ(SoundFlags, 0);
    EXPECT_TRUE(SoundTransferOn);
    EXPECT_EQ(SoundRingFill(), 0);
    Feed("FA 8F 80 85 8A 8F 80 8F 8F FB");
    EXPECT_EQ(link_.Lamps[1], TLamp::Red) << "the end leaves the failure shown";
    EXPECT_FALSE(SoundTransferOn);
}

TEST_F(SoundTest, FileRequestAnswersAndStartsTheUpload) {
    ConnectStation();
    QFile t("Title.pcm");
    ASSERT_TRUE(t.open(QIODevice::WriteOnly));
    t.write("abc");
    t.close();
    Feed("FA 8F 80 85 8A 8F 80 8F 83 FB");
    ASSERT_TRUE(station_.WaitForCount(10, std::chrono::seconds(5)));
    EXPECT_EQ(StationGot(), "FA 8F 80 85 8A 8F 80 8F 83 FB");
    EXPECT_EQ(link_.Status[1], "Проверка НЧ");
    EXPECT_EQ(link_.Lamps[0], TLamp::Green);
    EXPECT_EQ(link_.Calls, QStringList({"upload timer"}));
    EXPECT_EQ(SoundFlags, 1);
    EXPECT_EQ(SoundMode, 3);
    EXPECT_TRUE(SoundFile().isOpen());
    EXPECT_FALSE(SoundTransferOn) << "events go on being decoded during an upload";
    station_.Clear();
    Feed("FA 8F 80 85 8A 8F 80 8F 82 FB");
    ASSERT_TRUE(station_.WaitForCount(20, std::chrono::seconds(5)));
    EXPECT_EQ(StationGot(), "FA 8F 80 85 8A 8F 80 8F 82 FB FA 8F 80 85 8A 8F 80 8F 8F FB")
        << "no phonems.pcm: the answer, then the end";
    EXPECT_EQ(SoundFlags, 0);
    EXPECT_EQ(SoundMode, 0);
    EXPECT_EQ(link_.Status[1], "Не удаётся открыть файл");
}

// The sound files are the program's own: a link in their place is never followed (as root
// it would overwrite any file of the system), and a FIFO or device is refused at once
// instead of holding the window until someone opens its other end.
TEST_F(SoundTest, OnlyARegularFileIsSavedIntoOrSent) {
    ConnectStation();
    QFile target("system-file");
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write("root:x:0:0\n");
    target.close();
    ASSERT_TRUE(QFile::link("system-file", "phonems.pcm"));
    Feed("FA 8F 80 85 8A 8F 80 8F 81 FB 11 22");
    EXPECT_EQ(link_.Lamps[1], TLamp::Red);
    EXPECT_EQ(link_.Status[1], "Не удаётся открыть файл");
    EXPECT_EQ(SoundFlags, 0);
    Feed("FA 8F 80 85 8A 8F 80 8F 8F FB");
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "root:x:0:0\n") << "the link's target is untouched";
    target.close();

    // A request for a file that is a link sends nothing of its target.
    const auto request = [&](const char* command) {
        station_.Clear();
        Feed(command);
        EXPECT_TRUE(station_.WaitForCount(20, std::chrono::seconds(5)));
        EXPECT_EQ(SoundFlags, 0);
        EXPECT_EQ(SoundMode, 0);
        EXPECT_FALSE(SoundFile().isOpen());
        EXPECT_TRUE(link_.Calls.isEmpty()) << "no upload started";
        link_.Calls.clear();
        return StationGot();
    };
    link_.Calls.clear();
    EXPECT_EQ(request("FA 8F 80 85 8A 8F 80 8F 82 FB"),
              "FA 8F 80 85 8A 8F 80 8F 82 FB FA 8F 80 85 8A 8F 80 8F 8F FB");
    ASSERT_TRUE(QFile::remove("phonems.pcm"));

    // FIFOs, first with their other end held open (where a plain open goes through), then
    // with none (where it would wait for ever).
    for (const char* name : {"phonems.pcm", "Title.pcm"})
        ASSERT_EQ(::mkfifo(name, 0600), 0) << name;
    const int reader = ::open("phonems.pcm", O_RDONLY | O_NONBLOCK);
    const int writer = ::open("Title.pcm", O_RDWR | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_GE(writer, 0);
    Feed("FA 8F 80 85 8A 8F 80 8F 81 FB 11 22");
    EXPECT_EQ(link_.Lamps[1], TLamp::Red);
    EXPECT_EQ(SoundFlags, 0);
    Feed("FA 8F 80 85 8A 8F 80 8F 8F FB");
    EXPECT_EQ(request("FA 8F 80 85 8A 8F 80 8F 83 FB"),
              "FA 8F 80 85 8A 8F 80 8F 83 FB FA 8F 80 85 8A 8F 80 8F 8F FB");
    ::close(reader);
    ::close(writer);
    Feed("FA 8F 80 85 8A 8F 80 8F 81 FB 11 22");
    EXPECT_EQ(link_.Lamps[1], TLamp::Red);
    Feed("FA 8F 80 85 8A 8F 80 8F 8F FB");
    EXPECT_EQ(request("FA 8F 80 85 8A 8F 80 8F 83 FB"),
              "FA 8F 80 85 8A 8F 80 8F 83 FB FA 8F 80 85 8A 8F 80 8F 8F FB");
    EXPECT_EQ(request("FA 8F 80 85 8A 8F 80 8F 82 FB"),
              "FA 8F 80 85 8A 8F 80 8F 82 FB FA 8F 80 85 8A 8F 80 8F 8F FB");
}

namespace {
// Keeps the lines logged in one category while it lives.
struct TLogLines : QStringList {
    explicit TLogLines(const char* category) {
        current = this;
        name = category;
        old = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& c, const QString& text) {
            if (current && c.category && QByteArray(c.category) == current->name)
                current->append(text);
        });
    }
    ~TLogLines() {
        qInstallMessageHandler(old);
        current = nullptr;
    }
    std::string Text() const { return join(u'\n').toStdString(); }
    static inline TLogLines* current = nullptr;
    QByteArray name;
    QtMessageHandler old;
};
} // namespace

// Every start against a pseudo-terminal (which has no modem lines) says nothing; a port that
// cannot be opened is logged in Russian, in the words its dialog uses.
TEST_F(LinkTest, SerialPortsLogOnlyARefusedOpeningAndInRussian) {
    QTemporaryDir root;
    ASSERT_TRUE(station_.StartSerial(root.path().toStdString())) << station_.Error();
    qputenv("VESK_DEV_DIR", QByteArray::fromStdString(station_.DevDir()));
    TLogLines lines("vesk.serialports");
    EXPECT_TRUE(OpenComPort("ttyUSB0")) << LastOpenErrorText().toStdString();
    EXPECT_TRUE(lines.isEmpty()) << lines.Text();
    EXPECT_FALSE(OpenComPort("ttyS9"));
    const QString missing = "Не удалось открыть порт " + QString::fromStdString(station_.DevDir()) +
                            "/ttyS9: файл или устройство не найдены";
    EXPECT_EQ(LastOpenErrorText(), missing);
    EXPECT_EQ(lines, QStringList({missing}));
    qunsetenv("VESK_DEV_DIR");
}

// Only a bare tty name becomes a path: a control character, DEL, a folder or a name over 32
// characters is refused as a name; a blank or a tilde is a character like any other.
TEST_F(LinkTest, OnlyABareTtyNameIsOpened) {
    const struct {
        QString name;
        bool bare;
    } names[] = {{"tty~1", true},    {"tty 1", true},     {"tty\x7f", false},
                 {"tty\x1f", false}, {"../ttyS0", false}, {QString(33, u'a'), false}};
    for (const auto& n : names) {
        EXPECT_FALSE(OpenComPort(n.name));
        EXPECT_EQ(LastOpenErrorText() == "Недопустимое имя порта", !n.bare) << n.name.toStdString();
    }
}

// A station that asks again and again for a file that is missing is logged once, not once
// per request, until the failure changes.
TEST_F(SoundTest, ARepeatedFailureToOpenIsLoggedOnce) {
    ConnectStation();
    TLogLines lines("vesk.link");
    const auto ask = [&](int times) {
        for (int i = 0; i < times; ++i)
            Feed("FA 8F 80 85 8A 8F 80 8F 83 FB");
    };
    ask(50);
    EXPECT_EQ(lines.size(), 1) << lines.Text();
    QDir().mkdir("Title.pcm");
    ask(5);
    EXPECT_EQ(lines.size(), 2) << "another reason is logged: " << lines.Text();
    QDir().rmdir("Title.pcm");
    ask(1);
    EXPECT_EQ(lines.size(), 3);
    {
        QFile t("Title.pcm");
        ASSERT_TRUE(t.open(QIODevice::WriteOnly));
    }
    ask(1);
    EXPECT_TRUE(SoundFile().isOpen());
    QFile::remove("Title.pcm");
    ask(3);
    EXPECT_EQ(lines.size(), 4) << "after a success the failure is new again";
}

// ---------------------------------------------------------------------------------------
// Builders

TEST_F(LinkTest, Builders) {
    TxBuffer.Len = 0;
    const auto built = [] {
        const QString hex = Hex(QByteArray(reinterpret_cast<const char*>(TxBuffer.Data), TxBuffer.Len));
        TxBuffer.Len = 0;
        return hex;
    };
    PutTestFrame(6);
    EXPECT_EQ(built(), "E2 80 80 80 80 80 80 80 86 E3");
    LocoNumber = "0000001";
    PutLocoFrame();
    EXPECT_EQ(built(), "EE 81 80 80 80 80 80 80 81 EF");
    SpecialInfo = "00A1FF07";
    PutCodeFrame();
    EXPECT_EQ(built(), "E0 80 80 8A 81 8F 8F 80 87 E1");
    SpecialInfo = "G0000000";
    PutCodeFrame();
    EXPECT_EQ(built(), "E0 80 80 80 80 80 80 80 80 E1");
    TrainNumber = "0456";
    PutTrainFrame();
    EXPECT_EQ(built(), "EC 80 80 80 84 85 86 80 80 ED");
    LocoNumber = "1234567";
    PutTest2Command(3);
    EXPECT_EQ(built(), "93 EE 81 81 82 83 84 85 86 87 EF E2 80 80 80 80 80 80 80 82 E3");
    PutHexDigits("1aZ");
    EXPECT_EQ(built(), "81 8A 80");

    LocoNumber = "123";
    EXPECT_THROW(PutLocoFrame(), ERangeError) << "callers pad first";
    TxBuffer.Len = 1020;
    EXPECT_THROW(PutTestFrame(1), ERangeError);
    EXPECT_EQ(TxBuffer.Len, 1025);
}

// The monitor window shows every byte with two digits.
TEST_F(LinkTest, HexConversions) {
    EXPECT_EQ(ByteToHex(0xD0), "D0");
    EXPECT_EQ(ByteToHex(7), "07");
    EXPECT_EQ(HexVal("7f"), 0x7F);
    EXPECT_EQ(HexVal("A"), 10);
    EXPECT_EQ(HexVal("1Z"), 1) << "stops at the first non-digit";
    EXPECT_EQ(HexVal("123"), 0) << "more than two characters";
    EXPECT_EQ(HexVal(""), 0);
}

TEST_F(LinkTest, SendersOverTcp) {
    ConnectStation();
    CurrentChannel = 4;
    SendCmd(0xD3);
    CurrentChannel = 1;
    SendCall(1);
    SendCmdSnd(0);
    SendAutoPsh();
    TxBuffer.Len = 21;
    SendReset();
    ASSERT_TRUE(station_.WaitForCount(16, std::chrono::seconds(5)));
    EXPECT_EQ(StationGot(), "94 D3 91 D2 FA 8F 80 85 8A 8F 80 8F 80 FB D5 D0");
    EXPECT_EQ(TxSent, 1);
}

TEST_F(LinkTest, SquelchFrames) {
    ConnectStation();
    PshSettings[1] = {127, false};
    PshSettings[0] = {255, true};
    SendPsh(1);
    SendPsh(0);
    PshSettings[0] = {0, false};
    SendPsh(0);
    ASSERT_TRUE(station_.WaitForCount(30, std::chrono::seconds(5)));
    EXPECT_EQ(StationGot(), "EA 80 87 80 80 80 81 82 87 EB "
                            "EA 80 86 80 80 81 82 85 85 EB "
                            "EA 80 86 80 80 80 80 80 80 EB");
    PshSettings[1].Level = 256;
    EXPECT_THROW(SendPsh(1), ERangeError);
    EXPECT_THROW(SendPsh(2), ERangeError);
}

TEST_F(LinkTest, CallIsResentOnceWhenAnAmplifierAlarmShows) {
    ConnectStation();
    CurrentChannel = 2;
    link_.Alarms[2] = true;
    SendCall(0);
    EXPECT_FALSE(link_.Alarms[2]);
    SendCall(0);
    ASSERT_TRUE(station_.WaitForCount(6, std::chrono::seconds(5)));
    EXPECT_EQ(StationGot(), "92 D1 92 D1 92 D1");
}

// ---------------------------------------------------------------------------------------
// Send routine, trace rings, logs

TEST_F(LinkTest, NoLinkSendsNothingAtOnce) {
    TxBuffer.Len = 1000;
    QElapsedTimer t;
    t.start();
    SendBuffer(TxBuffer, TxSent);
    EXPECT_EQ(TxSent, 0);
    EXPECT_LT(t.elapsed(), 5000) << "no Len x 50 ms wait without a port";
    EXPECT_EQ(TxTraceRing.Tail.load(), 0);
    TcpSelected = true;
    SendBuffer(TxBuffer, TxSent);
    EXPECT_EQ(TxSent, 0);
    TxBuffer.Len = 0;
    TxLog.Open();
    SendBuffer(TxBuffer, TxSent);
    TxLog.Close();
    EXPECT_EQ(QFileInfo("transmit.txt").size(), 0) << "Len 0 logs nothing";
}

TEST_F(LinkTest, TraceRingKeepsTheLast1024Bytes) {
    for (int i = 0; i < 1030; ++i)
        TxTraceRing.Put(uint8_t(i));
    const QByteArray kept = TraceSnapshot(TxTraceRing);
    ASSERT_EQ(kept.size(), 1024);
    EXPECT_EQ(uint8_t(kept[0]), uint8_t(6));
    EXPECT_EQ(uint8_t(kept[1023]), uint8_t(1029));
    ResetTraceRings();
    EXPECT_TRUE(TraceSnapshot(TxTraceRing).isEmpty());
}

TEST_F(LinkTest, HexLogsRunTheirColumnAcrossMessages) {
    ConnectStation();
    TxLog.Open();
    SendReset();
    PutTest2Command(1);
    SendBuffer(TxBuffer, TxSent);
    TxLog.Close();
    EXPECT_FALSE(TxLog.IsOpen());
    SendReset(); // logged no more
    QFile t("transmit.txt");
    ASSERT_TRUE(t.open(QIODevice::ReadOnly));
    EXPECT_EQ(t.readAll(), "D0 91 EE 81 81 82 83 84 85 86 \n87 EF E2 80 80 80 80 80 80 80 \n82 E3 ");

    RxLog.Open();
    const TBytes bytes = FromHex("00 01 02 03 04 05 06 07 08 09 0A 0B");
    PushReceivedBytes(bytes.data(), bytes.size());
    DeliverPendingBytes();
    QFile r("receive.txt");
    ASSERT_TRUE(r.open(QIODevice::ReadOnly));
    EXPECT_EQ(r.readAll(), "00 01 02 03 04 05 06 07 08 09 \n0A 0B ");
    RxLog.Open();
    EXPECT_EQ(RxLog.Column(), 0) << "reopening starts a new file";
    EXPECT_EQ(QFileInfo("receive.txt").size(), 0);
}

// A log that cannot be created says why in Russian.
TEST_F(LinkTest, LogThatCannotBeCreatedTellsWhyInRussian) {
    ASSERT_TRUE(QDir().mkdir("receive.txt"));
    try {
        RxLog.Open();
        ADD_FAILURE() << "opened a folder";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.Message(), "Не удалось создать файл receive.txt: на этом месте находится папка")
            << e.Message().toStdString();
    }
    EXPECT_FALSE(RxLog.IsOpen());
}

TEST_F(LinkTest, UnwritableLogIsClosedAndReceptionGoesOn) {
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(QFile::link("/dev/full", "receive.txt"));
    ASSERT_TRUE(QFile::link("/dev/full", "transmit.txt"));
    RxLog.Open();
    TxLog.Open();
    const TBytes bytes = FromHex("93 B1");
    PushReceivedBytes(bytes.data(), bytes.size());
    DeliverPendingBytes();
    EXPECT_FALSE(RxLog.IsOpen());
    EXPECT_EQ(main_.Rows.size(), 1);
    ConnectStation();
    SendReset();
    EXPECT_FALSE(TxLog.IsOpen());
    EXPECT_EQ(TxSent, 1) << "the send goes on";
}

// ---------------------------------------------------------------------------------------
// TCP transport

// Sends to a peer that has reset the connection: the program must not die of a broken
// pipe, a send stops at the hard error instead of retrying for 5 s, and the link is down.
TEST_F(LinkTest, SendsToAResetPeerFailQuietlyAndTheLinkGoesDown) {
    ConnectStation();
    station_.HangUp(true);
    QElapsedTimer t;
    t.start();
    int sent = 0;
    for (int i = 0; i < 20; ++i) {
        TxBuffer.Len = 1000;
        SendBuffer(TxBuffer, TxSent);
        sent += TxSent;
        QThread::msleep(5);
    }
    EXPECT_LT(sent, 20000);
    EXPECT_LT(t.elapsed(), 5000);
    ASSERT_TRUE(PumpUntil([] { return !TcpConnected; }));
    EXPECT_EQ(link_.Status[0], "Связь со станцией потеряна");
}

// A maintainer's script with a typing error stops at its line instead of ending the tool.
TEST_F(LinkTest, ScriptLineThatIsNoNumberFails) {
    std::string error;
    EXPECT_FALSE(vesksim::PlayScript(station_, "wait 1\ntimeout 5s\n", &error));
    EXPECT_EQ(error, "line 2: not a number of milliseconds: 5s");
}

// The simulated station whose program end has gone (the program closed its port) gives up
// a send that finds no room, instead of spinning for ever while it holds its send lock:
// that held the station's hang-up and its end, and with them the test, until killed.
TEST_F(LinkTest, StationSendToAClosedProgramEndEnds) {
    auto* station = new vesksim::TStation;
    ASSERT_TRUE(station->StartSerial(dir_.path().toStdString(), "ttyUSB7")) << station->Error();
    const QByteArray slave = QFile::encodeName(dir_.path() + "/dev/ttyUSB7");
    const int fd = ::open(slave.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ::close(fd);
    auto done = std::make_shared<std::atomic<int>>(-1);
    std::thread([station, done] { *done = station->Send(TBytes(64 * 1024, 0x55)) ? 1 : 0; }).detach();
    QElapsedTimer t;
    t.start();
    while (*done < 0 && t.elapsed() < 15000)
        QThread::msleep(20);
    ASSERT_EQ(*done, 0) << "the send still runs after 15 s";
    delete station; // only once the send is over: a spinning one would still use it
}

TEST_F(LinkTest, TcpConnectionRefused) {
    int port = 0;
    {
        vesksim::TStation gone;
        port = gone.ListenTcp(0);
    }
    ASSERT_GT(port, 0);
    OpenConnection("127.0.0.1", port);
    EXPECT_FALSE(TcpConnected);
    OpenConnection("", 4001);
    EXPECT_FALSE(TcpConnected);
}

} // namespace
