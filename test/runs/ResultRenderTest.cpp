// Rendering of result codes into coloured lines, and the packed VSWR of the journal.
#include "runs/ResultRender.h"
#include "platform/Clock.h"
#include "runs/TestRun.h"
#include "runs/TestState.h"
#include "state/UVesk.h"

#include <QLocale>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

class ResultRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetTestState();
        for (int i = 0; i < 6; ++i)
            Thresholds[i] = QString::number(31 + i);
        SetClock(&clock_);
    }
    void TearDown() override {
        SetClock(nullptr);
        QLocale::setDefault(QLocale::c());
    }
    static QStringList Texts(const QList<TResultLine>& lines) {
        QStringList t;
        for (const auto& l : lines)
            t.append(l.Text);
        return t;
    }
    TFakeClock clock_;
};

TEST_F(ResultRenderTest, SelfTestAllZeroListsEveryUnitWithAntennaVswr) {
    QLocale::setDefault(QLocale(QLocale::English)); // the comma does not follow the locale
    VswrMv = 3.5;
    VswrGmv = 1.2;
    QTextDocument doc;
    ShowSelfTestResult("0000000", &doc);

    const QList<TResultLine> lines = SelfTestLines("0000000");
    ASSERT_EQ(lines.size(), 2 + 15) << "two CPU lines, three per digit 1-5, none for 6-7";
    EXPECT_EQ(lines[0].Text, " Норма ЦПУ (ПЗУ)");
    EXPECT_EQ(lines[5].Text, " Норма СЧ МВ");
    EXPECT_EQ(lines[7].Text, " Норма АФУ  МВ КСВ=3,5");
    EXPECT_EQ(lines[10].Text, " Норма АФУ ГМВ КСВ=1,2");
    EXPECT_EQ(lines[8].Text, " Норма СЧ  ГМВ");
    for (const auto& l : lines)
        EXPECT_EQ(l.Color, ResultBlack);
    EXPECT_EQ(VswrPacked, QString(QChar(35)) + QChar(12));

    // The document keeps double blanks and one block per line, each in its colour.
    ASSERT_EQ(doc.blockCount(), lines.size());
    EXPECT_EQ(doc.findBlockByNumber(7).text(), " Норма АФУ  МВ КСВ=3,5");
    ShowSelfTestResult("0000000", &doc);
    EXPECT_EQ(doc.blockCount(), lines.size()) << "a new result replaces the old one";
}

TEST_F(ResultRenderTest, SelfTestProcessorFaultIsOneRedLineAndKeepsPackedVswr) {
    VswrPacked = "ab";
    for (const char* code : {"8000000", "9000000", "A000000", "F123456"}) {
        const QList<TResultLine> lines = SelfTestLines(code);
        ASSERT_EQ(lines.size(), 1) << code;
        EXPECT_EQ(lines[0].Color, ResultRed);
        EXPECT_EQ(lines[0].Text, code[0] == '8' ? " Брак ЦПУ (ПЗУ) " : " Брак ЦПУ (ОЗУ) ") << code;
        QTextDocument doc;
        ShowSelfTestResult(code, &doc);
        EXPECT_EQ(VswrPacked, "ab");
    }
}

TEST_F(ResultRenderTest, SelfTestFaultBitsAndRarelySetDigits) {
    const QList<TResultLine> lines = SelfTestLines("0400030");
    const QStringList t = Texts(lines);
    EXPECT_TRUE(t.contains(" Брак АФУ  МВ КСВ=???")) << "bit 2 of digit 2, VSWR not measured";
    EXPECT_TRUE(t.contains(" Брак ПШ не проверялся МВ"));
    EXPECT_TRUE(t.contains(" Брак канал поражён МВ"));
    EXPECT_FALSE(t.join('|').contains("ГМВ КСВ=???|  ")) << "digit 7 zero adds nothing";
    EXPECT_EQ(lines.last().Color, ResultRed);
    EXPECT_EQ(lines.size(), 2 + 15 + 2);
}

TEST_F(ResultRenderTest, SavedRowShowsItsOwnVswrAndLeavesTheLiveOnesAlone) {
    VswrMv = 2.0;
    VswrGmv = 2.0;
    VswrPacked = "xy";
    VswrFromDb = true;
    VswrTextMv = VswrTextFromPacked(QChar(35));
    VswrTextGmv = VswrTextFromPacked(QChar(15));
    QTextDocument doc;
    ShowSelfTestResult("0000000", &doc);
    EXPECT_TRUE(doc.toPlainText().contains("АФУ  МВ КСВ=3,5"));
    EXPECT_TRUE(doc.toPlainText().contains("АФУ ГМВ КСВ=1,5"));
    EXPECT_EQ(VswrPacked, "xy");
}

TEST_F(ResultRenderTest, VswrTextsAndTheNotMeasuredMarker) {
    EXPECT_EQ(FormatVswr(9.9), "9,9");
    EXPECT_EQ(FormatVswr(0.5), "0,5");
    EXPECT_EQ(FormatVswr(10.0), "???");
    EXPECT_EQ(FormatVswr(9.96), "???") << "would need a third digit";
    EXPECT_EQ(FormatVswr(-1), "???");

    // A not-measured band packs to a marker every reader turns back into "???".
    VswrMv = 10.0;
    VswrGmv = 0.5;
    QTextDocument doc;
    ShowSelfTestResult("0000000", &doc);
    ASSERT_EQ(VswrPacked.size(), 2);
    EXPECT_EQ(VswrTextFromPacked(VswrPacked[0]), "???");
    EXPECT_EQ(VswrTextFromPacked(VswrPacked[1]), "0,5");
    EXPECT_EQ(VswrTextFromPacked(QChar(35)), "3,5");
    EXPECT_EQ(VswrTextFromPacked(QChar(u'z')), "???");
}

