// The banded report layer: page flow, hooks, prepared pages and the PDF it writes.
#include "journal/report/ReportLayer.h"
#include "PdfText.h"

#include <QFileInfo>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

class ReportLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        report_.Title = "Проба";
        auto* header = report_.AddBand(TBandKind::PageHeader, 10);
        header->AddLabel("Заголовок страницы", QRectF(0, 0, 120, 6));
        header->AddPageNumber("Страница %1 из %2", QRectF(200, 0, 60, 6));
        report_.AddBand(TBandKind::Title, 10)->AddLabel("Только на первой", QRectF(0, 0, 120, 6));
        report_.AddBand(TBandKind::ColumnHeader, 8)->AddLabel("Номер", QRectF(0, 0, 40, 6));
        detail_ = report_.AddBand(TBandKind::Detail, 10);
        detail_->AddField("n", QRectF(0, 0, 40, 6));
        report_.Data.Columns = {"n"};
        report_.OnStartPage = [this](int page) { starts_.append(page); };
    }
    void Rows(int n) {
        for (int i = 1; i <= n; ++i)
            report_.Data.Rows.append({QString("строка %1").arg(i)});
    }
    QTemporaryDir dir_;
    TReport report_;
    TReportBand* detail_ = nullptr;
    QList<int> starts_;
};

TEST_F(ReportLayerTest, RowsFlowOverPagesWithHeadersInTheirPlaces) {
    Rows(60);
    report_.Prepare();
    ASSERT_GE(report_.PageCount(), 3);
    int rows = 0;
    for (int p = 0; p < report_.PageCount(); ++p) {
        const QStringList t = report_.PageTexts(p);
        EXPECT_EQ(t.value(0), "Заголовок страницы") << p;
        EXPECT_EQ(t.value(1), QString("Страница %1 из %2").arg(p + 1).arg(report_.PageCount()));
        EXPECT_EQ(t.contains("Только на первой"), p == 0) << p;
        EXPECT_TRUE(t.contains("Номер")) << p;
        for (const QString& s : t)
            rows += s.startsWith("строка ");
    }
    EXPECT_EQ(rows, 60);
    EXPECT_EQ(starts_.size(), report_.PageCount());
    EXPECT_TRUE(report_.PageTexts(report_.PageCount() - 1).contains("строка 60"));
}

// Rows counted and read as a journal gives them, with the reads recorded.
class TCountingRows : public TReportRowSource {
public:
    explicit TCountingRows(int n) : n_(n) {}
    int Count() override { return n_; }
    QList<TRow> Rows(int first, int count) override {
        Reads.append({first, count});
        QList<TRow> rows;
        for (int i = first; i < std::min(n_, first + count); ++i)
            rows.append({QString("строка %1").arg(i + 1)});
        return rows;
    }
    QList<QPair<int, int>> Reads;

private:
    int n_;
};

TEST_F(ReportLayerTest, APageIsLaidOutWhenAskedFromItsOwnRows) {
    auto source = std::make_shared<TCountingRows>(1'000'000);
    report_.Data.Source = source;
    report_.Prepare();
    EXPECT_TRUE(starts_.isEmpty()) << "counting the pages lays none out";
    EXPECT_TRUE(source->Reads.isEmpty());
    // A4 landscape, 196 mm: 16 rows under the first page's 28 mm of headers, 17 under 18 mm.
    ASSERT_EQ(report_.PageCount(), 1 + (1'000'000 - 16 + 16) / 17);
    EXPECT_EQ(report_.PageRows(0), qMakePair(0, 16));
    EXPECT_EQ(report_.PageRows(1), qMakePair(16, 17));
    EXPECT_EQ(report_.PageRows(report_.PageCount() - 1), qMakePair(16 + 17 * (report_.PageCount() - 2), 10));

    // Pages that end full, and a last page of one row.
    for (const auto& [rows, pages] : {std::pair{16, 1}, {17, 2}, {16 + 17, 2}, {16 + 17 * 2 + 1, 4}}) {
        TReport r;
        r.AddBand(TBandKind::PageHeader, 10);
        r.AddBand(TBandKind::Title, 10);
        r.AddBand(TBandKind::ColumnHeader, 8);
        r.AddBand(TBandKind::Detail, 10)->AddField("n", QRectF(0, 0, 40, 6));
        r.Data.Source = std::make_shared<TCountingRows>(rows);
        r.Prepare();
        EXPECT_EQ(r.PageCount(), pages) << rows;
        EXPECT_EQ(r.PageRows(pages - 1).first + r.PageRows(pages - 1).second, rows);
    }

    const int last = report_.PageCount() - 1;
    const QStringList t = report_.PageTexts(last);
    EXPECT_EQ(t.value(1), QString("Страница %1 из %1").arg(last + 1));
    EXPECT_EQ(t.last(), "строка 1000000");
    EXPECT_EQ(source->Reads, (QList<QPair<int, int>>{report_.PageRows(last)}));
    EXPECT_EQ(starts_, QList<int>{last + 1});

    // Only the last few pages stay laid out: a page asked again after others is laid out again.
    for (int p = 0; p < TReport::KeptPages; ++p)
        report_.Page(p);
    report_.Page(last);
    EXPECT_EQ(starts_.size(), TReport::KeptPages + 2);
    report_.Page(TReport::KeptPages - 1);
    EXPECT_EQ(starts_.size(), TReport::KeptPages + 2) << "a kept page is not laid out again";
}

