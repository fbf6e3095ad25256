// The four result reports printed to PDF and read back: titles, column headers, page
// number, the printed-at line of each page and the comments of the expanded blocks.
#include "PdfText.h"
#include "ReportCheck.h"
#include "journal/ResultJournal.h"
#include "journal/ResultReports.h"
#include "journal/report/ReportPreview.h"
#include "platform/Clock.h"
#include "platform/DateFormat.h"
#include "runs/JournalWriters.h"
#include "runs/TestState.h"
#include "state/UVesk.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Each reading of the time of day is half an hour after the one before.
class TTickingClock : public TClock {
public:
    QDateTime Now() const override {
        const QDateTime t = now_;
        now_ = now_.addSecs(1800);
        return t;
    }
    mutable QDateTime now_{QDate(2026, 6, 5), QTime(23, 40)};
};

class ResultReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        if (!HavePdfToText())
            GTEST_SKIP() << "pdftotext is not installed";
        clock_.SetNow(QDateTime(QDate(2026, 6, 5), QTime(9, 7)));
        SetClock(&clock_);
        ResetTestState();
        SetStartupDefaults();
    }
    void TearDown() override { SetClock(nullptr); }
    // The rows of a journal that the writers filled, as a browser hands them to a report.
    TReportData Data(TJournalKind kind) {
        TResultJournal j(kind, folder());
        TReportData d;
        if (!j.Table().Exists())
            return d;
        j.Open();
        for (const TFieldDef& f : j.Table().Fields())
            d.Columns.append(f.Name);
        d.Rows = j.FilteredRows();
        return d;
    }
    QString Print(TReportForm& r) {
        // Kept in the build tree to be looked at.
        const QString path = QString(VESK_BINARY_DIR) + "/report-" + r.objectName() + ".pdf";
        r.QuickRep1->ExportPdf(path);
        ExpectNothingOverlaps(*r.QuickRep1);
        return PdfText(path);
    }
    QString folder() const { return dir_.path() + "/"; }
    QTemporaryDir dir_;
    TFakeClock clock_;
};

TEST_F(ResultReportTest, CompactSelfTestReport) {
    ASSERT_TRUE(AppendTests1Row(folder(), "Тест 1", "0000000", "Норма").Ok);
    ASSERT_TRUE(AppendTests1Row(folder(), "Запись", "", "").Ok);
    TFReport r(nullptr, Data(TJournalKind::SelfTest));
    const QString text = Print(r);
    EXPECT_EQ(r.QuickRep1->PageLayout.orientation(), QPageLayout::Landscape);
    for (const char* s : {"Страница:1",
                          "Распечатано 05.06.26 в 09:07",
                          "Результаты тестирования ВЕСК-4Т",
                          "Дата, время",
                          "Режим",
                          "Механик",
                          "Итог",
                          "Код",
                          "ошибки",
                          "Служебное",
                          "слово",
                          "Номера частот каналов МВ",
                          "ПРМ-1",
                          "ПРД-3",
                          "Пороги девиации",
                          "05.06.26",
                          "09:07",
                          "Тест 1",
                          "Запись",
                          "Норма",
                          "0000000",
                          "01111111"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s << "\n" << text.toStdString();
}

TEST_F(ResultReportTest, CompactTestsReportAndAnEmptyTable) {
    TFReport23 empty(nullptr, Data(TJournalKind::RadioTest));
    QString text = Print(empty);
    EXPECT_EQ(empty.QuickRep1->PageCount(), 1);
    EXPECT_TRUE(text.contains("Страница:1"));
    EXPECT_TRUE(text.contains("Результаты тестирования локомотивных радиостанций"));
    EXPECT_TRUE(text.contains("Прием сообщений"));

    LocoNumber = "0000123";
    ASSERT_TRUE(AppendTest23Row(folder(), "Тест 2", "0000000", "Норма", "От ВЕСК").Ok);
    TFReport23 r(nullptr, Data(TJournalKind::RadioTest));
    text = Print(r);
    EXPECT_EQ(r.QuickRep1->PageLayout.orientation(), QPageLayout::Landscape);
    for (const char* s : {"Дата", "Время", "Направ-", "ление", "Локомо-", "Поезд", "Девиация", "ГМВ",
                          "0000123", "От ВЕСК", "1234", "05.06.26", "09:07"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s << "\n" << text.toStdString();
    EXPECT_FALSE(text.contains("Локомо-тив")) << "the caption stands on two lines";
    EXPECT_TRUE(r.QuickRep1->PageTexts(0).contains("Локомо-\nтив"));
}

TEST_F(ResultReportTest, ExpandedSelfTestBlockShowsTheSavedVswr) {
    MvChannels[1] = {"101", "102"};
    MvChannels[3] = {"301", "302"};
    VswrMv = 3.5;
    VswrGmv = 1.5;
    ShowSelfTestResult("0000000", nullptr);
    ASSERT_TRUE(AppendTests1Row(folder(), "Тест 1", "0000000", "Норма").Ok);
    ASSERT_TRUE(AppendTests1Row(folder(), "Запись", "", "").Ok);
    VswrMv = 2.2;
    VswrPacked = "xy";
    TFReportR1 r(nullptr, Data(TJournalKind::SelfTest));
    const QString text = Print(r);
    EXPECT_EQ(r.QuickRep1->PageLayout.orientation(), QPageLayout::Portrait);
    for (const char* s : {"Результаты тестирования ВЕСК-4Т",
                          "Страница:1",
                          "Распечатано 05.06.26 в 09:07",
                          "Дата, время:",
                          "Механик:",
                          "Режим:",
                          "Код результата:",
                          "Служебное слово:",
                          "Номера частот каналов МВ:",
                          "1: ПРМ=",
                          "ПРД=",
                          "Пороги девиации :",
                          "Верхний",
                          "Нижний",
                          "Результат:",
                          "Норма ЦПУ (ПЗУ)",
                          "КСВ=3,5",
                          "101",
                          "102",
                          "3: ПРМ= 301",
                          "302"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s << "\n" << text.toStdString();
    EXPECT_EQ(VswrMv, 2.2);
    EXPECT_EQ(VswrPacked, "xy");
    // The box is of fixed size: the lines below it are left out.
    EXPECT_FALSE(text.contains("ПШ ГМВ")) << text.toStdString();
}

TEST_F(ResultReportTest, ExpandedTestsBlockAndAPagePerMoment) {
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(AppendTest23Row(folder(), "Тест 2", "0000000", "Норма", "От РВ").Ok);
    TTickingClock ticking;
    SetClock(&ticking);
    TFReportR2 r(nullptr, Data(TJournalKind::RadioTest));
    const QString text = Print(r);
    ASSERT_GE(r.QuickRep1->PageCount(), 2);
    for (const char* s : {"Результаты тестирования локомотвных радиостанций", "Направление :", "Локомотив:",
                          "Девиация ( М,Г):", "Сообщения ГМВ:", "Норма МВ", "Норма девиации ГМВ", "От РВ",
                          "Страница:2", "Распечатано 05.06.26 в 23:40", "Распечатано 06.06.26 в 00:10"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s << "\n" << text.toStdString();
    EXPECT_FALSE(ResultShown) << "printing marks no result as shown";
    // Kept in the build tree to be looked at: the preview of the second page.
    TReportPreview preview(*r.QuickRep1);
    preview.show();
    preview.bNext->click();
    QApplication::processEvents();
    EXPECT_TRUE(preview.grab().save(QString(VESK_BINARY_DIR) + "/report-preview-FReportR2.png"));
}

} // namespace