TEST(VerdictTest, EachTestJudgesItsOwnDigits) {
    // The self-test reads digits 1-5, test 2 digits 1-4, test 3 digit 1 and digit 7.
    const struct {
        int test;
        const char* code;
        bool norma;
    } cases[] = {{1, "0000050", true}, {1, "0000100", false}, {2, "0000100", true}, {2, "0001000", false},
                 {3, "0100000", true}, {3, "0000003", false}, {3, "1000000", false}};
    for (const auto& c : cases)
        EXPECT_EQ(c.test == 1 ? SelfTestNorma(c.code) : RadioTestNorma(c.test, c.code), c.norma)
            << c.test << " " << c.code;
}

TEST_F(ResultRenderTest, FlagTexts) {
    EXPECT_EQ(FlagText('0'), "0");
    EXPECT_EQ(FlagText('1'), "Брак:1");
    EXPECT_EQ(FlagText('2'), "Норма:2");
    EXPECT_EQ(FlagText('A'), "Брак:A");
}

TEST_F(ResultRenderTest, RadioTestDeviationLinesAndUnmeasuredBands) {
    // Thresholds: upper 31 32 33, lower 34 35 36.
    QList<TResultLine> l = RadioTestLines(2, "0002000", "");
    ASSERT_EQ(l.size(), 6);
    EXPECT_EQ(l[0], (TResultLine{"Норма ", ResultGreen}));
    EXPECT_EQ(l[1].Text, "Норма МВ");
    EXPECT_EQ(l[3], (TResultLine{"Девиация  больше 3,1 кГц", ResultRed})) << "empty band, two blanks";

    l = RadioTestLines(2, "0000330", "");
    EXPECT_EQ(l[4].Text, "Девиация МВ меньше 3,5 кГц");
    EXPECT_EQ(l[5].Text, "Девиация ГМВ меньше 3,6 кГц");

    l = RadioTestLines(2, "1000000", "");
    EXPECT_EQ(l[0], (TResultLine{"Брак ", ResultRed}));
    EXPECT_EQ(l[3], (TResultLine{"Девиация не измерялась ", ResultRed}));

    l = RadioTestLines(3, "0000005", "");
    ASSERT_EQ(l.size(), 4);
    EXPECT_EQ(l[3], (TResultLine{"Код теста 1 р/с: 5", ResultBlack}));
}

TEST_F(ResultRenderTest, RadioTestBlockedBandsByTheServiceWord) {
    QList<TResultLine> l = RadioTestLines(2, "0010200", "02111111");
    EXPECT_EQ(l[1], (TResultLine{"Заблокирован МВ", ResultBlack}));
    EXPECT_EQ(l[4], (TResultLine{"Заблокирован МВ", ResultBlack}));
    EXPECT_EQ(l[2].Text, "Брак ГМВ");
    EXPECT_EQ(l[5].Text, "Девиация не измерялась ГМВ") << "an unmeasured band is never shown as blocked";

    l = RadioTestLines(2, "0000000", "06111111");
    for (int i : {1, 2, 4, 5})
        EXPECT_TRUE(l[i].Text.startsWith("Заблокирован")) << i;
    EXPECT_EQ(l[0].Text, "Норма ");
}

TEST_F(ResultRenderTest, CodesThatAreNotResultCodesNeverBreakARenderer) {
    for (const char* code : {"12", "XYZ1234", "12345678", " ", "00000G0"}) {
        EXPECT_EQ(SelfTestLines(code).size(), 1) << code;
        EXPECT_EQ(SelfTestLines(code)[0].Color, ResultRed);
        EXPECT_EQ(RadioTestLines(2, code, "01111111").size(), 1) << code;
    }
    EXPECT_TRUE(SelfTestLines("").isEmpty());
    EXPECT_EQ(RadioTestLines(2, "?", ""), (QList<TResultLine>{{"Нет ответа", ResultRed}}));
    // Values the station does not define still make a red line.
    const QList<TResultLine> l = RadioTestLines(2, "7000F00", "");
    EXPECT_EQ(l[0].Color, ResultRed);
    EXPECT_TRUE(l[0].Text.contains("7"));
    EXPECT_EQ(l[4].Color, ResultRed);
    EXPECT_TRUE(IsResultCode("abcdef0"));
}

TEST_F(ResultRenderTest, RadioResultIsMarkedShownAndTheBusyEventClosesItAfterASecond) {
    int closed = 0;
    const auto before = SetResultPanelCloser([&] { ++closed; });
    QTextDocument doc;
    ShowRadioTestResult(2, "0000000", "", &doc);
    EXPECT_TRUE(ResultShown);
    EXPECT_EQ(ResultShownAt, clock_.Now());
    EXPECT_EQ(doc.blockCount(), 6);

    clock_.Advance(1000);
    CloseShownResultOnBusy();
    EXPECT_EQ(closed, 0) << "one second exactly is not after a second";
    clock_.Advance(1);
    CloseShownResultOnBusy();
    EXPECT_EQ(closed, 1);
    ResultShown = false;
    CloseShownResultOnBusy();
    EXPECT_EQ(closed, 1);
    SetResultPanelCloser(before);
}

} // namespace