TEST_F(ReportLayerTest, PrintingStopsWhenAskedAndLeavesNoFile) {
    Rows(200);
    const QString path = dir_.filePath("stopped.pdf");
    QList<int> done;
    EXPECT_FALSE(report_.ExportPdf(path, [&](int page, int total) {
        done.append(page);
        EXPECT_EQ(total, report_.PageCount());
        return page < 2;
    }));
    EXPECT_EQ(done, (QList<int>{1, 2}));
    EXPECT_FALSE(QFileInfo::exists(path)) << "a document cut short is removed";

    EXPECT_TRUE(report_.ExportPdf(path, [](int, int) { return true; }));
    EXPECT_TRUE(QFileInfo(path).size() > 0);

    // On a printer as well.
    done.clear();
    QPdfWriter writer(dir_.filePath("printer.pdf"));
    EXPECT_FALSE(report_.Print(&writer, [&](int page, int) {
        done.append(page);
        return page < 3;
    }));
    EXPECT_EQ(done, (QList<int>{1, 2, 3}));
    done.clear();
    QPdfWriter all(dir_.filePath("all.pdf"));
    EXPECT_TRUE(report_.Print(&all, [&](int page, int) {
        done.append(page);
        return true;
    }));
    EXPECT_EQ(done.size(), report_.PageCount());
}

TEST_F(ReportLayerTest, APrintersPageRangeLimitsThePages) {
    if (!HavePdfToText())
        GTEST_SKIP() << "pdftotext is not installed";
    Rows(100);
    const QString path = dir_.filePath("range.pdf");
    {
        QPdfWriter writer(path);
        writer.setPageLayout(report_.PageLayout);
        QPageRanges ranges;
        ranges.addRange(2, 3);
        writer.setPageRanges(ranges);
        EXPECT_TRUE(report_.Print(&writer));
    }
    const QString text = PdfText(path);
    EXPECT_FALSE(text.contains("Страница 1 из"));
    EXPECT_TRUE(text.contains(QString("Страница 2 из %1").arg(report_.PageCount())));
    EXPECT_TRUE(text.contains("Страница 3 из"));
    EXPECT_FALSE(text.contains("Страница 4 из"));
}

TEST_F(ReportLayerTest, HooksRunOncePerBandAndALeftOutBandKeepsItsPlace) {
    Rows(5);
    auto* box = detail_->AddRichText(QRectF(50, 0, 100, 10));
    int calls = 0;
    detail_->BeforePrint = [&](TReportBand&, const TReportContext& c) {
        ++calls;
        box->Document()->setPlainText("пояснение " + c.Value("n").toString());
        return c.RowIndex != 2; // the third row is left out
    };
    report_.Prepare();
    const QStringList t = report_.PageTexts(0);
    EXPECT_EQ(calls, 5);
    EXPECT_TRUE(t.contains("пояснение строка 2"));
    EXPECT_FALSE(t.contains("строка 3"));
    EXPECT_FALSE(t.contains("пояснение строка 3"));
    double second = 0, fourth = 0;
    for (const TPreparedItem& item : report_.Page(0).Items) {
        second = item.Text == "строка 2" ? item.Rect.top() : second;
        fourth = item.Text == "строка 4" ? item.Rect.top() : fourth;
    }
    EXPECT_DOUBLE_EQ(fourth - second, 2 * detail_->Height) << "the rows keep their places";

    report_.ExportPdf(dir_.filePath("a.pdf"));
    report_.ExportPdf(dir_.filePath("b.pdf"));
    EXPECT_EQ(calls, 5) << "printing a kept page replays it";
    EXPECT_GT(QFileInfo(dir_.filePath("b.pdf")).size(), 0);
}

