// Dates as text: the system's short format until the first record selection, then
// day/month/two-digit year with the system's separator; station patterns.
#include "platform/DateFormat.h"

#include <gtest/gtest.h>

namespace {

class DateFormatTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetProgramLocale(QLocale::c());
        ResetShortDateFormat();
    }
    const QDateTime moment_{QDate(2026, 12, 6), QTime(0, 12, 7, 45)};
};

TEST_F(DateFormatTest, ShortFormatIsTheSystemsUntilSwitchedForTheRun) {
    SetProgramLocale(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(DateToStr(moment_.date()), "06.12.2026");
    EXPECT_EQ(DateTimeToStr(moment_), "06.12.2026 00:12:07");
    UseShortDateFormatDdMmYy();
    EXPECT_EQ(ShortDateFormat(), "dd.MM.yy");
    EXPECT_EQ(DateToStr(moment_.date()), "06.12.26");
    EXPECT_EQ(DateTimeToStr(moment_), "06.12.26 00:12:07");

    SetProgramLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(DateToStr(QDate(2026, 3, 9)), "09/03/26") << "the system's separator";
    ResetShortDateFormat();
    EXPECT_EQ(DateToStr(QDate(2026, 3, 9)), "3/9/26");

    SetProgramLocale(QLocale::c()); // a system without a locale reads as Russian
    EXPECT_EQ(DateToStr(QDate(2026, 3, 9)), "09.03.2026");
    EXPECT_TRUE(DateToStr(QDate()).isEmpty());
    EXPECT_TRUE(TimeToStr(QTime()).isEmpty());
    EXPECT_TRUE(DateTimeToStr(QDateTime()).isEmpty());
}

TEST_F(DateFormatTest, StationPatternsUseTheSystemsSeparators) {
    EXPECT_EQ(FormatDateTime("Распечатано dd/mm/yy в hh:nn", moment_), "Распечатано 06.12.26 в 00:12");
    EXPECT_EQ(FormatDateTime("dd.mm.yy", moment_), "06.12.26");
    EXPECT_EQ(FormatDateTime("hh:mm", moment_), "00:12") << "mm after an hour is minutes";
    EXPECT_EQ(FormatDateTime("d.m.yyyy h:n:s.zzz", moment_), "6.12.2026 0:12:7.045");
    EXPECT_EQ(FormatDateTime("hh:nn:ss z", QDateTime(QDate(2026, 1, 2), QTime(13, 5, 9, 7))), "13:05:09 7");
    // "m" right after an hour is minutes; after anything else it is the month again.
    const QDateTime t(QDate(2026, 3, 9), QTime(9, 7, 5, 4));
    EXPECT_EQ(FormatDateTime("hh:mm mm|h ss m|h zzz m|h d m|h yy m|h n m|h:m", t),
              "09:07 03|9 05 3|9 004 3|9 9 3|9 26 3|9 7 3|9:7");
    SetProgramLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FormatDateTime("dd/mm/yy hh:nn", moment_), "06/12/26 00:12");
}

} // namespace
