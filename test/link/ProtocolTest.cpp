// The byte grammar and the event and frame decoders, with recording views.
#include "LinkFixture.h"
#include "platform/Dialogs.h"

using namespace linktest;

namespace {
// ---------------------------------------------------------------------------------------
// Byte grammar

struct TGrammarCase {
    const char* name;
    const char* bytes;
    uint8_t running;
    int queued;   // results in the queue afterwards
    uint8_t code; // RxFrame afterwards
    uint8_t state;
    const char* digits;
    bool inFrame;
};

class GrammarTest : public LinkTest, public ::testing::WithParamInterface<TGrammarCase> {};

TEST_P(GrammarTest, AssemblesFrames) {
    const TGrammarCase& c = GetParam();
    RunningTest = c.running;
    Feed(c.bytes);
    EXPECT_EQ(ResultCount, c.queued);
    EXPECT_EQ(RxFrame.Code, c.code);
    EXPECT_EQ(RxFrame.State, c.state);
    EXPECT_EQ(Nibbles(RxFrame), QString(c.digits));
    EXPECT_EQ(InFrame, c.inFrame);
}

const TGrammarCase grammarCases[] = {
    {"result", "E2 80 80 80 80 80 80 80 82 E3", 2, 1, 0xE2, 2, "00000002", false},
    {"empty", "E2 E3", 0, 0, 0xE2, 2, "", false},
    {"restartByEven", "E2 81 82 E8 83 E9", 0, 0, 0xE8, 2, "3", false},
    {"otherSkipped", "E2 81 55 82 E3", 0, 0, 0xE2, 2, "12", false},
    {"sixteenDigitsIsNoResult", "E2 80 80 80 80 80 80 80 82 80 80 80 80 80 80 80 80 E3", 2, 0, 0xE2, 2,
     "0000000200000000", false},
    {"seventeenthDigitLosesIt", "E2 80 80 80 80 80 80 80 82 80 80 80 80 80 80 80 80 80 E3", 2, 0, 0, 1, "",
     false},
    {"eventAborts", "E2 81 B1 82 E3", 0, 0, 0, 1, "", false},
    {"oddAborts", "E2 81 ED 82 E3", 0, 0, 0xE2, 1, "1", false},
    {"strayDigitAndCloser", "83 E3", 0, 0, 0, 0, "", false},
    {"ffNeverOpens", "FF 81 FF", 0, 0, 0, 0, "", false},
    {"feOpensFfCloses", "FE 81 FF", 0, 0, 0xFE, 2, "1", false},
    {"openAtEnd", "E8 81 82", 0, 0, 0xE8, 1, "12", true},
};

INSTANTIATE_TEST_SUITE_P(Bytes, GrammarTest, ::testing::ValuesIn(grammarCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkTest, EventInsideAFrameIsDecoded) {
    CurrentChannel = 3;
    Feed("E2 81 B1 82 E3");
    EXPECT_EQ(main_.Rows, QList<TGridRow>({{"МВ1", "Наличие тона 2772"}}));
}

TEST_F(LinkTest, DuringASoundTransferOnlyFaFramesOpenAndEventsAreNotDecoded) {
    SoundTransferOn = true;
    Feed("E2 81 E3");
    EXPECT_EQ(RxFrame.Code, 0);
    Feed("B1 C9");
    EXPECT_TRUE(main_.Rows.isEmpty());
    EXPECT_TRUE(link_.Calls.isEmpty());
    // Received sound: an event byte among the samples still ends a frame left behind.
    SoundFlags = SoundReceiving;
    Feed("FA 81 FB 75");
    EXPECT_EQ(RxFrame.Code, 0xFA) << "a sample outside the events leaves it";
    Feed("C5");
    EXPECT_EQ(RxFrame.Code, 0);
    SoundFlags = 0;
    SoundTransferOn = true;
    DataErrorFlags = 1;
    Feed("FA 8F 80 85 8A 8F 80 8F 8F FB");
    EXPECT_FALSE(SoundTransferOn) << "command 15 carried out";
    EXPECT_EQ(RxFrame.Code, 0) << "the sound command is consumed";
    EXPECT_TRUE(link_.DataErrorShown) << "a sound command refreshes the data error label too";

    // An FA frame of another length is no command, but like any frame it shows the data
    // error label; one with a wrong signature does not.
    DataErrorFlags = 1;
    Feed("FA 8F 80 85 8A 8F 80 8F FB");
    EXPECT_TRUE(link_.DataErrorShown);
    EXPECT_EQ(RxFrame.Code, 0xFA);
    link_.DataErrorShown = false;
    Feed("FA 81 80 85 8A 8F 80 8F 8F FB");
    EXPECT_FALSE(link_.DataErrorShown);
}

// Bytes arrive in pieces of any size through the hand-off to the window thread: the
// decoded result is the same as for the stream fed in one go.
TEST_F(LinkTest, StreamSplitAtAnyBoundaryDecodesTheSame) {
    const TBytes stream = FromHex("93 B1 E2 81 55 82 E3 EE 81 81 82 83 84 85 86 87 EF B0 E8 80 81 82 "
                                  "E9 EA 80 83 80 82 83 85 81 89 EB CB C9 F8 81 82 80 85 80 87 82 84 F9 C0");
    Feed(stream);
    const QList<TGridRow> whole = main_.Rows;
    const QString wholeWord = ConfigWord, wholeLoco = LocoNumber, wholeDev = link_.Deviation;
    ASSERT_EQ(whole.size(), 4);
    for (size_t chunk : {1, 2, 3, 5, 7, 11, 64}) {
        SCOPED_TRACE(chunk);
        SetStartupDefaults();
        main_.Rows.clear();
        ResetReceiver();
        for (size_t i = 0; i < stream.size(); i += chunk) {
            const size_t n = std::min(chunk, stream.size() - i);
            PushReceivedBytes(stream.data() + i, n);
            if (i % (3 * chunk) == 0)
                DeliverPendingBytes();
        }
        ASSERT_TRUE(PumpUntil([] { return PendingByteCount() == 0; }));
        EXPECT_EQ(main_.Rows, whole);
        EXPECT_EQ(ConfigWord, wholeWord);
        EXPECT_EQ(LocoNumber, wholeLoco);
        EXPECT_EQ(link_.Deviation, wholeDev);
    }
}

// A decoder error stops that byte only; the bytes after it are decoded.
TEST_F(LinkTest, DecoderErrorIsContainedToItsByte) {
    ConfigWord = "01111199"; // МВ standby digit 9 is outside 1-4
    CurrentChannel = 1;
    Feed("B5 F8 84 82 81 82 83 84 80 88 F9 B1");
    EXPECT_EQ(main_.Rows, QList<TGridRow>({{"ГМВ1", "Наличие тона 2772"}}))
        << "the bad standby event and the bad factory-number frame change nothing";
    EXPECT_EQ(CurrentChannel, 1);
    EXPECT_EQ(ToneFlagsM, "00000");
    EXPECT_EQ(ToneFlagsD, "00010");
    EXPECT_EQ(RxTraceRing.Tail.load(), 12) << "every byte reaches the trace ring";
}

// ---------------------------------------------------------------------------------------
// Events

struct TEventCase {
    const char* name;
    const char* bytes;
    uint8_t channel;
    const char* config;
    const char* row;     // last row text, "" for none
    const char* rowChan; // its channel column
    uint8_t channelAfter;
    const char* flagsD;
    const char* flagsG;
    const char* flagsM;
};

class EventTest : public LinkTest, public ::testing::WithParamInterface<TEventCase> {};

TEST_P(EventTest, RowChannelAndFlags) {
    const TEventCase& c = GetParam();
    CurrentChannel = c.channel;
    ConfigWord = c.config;
    Feed(c.bytes);
    if (*c.row) {
        ASSERT_FALSE(main_.Rows.isEmpty());
        EXPECT_EQ(main_.Rows.last(), (TGridRow{c.rowChan, c.row}));
    } else {
        EXPECT_TRUE(main_.Rows.isEmpty());
    }
    EXPECT_EQ(CurrentChannel, c.channelAfter);
    EXPECT_EQ(ToneFlagsD, c.flagsD);
    EXPECT_EQ(ToneFlagsG, c.flagsG);
    EXPECT_EQ(ToneFlagsM, c.flagsM);
}

const TEventCase eventCases[] = {
    {"channelThenRow", "93 B0", 1, "01111111", "Наличие КС", "МВ1", 3, "00001", "00000", "00000"},
    {"mvStandbyMoves", "B5", 4, "01111113", "Наличие 700 гц первый раз", "МВ3", 5, "00000", "00000", "00010"},
    {"mvStandbyStaysOnMv1", "B6", 3, "01111113", "Наличие 700 гц второй раз", "МВ1", 3, "00000", "00000",
     "00100"},
    {"gmvStandbyMoves", "B7", 5, "01111121", "Наличие 700 гц первый раз", "ГМВ2", 2, "00000", "00010",
     "00000"},
    {"gmvStandbyStaysOnGmv1", "B8", 1, "01111121", "Наличие 700 гц второй раз", "ГМВ1", 1, "00000", "00100",
     "00000"},
    {"mvStandbyOutOfRange", "B5", 4, "01111115", "", "", 4, "00000", "00000", "00000"},
    {"gmvStandbyOutOfRange", "B7", 5, "01111131", "", "", 5, "00000", "00000", "00000"},
    {"badMvStandbyUnusedOnMv4", "B6", 6, "01111110", "Наличие 700 гц второй раз", "МВ4", 6, "00000", "00000",
     "00100"},
    {"badGmvStandbyUnusedOnGmv2", "B7", 2, "01111101", "Наличие 700 гц первый раз", "ГМВ2", 2, "00000",
     "00010", "00000"},
    {"flagWithoutRow", "BD", 1, "01111111", "", "", 1, "10000", "00000", "00000"},
    {"allFlags", "BD BA B2 B1 B0 BF BC B8 B7 B4 BE BB B6 B5 B3", 3, "01111111", "Наличие тона 2272", "МВ1", 3,
     "11111", "11111", "11111"},
    {"noTextNoRow", "90 97 9B A0 A3 A6 AA C1 C6 CD DF", 1, "01111111", "", "", 1, "00000", "00000", "00000"},
};

INSTANTIATE_TEST_SUITE_P(Events, EventTest, ::testing::ValuesIn(eventCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every event's message text, once, and the tone flag each tone event sets: its string
// and its position, with no other flag set.
TEST_F(LinkTest, EventTextsAndToneFlags) {
    const struct {
        uint8_t event;
        const char* text;
        const char* flags; // D, G, M strings after the event alone; "" for no flag
    } events[] = {
        {0xA9, "Норма запроса.Ждите окончания теста", ""},
        {0xAB, "Нет подтверждения", ""},
        {0xAC, "Нет ППНЛ", ""},
        {0xAD, "Совпал ППНЛ", ""},
        {0xAE, "Нет ППНК", ""},
        {0xAF, "Совпал ППНК", ""},
        {0xB0, "Наличие КС", "00001 00000 00000"},
        {0xB1, "Наличие тона 2772", "00010 00000 00000"},
        {0xB2, "Наличие тона 2941", "00100 00000 00000"},
        {0xB3, "Наличие тона 2272", "00000 00000 00001"},
        {0xB4, "Наличие тона 2941", "00000 00001 00000"},
        {0xB5, "Наличие 700 гц первый раз", "00000 00000 00010"},
        {0xB6, "Наличие 700 гц второй раз", "00000 00000 00100"},
        {0xB7, "Наличие 700 гц первый раз", "00000 00010 00000"},
        {0xB8, "Наличие 700 гц второй раз", "00000 00100 00000"},
        {0xB9, "Проверка НЧ РС", "00000 00000 00000"},
        {0xBA, "Прием № поезда и передача ППНП", "01000 00000 00000"},
        {0xBB, "МВ: Прием № поезда и передача ППНП", "00000 00000 01000"},
        {0xBC, "ГМВ:Прием № поезда и передача ППНП", "00000 01000 00000"},
        {0xBD, "", "10000 00000 00000"},
        {0xBE, "МВ: Прием № локомотива и передача ППНЛ", "00000 00000 10000"},
        {0xBF, "ГМВ:Прием № локомотива и передача ППНЛ", "00000 10000 00000"},
        {0xC7, "ПРМ вызова 1", ""},
        {0xC8, "ПРМ вызова 2", ""},
    };
    ConfigWord = "01111111"; // standby channels МВ1, ГМВ1: the 700 Hz events move nowhere
    for (const auto& e : events) {
        SCOPED_TRACE(e.event);
        CurrentChannel = 3;
        ResetToneFlags();
        main_.Rows.clear();
        ReceiveByte(e.event);
        if (*e.text) {
            EXPECT_EQ(RowTexts(), QStringList({e.text}));
        } else {
            EXPECT_TRUE(main_.Rows.isEmpty());
        }
        if (*e.flags) {
            EXPECT_EQ(ToneFlagsD + " " + ToneFlagsG + " " + ToneFlagsM, QString(e.flags));
        }
    }
}

TEST_F(LinkTest, ChannelEventsShowTheChannelName) {
    const struct {
        uint8_t event;
        const char* name;
    } channels[] = {{0x91, "ГМВ1"}, {0x92, "ГМВ2"}, {0x93, "МВ1"},
                    {0x94, "МВ2"},  {0x95, "МВ3"},  {0x96, "МВ4"}};
    for (const auto& c : channels) {
        ReceiveByte(c.event);
        EXPECT_EQ(CurrentChannel, c.event - 0x90);
        EXPECT_EQ(link_.ChannelText, c.name);
    }
    link_.ChannelText.clear();
    ConfigWord = "01111113";
    CurrentChannel = 4;
    Feed("B5");
    EXPECT_TRUE(link_.ChannelText.isEmpty()) << "a standby move leaves the channel edit";
}

TEST_F(LinkTest, AlarmsTransmittersAndNoConfirmation) {
    Feed("99 A1 9A A5 98 CA A2 A4");
    EXPECT_EQ(link_.Beeps, 3);
    EXPECT_EQ(link_.Calls,
              QStringList({"alarm 1 1", "tx mv on", "alarm 1 0", "alarm 2 1", "tx gmv off", "alarm 0 1",
                           "working", "enable psh", "tx gmv on", "alarm 2 0", "tx mv off"}));
    Feed("AB");
    EXPECT_TRUE(EndWaitRequest);
    EXPECT_EQ(RowTexts(), QStringList({"Нет подтверждения"}));
}

TEST_F(LinkTest, HeartbeatSwingsTheNeedle) {
    DeviceBusy = true;
    for (int i = 0; i < 11; ++i)
        Feed("CB");
    EXPECT_EQ(link_.Heartbeats, QList<int>({10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 90}));
    EXPECT_FALSE(DeviceBusy);
    for (int i = 0; i < 9; ++i)
        Feed("CB");
    EXPECT_EQ(link_.Heartbeats.last(), 0);
    Feed("CB");
    EXPECT_EQ(link_.Heartbeats.last(), 10) << "turns at zero";
}

TEST_F(LinkTest, FreeEventByRunningTest) {
    BlockNumDigits.Digits[0][0] = 5;
    RunningTest = 2;
    Feed("C0");
    EXPECT_EQ(link_.Calls, QStringList({"free"}));
    EXPECT_EQ(main_.Calls, QStringList({"reset panel"})) << "controls stay off during a test";
    EXPECT_TRUE(BlockNumDigits.IsEmpty());
    main_.Calls.clear();
    RunningTest = 1;
    Feed("C0");
    EXPECT_TRUE(main_.Calls.isEmpty()) << "the self-test keeps its panel";
    RunningTest = 0;
    Feed("C0");
    EXPECT_EQ(main_.Calls, QStringList({"controls on", "reset panel"}));
}

TEST_F(LinkTest, FirstBusyAfterAHeartbeatClosesAShownResult) {
    TFakeClock clock;
    SetClock(&clock);
    int closed = 0;
    SetResultPanelCloser([&] { ++closed; });
    ResultShown = true;
    ResultShownAt = clock.Now().addSecs(-5);
    Feed("C9 C9");
    EXPECT_EQ(closed, 1) << "a second busy in a row does nothing more";
    EXPECT_EQ(main_.Calls, QStringList({"controls off", "controls off"}));
    Feed("CB C9");
    EXPECT_EQ(closed, 2);
    ResultShownAt = clock.Now().addMSecs(-1000);
    Feed("CB C9");
    EXPECT_EQ(closed, 2) << "a result shown for no more than a second stays";
    ResultShownAt = clock.Now().addMSecs(-1001);
    Feed("CB C9");
    EXPECT_EQ(closed, 3);
}

// ---------------------------------------------------------------------------------------
// Frames

TEST_F(LinkTest, ResultFramesWhileATestRuns) {
    RunningTest = 1;
    Feed("E2 80 80 80 80 80 80 80 82 E3");
    EXPECT_EQ(ResultCount, 0) << "a result of another test is dropped";
    Feed("E2 80 80 80 80 80 80 80 81 E3");
    EXPECT_EQ(ResultCount, 1);
    EXPECT_FALSE(link_.DataErrorShown);
    for (int i = 0; i < 12; ++i)
        Feed("E2 81 80 80 80 80 80 80 81 E3");
    EXPECT_EQ(ResultCount, 10) << "an eleventh result is not queued";
    EXPECT_EQ(ResultQueue[9].Nibbles[0], 1);
    EXPECT_EQ(ResultQueue[0].Nibbles[0], 0);
    EXPECT_EQ(ResultBacklog.size(), 3u) << "it waits for the wait to end";

    // A station far out of step: what the backlog cannot take is told, code by code.
    QStringList told;
    SetDialogHook([&](const TDialogRecord& r, QWidget*) {
        told.append(r.Text);
        return int(mrOk);
    });
    ResultBacklog.resize(ResultBacklogLimit);
    Feed("E2 83 84 80 80 80 80 80 81 E3");
    Feed("E2 85 80 80 80 80 80 80 81 E3");
    EXPECT_EQ(int(ResultBacklog.size()), ResultBacklogLimit);
    EXPECT_TRUE(told.isEmpty()) << "no dialog in the middle of decoding";
    QCoreApplication::processEvents();
    SetDialogHook(nullptr);
    ASSERT_EQ(told.size(), 1);
    // The result of another test dropped at the start is named with them.
    EXPECT_TRUE(told[0].contains("Не записаны в журнал (3)"));
    EXPECT_TRUE(told[0].endsWith("Тест 2 код 0000000, Тест 1 код 3400000, Тест 1 код 5000000"))
        << told[0].toStdString();
    ResultBacklog.clear();
}

class PostCounter : public QObject {
public:
    bool event(QEvent* e) override {
        posted.append(int(e->type()) - int(QEvent::User));
        return true;
    }
    QList<int> posted;
};

TEST_F(LinkTest, DeviceStartedResultIsQueuedAndPosted) {
    PostCounter receiver;
    SetMainFormReceiver(&receiver);
    Feed("E2 80 80 80 80 80 80 80 82 E3");
    EXPECT_EQ(RunningTest, 2);
    EXPECT_EQ(ResultCount, 1);
    EXPECT_TRUE(receiver.posted.isEmpty()) << "posted, not sent";
    Feed("E2 80 80 80 80 80 80 81 82 E3");
    EXPECT_EQ(ResultCount, 2) << "a second result before the wait starts is queued";
    QCoreApplication::processEvents();
    EXPECT_EQ(receiver.posted, QList<int>({WM_DEVICE_TEST23}));
    RunningTest = 0;
    ClearResultQueue();
    Feed("E2 80 80 80 80 80 80 80 81 E3");
    QCoreApplication::processEvents();
    EXPECT_EQ(receiver.posted, QList<int>({WM_DEVICE_TEST23, WM_DEVICE_TEST1}));
    RunningTest = 0;
    ClearResultQueue();
    Feed("E2 80 80 80 80 80 80 80 86 E3");
    QCoreApplication::processEvents();
    EXPECT_EQ(RunningTest, 0);
    EXPECT_EQ(ResultCount, 0);
    EXPECT_EQ(receiver.posted.size(), 2);
    SetMainFormReceiver(nullptr);
}

TEST_F(LinkTest, MvChannelNumbers) {
    Feed("E4 80 81 81 82 83 84 85 86 E5");
    EXPECT_EQ(MvChannels[1].Prm, "123");
    EXPECT_EQ(MvChannels[1].Prd, "456");
    EXPECT_TRUE(link_.Calls.contains("params show"));
    Feed("E4 80 82 81 8A 83 84 85 86 E5");
    EXPECT_EQ(DataErrorFlags, 1u << 4);
    EXPECT_EQ(MvChannels[2].Prm, "000") << "a bad receive digit keeps the slot's numbers out";
    EXPECT_EQ(MvChannels[2].Prd, "000");
    EXPECT_TRUE(link_.DataErrorShown);
    Feed("E4 80 81 89 89 89 89 89 89 E5");
    EXPECT_EQ(MvChannels[1].Prm, "123") << "nothing changes until the reset command";
    DataErrorFlags = 0;
    Feed("E4 80 85 81 81 81 81 81 81 E5");
    EXPECT_EQ(DataErrorFlags, 2u) << "slot outside 1-4";
    DataErrorFlags = 0;
    Feed("E4 80 84 8B 81 81 8C 81 81 E5");
    EXPECT_EQ(MvChannels[4].Prm, "011") << "slot 4 takes '0' for a bad digit";
    EXPECT_EQ(MvChannels[4].Prd, "011");
    EXPECT_EQ(DataErrorFlags, 0u);
}

TEST_F(LinkTest, ConfigurationWord) {
    ConfigWord = "00000000";
    Feed("E8 80 81 81 81 81 81 81 81 E9");
    EXPECT_EQ(ConfigWord, "01111111");
    EXPECT_EQ(DataErrorFlags, 1u) << "the program's default word counts as wrong";
    EXPECT_EQ(link_.ParamsWord, "01111111");
    EXPECT_EQ(link_.Standby, "1/1");
    EXPECT_TRUE(link_.DataErrorShown);
    DataErrorFlags = 0;
    link_.Calls.clear();
    Feed("E8 80 8A 86 80 80 80 82 83 E9");
    EXPECT_EQ(ConfigWord, "01600023") << "a letter keeps the old character";
    EXPECT_EQ(DataErrorFlags, 1u);
    EXPECT_EQ(link_.Standby, "3/2");
    EXPECT_EQ(link_.Calls, QStringList({"mv free", "gmv white"}));
    ConfigWord = "02600023";
    link_.Calls.clear();
    ShowConfig();
    ApplyGmvBlock();
    EXPECT_EQ(link_.Calls, QStringList({"mv blocked", "gmv white", "gmv free"}));
    ConfigWord = "06000000";
    link_.Calls.clear();
    ShowConfig();
    ApplyGmvBlock();
    EXPECT_EQ(link_.Calls, QStringList({"mv blocked", "gmv grey", "gmv blocked"}));
}

TEST_F(LinkTest, Measurements) {
    Feed("EA 80 83 80 82 83 85 81 89 EB");
    EXPECT_EQ(link_.Deviation, "3,5 1,9");
    EXPECT_EQ(MeasuredDeviation[0], "02");
    EXPECT_EQ(MeasuredDeviation[1], "35");
    EXPECT_EQ(MeasuredDeviation[2], "19");
    Feed("EA 80 82 81 82 81 85 82 80 EB");
    EXPECT_EQ(ParamBlock2[0], "12");
    EXPECT_TRUE(ParamBlock2[1].isEmpty());
    EXPECT_DOUBLE_EQ(VswrMv, 1.5);
    EXPECT_DOUBLE_EQ(VswrGmv, 2.0);
    Feed("EA 80 80 81 82 83 84 85 86 EB EA 80 81 8A 8B 8C 8D 8E 8F EB");
    EXPECT_EQ(Thresholds[0], "12");
    EXPECT_EQ(Thresholds[2], "56");
    EXPECT_EQ(Thresholds[3], "AB");
    EXPECT_EQ(Thresholds[5], "EF");
    Feed("EA 80 84 80 80 81 82 8C 84 EB EA 80 85 80 80 80 80 80 87 EB");
    EXPECT_EQ(link_.RssiMv, "12124");
    EXPECT_EQ(link_.RssiGmv, "0007");
    Feed("EA 81 83 80 80 80 80 80 80 EB");
    EXPECT_EQ(MeasuredDeviation[1], "35") << "digit 0 must be 0";
}

TEST_F(LinkTest, SquelchSettings) {
    Feed("EA 80 87 80 80 81 81 82 87 EB");
    EXPECT_TRUE(PshSettings[1].Off);
    EXPECT_EQ(PshSettings[1].Level, 127);
    EXPECT_EQ(main_.Calls, QStringList({"main ShowPSHs"}));
    EXPECT_TRUE(link_.Calls.contains("call psh"));
    EXPECT_TRUE(link_.Calls.contains("params psh"));
    Feed("EA 80 86 80 80 80 82 85 85 EB");
    EXPECT_EQ(PshSettings[0].Level, 255);
    EXPECT_FALSE(PshSettings[0].Off);
    Feed("EA 80 86 80 80 81 82 85 86 EB");
    EXPECT_EQ(PshSettings[0].Level, 255) << "level 256 is refused";
    EXPECT_FALSE(PshSettings[0].Off);
}

TEST_F(LinkTest, TrainAndLocomotiveNumbers) {
    Feed("EC 89 87 81 82 83 84 8A 85 ED");
    EXPECT_EQ(TrainNumber, "1234");
    EXPECT_EQ(DeviceTrainNumber, "1234");
    Feed("EC 80 80 80 80 80 80 80 80 ED");
    EXPECT_EQ(TrainNumber, "0000");
    Feed("EE 81 81 82 83 84 85 86 87 EF");
    EXPECT_EQ(LocoNumber, "1234567");
    EXPECT_EQ(RowTexts(), QStringList({"Номер поезда: 1234. Код теста1 р/c: A5", "Номер поезда: XXXX",
                                       "Номер локомотива: 1234567"}));
    Feed("EE 81 8A 82 83 84 85 86 87 EF");
    EXPECT_EQ(LocoNumber, "A234567");
    EXPECT_EQ(RowTexts().last(), "Номер локомотива: 10234567");

    // A plain train frame needs its six digits only; the test-1 variant (digits 9, 7)
    // needs eight.
    Feed("EC 80 80 85 86 87 88 ED");
    EXPECT_EQ(TrainNumber, "5678");
    Feed("EC 89 87 81 82 83 84 8A ED");
    EXPECT_EQ(TrainNumber, "5678");
    Feed("EC 89 86 84 83 82 81 ED");
    EXPECT_EQ(TrainNumber, "4321");
    Feed("EC 89 86 81 82 83 84 8A 85 ED");
    EXPECT_EQ(RowTexts().last(), "Номер поезда: 1234") << "no test-1 code without digit 7";
}

TEST_F(LinkTest, SpecialModeResultsAndVersion) {
    Feed("F2 81 82 83 84 85 86 87 88 F3 F0 8A 8B 80 80 80 80 80 81 F1");
    EXPECT_EQ(link_.Special[1], "1 345678");
    EXPECT_EQ(link_.Special[0], "AB000001");
    EXPECT_EQ(link_.Beeps, 2);
    Feed("F6 80 80 81 82 83 8A 8B 8C F7");
    EXPECT_EQ(DeviceVersion, "123ABC");
    EXPECT_EQ(link_.ParamsVersion, "123ABC");
}

TEST_F(LinkTest, FactoryNumbers) {
    Feed("F8 81 82 80 85 80 87 82 84 F9");
    const uint8_t expected[4] = {0, 5, 0, 7};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(BlockNumDigits.Digits[0][8 + i], expected[i]);
    EXPECT_EQ(main_.Rows, QList<TGridRow>({{"ГМВ1", "Зав. номер 12 = 0507"}}));
    Feed("F8 81 82 80 85 80 87 83 84 F9"); // wrong check number
    Feed("F8 84 82 80 81 80 81 84 84 F9"); // a = 42
    Feed("F8 81 82 8A 85 80 87 82 84 F9"); // a letter among the digits
    Feed("F8 84 81 80 81 80 81 84 83 F9"); // a = 41: block 8, quarter 3
    EXPECT_EQ(main_.Rows.size(), 2);
    EXPECT_EQ(BlockNumDigits.Digits[7][12], 0);
    EXPECT_EQ(BlockNumDigits.Digits[7][13], 1);
    EXPECT_EQ(BlockNumDigits.Digits[7][15], 1);
}

// A frame with fewer digits than its decoder reads would take digits of an earlier frame.
TEST_F(LinkTest, ShortFramesAreIgnored) {
    Feed("EE 81 81 82 83 84 85 86 87 EF");
    main_.Rows.clear();
    Feed("EC 81 82 ED EE 89 EF E8 81 E9 EA 80 83 EB F8 81 F9 F6 E7");
    EXPECT_TRUE(main_.Rows.isEmpty());
    EXPECT_EQ(LocoNumber, "1234567");
    EXPECT_EQ(ConfigWord, "01111111");
    EXPECT_EQ(DataErrorFlags, 0u);
    EXPECT_TRUE(link_.Deviation.isEmpty());
    EXPECT_TRUE(BlockNumDigits.IsEmpty());
    // Digit 7 of an earlier frame is 2: a result frame with fewer or more digits than a
    // result's eight is no result the station started.
    Feed("EA 80 8F 80 80 80 80 80 82 EB E2 E3 E2 81 82 E3 E2 80 80 80 80 80 80 80 82 80 E3");
    EXPECT_EQ(RunningTest, 0);
    EXPECT_EQ(ResultCount, 0);
}

// A call the busy event makes may pump window events (closing a shown result does):
// the bytes after 0xC9 are decoded after it, never inside it, so a frame that opens
// meanwhile is kept and the trace ring keeps the order of the line.
TEST_F(LinkTest, BusyEventThatPumpsEventsKeepsTheFollowingFrame) {
    TFakeClock clock;
    SetClock(&clock);
    ResultShown = true;
    ResultShownAt = clock.Now().addSecs(-5);
    bool closed = false;
    SetResultPanelCloser([&] {
        closed = true;
        QCoreApplication::processEvents();
    });
    const TBytes first = FromHex("C9 E8 80 81 82");
    PushReceivedBytes(first.data(), first.size());
    DeliverPendingBytes();
    EXPECT_TRUE(closed);
    const TBytes rest = FromHex("83 84 85 86 87 E9");
    PushReceivedBytes(rest.data(), rest.size());
    ASSERT_TRUE(PumpUntil([] { return PendingByteCount() == 0; }));
    EXPECT_EQ(ConfigWord, "01234567");
    EXPECT_EQ(Hex(TraceSnapshot(RxTraceRing)), "C9 E8 80 81 82 83 84 85 86 87 E9");
}

// Whatever a decoder's call does, bytes are never decoded inside another byte's decoding.
TEST_F(LinkTest, NoByteIsDecodedInsideAnother) {
    struct TPumpingView : TRecordingMainView {
        void AddMessageRow(const QString& text, bool withChannel) override {
            TRecordingMainView::AddMessageRow(text, withChannel);
            QCoreApplication::processEvents();
        }
    } view;
    SetMainView(&view);
    const TBytes bytes = FromHex("B1 EE 81 87 86 85 84 83 82 81 EF");
    PushReceivedBytes(bytes.data(), 3);
    DeliverPendingBytes();
    PushReceivedBytes(bytes.data() + 3, bytes.size() - 3);
    ASSERT_TRUE(PumpUntil([] { return PendingByteCount() == 0; }));
    EXPECT_EQ(view.Rows.size(), 2);
    EXPECT_EQ(LocoNumber, "7654321");
    SetMainView(&main_);
}

} // namespace