TEST_F(ReportLayerTest, FramedBandsAreRuledOnTheirSides) {
    Rows(2);
    detail_->Frame = FrameLeft | FrameRight | FrameBottom;
    detail_->FrameX = 20;
    detail_->FrameWidth = 100;
    report_.Band(TBandKind::ColumnHeader)->Frame = FrameTop | FrameBottom; // the page's width
    report_.Prepare();
    QList<QRectF> rules;
    for (const TPreparedItem& item : report_.Page(0).Items)
        if (item.IsLine)
            rules.append(item.Rect);
    const double width = report_.PageLayout.paintRect(QPageLayout::Millimeter).width();
    // Header band at 20 mm (after the page header and the title), 8 mm high; rows of 10 mm.
    EXPECT_EQ(rules,
              (QList<QRectF>{
                  QRectF(QPointF(0, 20), QPointF(width, 20)), QRectF(QPointF(0, 28), QPointF(width, 28)),
                  QRectF(QPointF(20, 38), QPointF(120, 38)), QRectF(QPointF(20, 28), QPointF(20, 38)),
                  QRectF(QPointF(120, 28), QPointF(120, 38)), QRectF(QPointF(20, 48), QPointF(120, 48)),
                  QRectF(QPointF(20, 38), QPointF(20, 48)), QRectF(QPointF(120, 38), QPointF(120, 48))}));
    EXPECT_FALSE(report_.PageTexts(0).contains(QString())) << "rules are no texts";
}

TEST_F(ReportLayerTest, EmptyDataPrintsTheHeadersOnlyWhenAskedTo) {
    report_.Prepare();
    EXPECT_EQ(report_.PageCount(), 1);
    EXPECT_TRUE(report_.PageTexts(0).contains("Только на первой"));

    TReport silent;
    silent.PrintIfEmpty = false;
    silent.AddBand(TBandKind::PageHeader, 10)->AddLabel("x", QRectF(0, 0, 10, 5));
    silent.Prepare();
    EXPECT_EQ(silent.PageCount(), 0);
}

TEST_F(ReportLayerTest, PdfHoldsTheTextsAndTheRichTextBoxIsClipped) {
    if (!HavePdfToText())
        GTEST_SKIP() << "pdftotext is not installed";
    Rows(2);
    auto* box = report_.Band(TBandKind::Title)->AddRichText(QRectF(130, 0, 120, 9));
    QTextCursor c(box->Document());
    for (int i = 1; i <= 30; ++i)
        c.insertText(QString("Пункт%1\n").arg(i));
    const QString path = dir_.filePath("r.pdf");
    report_.ExportPdf(path);
    const QString text = PdfText(path);
    EXPECT_TRUE(text.contains("Заголовок страницы")) << text.toStdString();
    EXPECT_TRUE(text.contains("Страница 1 из 1"));
    EXPECT_TRUE(text.contains("строка 2"));
    EXPECT_TRUE(text.contains("Пункт1"));
    EXPECT_FALSE(text.contains("Пункт30")) << "lines below the box are not printed";
}

TEST(ReportQueryTest, RowsStayInTheDatabaseAndComeInTheQuerysOrder) {
    QTemporaryDir dir;
    const QList<TFieldDef> fields{{"n", TFieldType::String, 10}};
    {
        TTable t(dir.path(), "Nums.db", fields);
        t.OpenOrCreate();
        t.Database().transaction();
        for (int i = 1; i <= 1000; ++i)
            t.Append({QString::number(i)});
        t.Database().commit();
    }
    TReportQuery q(dir.path(), "Nums.db", fields);
    q.SQL = {"select * from Nums", "where cast(n as integer) % 2 = 0", "order by cast(n as integer) desc"};
    q.Open();
    EXPECT_TRUE(q.Data().Rows.isEmpty()) << "no row is held in memory";
    EXPECT_EQ(q.Data().Columns, QStringList{"n"});
    ASSERT_EQ(q.Data().RowCount(), 500);
    EXPECT_EQ(q.Data().RowsAt(0, 2), (QList<TRow>{{"1000"}, {"998"}}));
    EXPECT_EQ(q.Data().RowsAt(498, 10), (QList<TRow>{{"4"}, {"2"}}));

    const TReportData kept = q.Data();
    q.Close();
    EXPECT_EQ(kept.RowCount(), 0) << "closed: the rows are gone";
    q.SQL = {"select * from Nowhere"};
    EXPECT_ANY_THROW(q.Open());
}

TEST(ReportFileTest, UnwritablePdfIsAnError) {
    TReport r;
    r.AddBand(TBandKind::Title, 10)->AddLabel("x", QRectF(0, 0, 10, 5));
    EXPECT_ANY_THROW(r.ExportPdf("/proc/nonexistent/dir/r.pdf"));
}

} // namespace
