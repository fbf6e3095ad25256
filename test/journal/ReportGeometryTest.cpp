// Every printed report read back from its PDF with the places of its words: nothing outside
// the page's margins, the bands in their order on the first and on a later page, and the
// columns of each report side by side with their values under their captions.
#include "PdfText.h"
#include "journal/ResultJournal.h"
#include "journal/ResultReports.h"
#include "journal/TQRRV.h"
#include "journal/TfBlockNumRep.h"
#include "platform/Clock.h"
#include "platform/DateFormat.h"
#include "runs/JournalWriters.h"
#include "runs/TestState.h"
#include "state/UVesk.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr double MarginPt = 7 * 72 / 25.4; // the reports' 7 mm margins

std::string Where(const TPdfWord& w) {
    return QString("\"%1\" at %2,%3-%4,%5")
        .arg(w.Text)
        .arg(w.Box.left())
        .arg(w.Box.top())
        .arg(w.Box.right())
        .arg(w.Box.bottom())
        .toStdString();
}

// Every word of every page stands inside the margins.
void ExpectInsideMargins(const QList<TPdfPage>& pages) {
    for (int p = 0; p < pages.size(); ++p) {
        const QRectF inside =
            QRectF(QPointF(0, 0), pages[p].Size).adjusted(MarginPt, MarginPt, -MarginPt, -MarginPt);
        for (const TPdfWord& w : pages[p].Words)
            EXPECT_TRUE(inside.adjusted(-0.5, -0.5, 0.5, 0.5).contains(w.Box))
                << "page " << p + 1 << ": " << Where(w) << " outside the margins";
    }
}

// The words stand one below the other, in this order.
void ExpectTopToBottom(const TPdfPage& page, const QStringList& words) {
    QRectF above;
    for (const QString& text : words) {
        const QRectF box = page.Find(text);
        ASSERT_FALSE(box.isNull()) << "no \"" << text.toStdString() << "\"";
        if (!above.isNull()) {
            EXPECT_GE(box.top(), above.bottom() - 0.5) << "\"" << text.toStdString() << "\" is not below";
        }
        above = box;
    }
}

// Captions from left to right, each value under its caption, overlapping it across.
void ExpectColumns(const TPdfPage& page, const QList<QPair<QString, QString>>& columns) {
    double left = -1;
    for (const auto& [caption, value] : columns) {
        const QRectF c = page.Find(caption);
        ASSERT_FALSE(c.isNull()) << "no caption \"" << caption.toStdString() << "\"";
        const QRectF v = page.Find(value, c.bottom() - 0.5);
        ASSERT_FALSE(v.isNull()) << "no value \"" << value.toStdString() << "\" under its caption";
        EXPECT_GT(c.left(), left) << "\"" << caption.toStdString() << "\" out of order";
        EXPECT_TRUE(v.left() < c.right() && v.right() > c.left())
            << "\"" << value.toStdString() << "\" not under \"" << caption.toStdString() << "\"";
        left = c.left();
    }
}

// Each caption of an expanded block is followed on its line by its value.
void ExpectPairs(const TPdfPage& page, const QList<QPair<QString, QString>>& pairs) {
    for (const auto& [caption, value] : pairs) {
        const QRectF c = page.Find(caption);
        const QRectF v = page.Find(value, c.top() - 1);
        ASSERT_FALSE(c.isNull() || v.isNull()) << caption.toStdString() << " " << value.toStdString();
        EXPECT_NEAR(v.center().y(), c.center().y(), 1) << "\"" << value.toStdString() << "\" off its line";
        EXPECT_GT(v.left(), c.right()) << "\"" << value.toStdString() << "\" not after its caption";
    }
}

class ReportGeometryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        if (!HavePdfToText())
            GTEST_SKIP() << "pdftotext is not installed";
        clock_.SetNow(QDateTime(QDate(2026, 6, 5), QTime(9, 7)));
        SetClock(&clock_);
        ResetTestState();
        SetStartupDefaults();
        MechanicNumber = "4321";
        LocoNumber = "0000123";
        MvChannels[1] = {"101", "102"};
        MvChannels[2] = {"201", "202"};
        MvChannels[3] = {"301", "302"};
    }
    void TearDown() override {
        MechanicNumber.clear();
        SetClock(nullptr);
    }
    // A journal of n rows as a browser hands it to a report.
    TReportData Journal(TJournalKind kind, int n) {
        for (int i = 0; i < n; ++i)
            EXPECT_TRUE(kind == TJournalKind::SelfTest
                            ? AppendTests1Row(folder(), "Тест 1", "0000000", "Норма").Ok
                            : AppendTest23Row(folder(), "Тест 2", "0000000", "Норма", "От ВЕСК").Ok);
        TResultJournal j(kind, folder());
        j.Open();
        TReportData d;
        for (const TFieldDef& f : j.Table().Fields())
            d.Columns.append(f.Name);
        d.Rows = j.FilteredRows();
        return d;
    }
    // The report written to a PDF in the build tree, read back: at least two pages.
    QList<TPdfPage> Print(TReport& r, const QString& name) {
        const QString path = QString(VESK_BINARY_DIR) + "/report-geometry-" + name + ".pdf";
        r.ExportPdf(path);
        const QList<TPdfPage> pages = PdfWords(path);
        EXPECT_GE(pages.size(), 2) << name.toStdString();
        ExpectInsideMargins(pages);
        return pages;
    }
    QString folder() const { return dir_.path() + "/"; }
    QTemporaryDir dir_;
    TFakeClock clock_;
};

TEST_F(ReportGeometryTest, CompactReportsHaveTheirColumnsUnderTheHeaders) {
    {
        TFReport r(nullptr, Journal(TJournalKind::SelfTest, 40));
        EXPECT_EQ(r.objectName(), "FReport");
        const auto pages = Print(*r.QuickRep1, "FReport");
        ASSERT_GE(pages.size(), 2);
        ExpectTopToBottom(pages[0], {"Страница:1", "Результаты", "Режим", "Тест"});
        ExpectTopToBottom(pages[1], {"Страница:2", "Режим", "Тест"});
        EXPECT_TRUE(pages[1].Find("Результаты").isNull()) << "the title on the first page only";
        ExpectColumns(pages[0], {{"Дата, время", "05.06.26"},
                                 {"Режим", "Тест"},
                                 {"Механик", "4321"},
                                 {"Итог", "Норма"},
                                 {"Код", "0000000"},
                                 {"Служебное", "01111111"},
                                 {"ПРМ-1", "101"},
                                 {"ПРД-1", "102"},
                                 {"ПРМ-2", "201"},
                                 {"ПРД-2", "202"},
                                 {"ПРМ-3", "301"},
                                 {"ПРД-3", "302"}});
    }
    {
        TFReport23 r(nullptr, Journal(TJournalKind::RadioTest, 40));
        EXPECT_EQ(r.objectName(), "FReport23");
        const auto pages = Print(*r.QuickRep1, "FReport23");
        ASSERT_GE(pages.size(), 2);
        ExpectTopToBottom(pages[0], {"Страница:1", "Результаты", "Режим", "Тест"});
        ExpectTopToBottom(pages[1], {"Страница:2", "Режим", "Тест"});
        ExpectColumns(pages[0], {{"Дата", "05.06.26"},
                                 {"Время", "09:07"},
                                 {"Режим", "Тест"},
                                 {"Направ-", "От"},
                                 {"Механик", "4321"},
                                 {"Поезд", "1234"},
                                 {"Локомо-", "0000123"},
                                 {"Итог", "Норма"},
                                 {"Код", "0000000"}});
    }
}

TEST_F(ReportGeometryTest, ExpandedReportsPutEachValueAfterItsCaption) {
    {
        TFReportR1 r(nullptr, Journal(TJournalKind::SelfTest, 10));
        EXPECT_EQ(r.objectName(), "FReportR1");
        const auto pages = Print(*r.QuickRep1, "FReportR1");
        ASSERT_GE(pages.size(), 2);
        ExpectTopToBottom(pages[0], {"Страница:1", "Результаты", "Дата,", "Механик:", "Режим:"});
        ExpectTopToBottom(pages[1], {"Страница:2", "Дата,", "Механик:"});
        ExpectPairs(pages[0], {{"Дата, время:", "05.06.26"},
                               {"Механик:", "4321"},
                               {"Режим:", "Тест"},
                               {"результата:", "0000000"},
                               {"слово:", "01111111"}});
    }
    {
        TFReportR2 r(nullptr, Journal(TJournalKind::RadioTest, 10));
        EXPECT_EQ(r.objectName(), "FReportR2");
        const auto pages = Print(*r.QuickRep1, "FReportR2");
        ASSERT_GE(pages.size(), 2);
        ExpectTopToBottom(pages[0], {"Страница:1", "Результаты", "Дата,", "Механик:", "Режим"});
        ExpectPairs(pages[0], {{"Дата, время:", "05.06.26"},
                               {"Механик:", "4321"},
                               {"Поезд:", "1234"},
                               {"Локомотив:", "0000123"},
                               {"результата:", "0000000"}});
    }
}

