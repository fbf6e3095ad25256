// The banded report layer: page flow, hooks, prepared pages and the PDF it writes.
#include "journal/report/ReportLayer.h"
#include "PdfText.h"

#include <QFileInfo>
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
    EXPECT_EQ(starts_.size(), report_.PageCount());
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
    EXPECT_TRUE(report_.PageTexts(report_.PageCount() - 1).contains("строка 60"));
}

TEST_F(ReportLayerTest, HooksRunOncePerBandAndPagesArePreparedOnce) {
    Rows(5);
    auto* box = detail_->AddRichText(QRectF(50, 0, 100, 10));
    int calls = 0;
    detail_->BeforePrint = [&](TReportBand&, const TReportContext& c) {
        ++calls;
        box->Document()->setPlainText("пояснение " + c.Value("n").toString());
        return c.RowIndex != 2; // the third row is left out
    };
    report_.Prepare();
    EXPECT_EQ(calls, 5);
    const QStringList t = report_.PageTexts(0);
    EXPECT_TRUE(t.contains("пояснение строка 2"));
    EXPECT_FALSE(t.contains("строка 3"));
    EXPECT_FALSE(t.contains("пояснение строка 3"));

    report_.ExportPdf(dir_.filePath("a.pdf"));
    report_.ExportPdf(dir_.filePath("b.pdf"));
    EXPECT_EQ(calls, 5) << "printing again replays the prepared pages";
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
    for (const TPreparedItem& item : report_.Pages()[0].Items)
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

TEST(ReportFileTest, UnwritablePdfIsAnError) {
    TReport r;
    r.AddBand(TBandKind::Title, 10)->AddLabel("x", QRectF(0, 0, 10, 5));
    EXPECT_ANY_THROW(r.ExportPdf("/proc/nonexistent/dir/r.pdf"));
}

} // namespace