TEST_F(ReportGeometryTest, AttenuationAndFactoryNumberListsHaveTheirColumns) {
    {
        TReportData d;
        d.Columns = {"Lokomotiv", "OslablenieM", "OslablenieG"};
        for (int i = 0; i < 60; ++i)
            d.Rows.append(TRow{QString("%1").arg(100 + i, 7, 10, QChar('0')), -12, 3});
        TQRRV r(nullptr, d);
        EXPECT_EQ(r.objectName(), "QRRV");
        const auto pages = Print(*r.QuickRep1, "QRRV");
        ASSERT_GE(pages.size(), 2);
        ExpectTopToBottom(pages[0], {"Страница:1", "Данные", "Локомотив", "0000100"});
        ExpectTopToBottom(pages[1], {"Страница:2", "Локомотив"});
        ExpectColumns(pages[0],
                      {{"Локомотив", "0000100"}, {"Ослабление МВ", "-12"}, {"Ослабление ГМВ", "3"}});
    }
    {
        TfBlockNumRep r;
        EXPECT_EQ(r.objectName(), "fBlockNumRep");
        TReportData& d = r.QuickRep1->Data;
        d.Columns = {"Loko",   "Block1", "Block2", "Block3", "Block4", "Block5",
                     "Block6", "Block7", "Block8", "d",      "t"};
        for (int i = 0; i < 60; ++i) {
            TRow row{QString("%1").arg(1000001 + i)};
            for (int b = 1; b <= 8; ++b)
                row << QString("%1").arg(b * 1111111111111111LL + i, 16, 10, QChar('0'));
            row << QDate(2026, 6, 5) << QTime(9, 7);
            d.Rows.append(row);
        }
        const auto pages = Print(*r.QuickRep1, "BlockNum");
        ASSERT_GE(pages.size(), 2);
        ExpectTopToBottom(pages[0], {"Сведения", "Локомотив", "внесения", "1000001"});
        ExpectTopToBottom(pages[1], {"Сведения", pages[1].Words.last().Text});
        // Dates print in the program's short format, which a record selection may have changed.
        QList<QPair<QString, QString>> columns{{"Локомотив", "1000001"},
                                               {"Дата", DateToStr(QDate(2026, 6, 5))},
                                               {"Время", TimeToStr(QTime(9, 7))}};
        QStringList blocks;
        for (int b = 1; b <= 8; ++b) {
            columns.append(
                {QString("Блок%1").arg(b), QString("%1").arg(b * 1111111111111111LL, 16, 10, QChar('0'))});
            blocks << QString("Блок%1").arg(b);
        }
        ExpectColumns(pages[0], columns);
        QStringList captions;
        for (const TPdfWord& w : pages[0].Words)
            if (w.Text.startsWith("Блок"))
                captions << w.Text;
        EXPECT_EQ(captions.join(' ').toStdString(), blocks.join(' ').toStdString());
        // "Дата" and "Время" each have their second caption line right under them.
        for (const QString& caption : {QString("Дата"), QString("Время")}) {
            const QRectF c = pages[0].Find(caption);
            int under = 0;
            for (const TPdfWord& w : pages[0].Words)
                under += w.Text == "внесения" && w.Box.top() >= c.bottom() - 0.5 &&
                         w.Box.top() < c.bottom() + c.height() && w.Box.left() < c.right() &&
                         w.Box.right() > c.left();
            EXPECT_EQ(under, 1) << caption.toStdString();
        }
    }
}

} // namespace
