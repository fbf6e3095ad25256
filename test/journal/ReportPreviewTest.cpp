// The preview of a report of any size: it opens on the first page having read that page's
// rows only, pages and zooms, and prints page by page with a progress dialog that stops.
#include "journal/report/ReportPreview.h"
#include "PdfText.h"
#include "journal/report/ReportLayer.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// A journal's worth of rows made up as they are read; a hook may run at each read.
class TMadeRows : public TReportRowSource {
public:
    explicit TMadeRows(int n) : n_(n) {}
    int Count() override { return n_; }
    QList<TRow> Rows(int first, int count) override {
        ++Reads;
        if (OnRead)
            OnRead(first);
        QList<TRow> rows;
        for (int i = first; i < std::min(n_, first + count); ++i)
            rows.append({QString("строка %1").arg(i + 1)});
        return rows;
    }
    int Reads = 0;
    std::function<void(int first)> OnRead;

private:
    int n_;
};

class ReportPreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        auto* header = report_.AddBand(TBandKind::PageHeader, 10);
        header->AddPageNumber("Страница:%1", QRectF(0, 0, 60, 6));
        report_.AddBand(TBandKind::Title, 10)->AddLabel("Заголовок", QRectF(0, 0, 120, 6));
        report_.AddBand(TBandKind::Detail, 6)->AddField("n", QRectF(0, 0, 60, 6));
        report_.Data.Columns = {"n"};
    }
    void Rows(int n) {
        rows_ = std::make_shared<TMadeRows>(n);
        report_.Data.Source = rows_;
    }
    QTemporaryDir dir_;
    TReport report_;
    std::shared_ptr<TMadeRows> rows_;
};

// Whether a widget's image has something other than white and the page's surround on it.
bool HasInk(QWidget* w) {
    const QImage image = w->grab().toImage();
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if (qGray(image.pixel(x, y)) < 60)
                return true;
    return false;
}

TEST_F(ReportPreviewTest, OpensOnTheFirstPageAndPagesThroughAMillionRows) {
    Rows(1'000'000);
    TReportPreview preview(report_);
    preview.show();
    QApplication::processEvents();
    const int pages = report_.PageCount();
    ASSERT_GT(pages, 30'000);
    EXPECT_EQ(preview.lPages->text(), QString("из %1").arg(pages));
    EXPECT_EQ(preview.ePage->maximum(), pages);
    EXPECT_LE(rows_->Reads, 1) << "the first page's rows only";
    EXPECT_TRUE(HasInk(preview.View));
    EXPECT_FALSE(preview.bPrior->isEnabled());
    EXPECT_TRUE(preview.grab().save(QString(VESK_BINARY_DIR) + "/report-preview.png"));

    preview.bLast->click();
    EXPECT_EQ(preview.CurrentPage(), pages - 1);
    EXPECT_EQ(preview.ePage->value(), pages);
    EXPECT_FALSE(preview.bNext->isEnabled());
    EXPECT_TRUE(report_.PageTexts(pages - 1).contains(QString("Страница:%1").arg(pages)));
    EXPECT_TRUE(report_.PageTexts(pages - 1).contains("строка 1000000"));
    preview.ePage->setValue(12345);
    EXPECT_EQ(preview.CurrentPage(), 12344);
    preview.bPrior->click();
    EXPECT_EQ(preview.ePage->value(), 12344);
    QApplication::processEvents();
    EXPECT_LE(rows_->Reads, 8) << "only the pages shown were read";

    // The controls keep their texts whole, seven-digit page counts too.
    for (QLabel* l : {preview.lPages, preview.lZoom})
        EXPECT_GE(l->width(), l->sizeHint().width()) << l->text().toStdString();
    EXPECT_GE(preview.ePage->width(), preview.ePage->sizeHint().width());

    // Every button shows a picture or a sign.
    for (const QAbstractButton* b : preview.findChildren<QAbstractButton*>())
        EXPECT_TRUE(!b->icon().isNull() || !b->text().trimmed().isEmpty()) << b->objectName().toStdString();

    const QSize before = preview.View->size();
    preview.bZoomIn->click();
    EXPECT_GT(preview.View->width(), before.width());
    EXPECT_EQ(preview.lZoom->text(), QString("%1 %").arg(qRound(preview.View->Zoom() * 100)));
    for (int i = 0; i < 20; ++i)
        preview.bZoomOut->click();
    EXPECT_FALSE(preview.bZoomOut->isEnabled()) << "the zoom has a floor";
}

TEST_F(ReportPreviewTest, PrintsToPdfWithTheWindowAnswering) {
    if (!HavePdfToText())
        GTEST_SKIP() << "pdftotext is not installed";
    Rows(2000);
    TReportPreview preview(report_);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageLayout(report_.PageLayout);
    const QString path = dir_.filePath("all.pdf");
    printer.setOutputFileName(path);
    // The event loop runs between the pages: a timer set off while the first page is
    // printed fires while pages are left. Each page takes a few milliseconds here, as a
    // real one does.
    bool answered = false;
    int readsWhenAnswered = -1;
    rows_->OnRead = [&](int) {
        QThread::msleep(2);
        if (rows_->Reads == 1)
            QTimer::singleShot(0, [&] {
                answered = true;
                readsWhenAnswered = rows_->Reads;
            });
    };
    EXPECT_TRUE(preview.PrintTo(printer));
    EXPECT_TRUE(answered);
    EXPECT_LT(readsWhenAnswered, report_.PageCount()) << "the timer fired while pages were left";
    const QString text = PdfText(path);
    EXPECT_TRUE(text.contains("строка 2000"));
    EXPECT_TRUE(text.contains(QString("Страница:%1").arg(report_.PageCount())));
}

TEST_F(ReportPreviewTest, OtmenaStopsThePrintAndLeavesNoFile) {
    Rows(1'000'000);
    TReportPreview preview(report_);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString path = dir_.filePath("stopped.pdf");
    printer.setOutputFileName(path);
    // The operator presses "Отмена" once the tenth page is being printed.
    rows_->OnRead = [&](int first) {
        if (first < report_.PageRows(9).first)
            return;
        auto* progress = preview.findChild<QProgressDialog*>("PrintProgress");
        ASSERT_NE(progress, nullptr);
        auto* cancel = progress->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->text(), "Отмена");
        EXPECT_EQ(progress->maximum(), report_.PageCount());
        progress->cancel();
    };
    EXPECT_FALSE(preview.PrintTo(printer));
    EXPECT_LT(rows_->Reads, 1000) << "stopped soon after Отмена";
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(ReportPreviewTest, UnreadableRowsAreReportedNotThrownIntoTheWindow) {
    Rows(1000);
    QStringList errors;
    SetDialogHook([&](const TDialogRecord& d, QWidget*) {
        errors.append(d.Text);
        return int(mrOk);
    });
    TReportPreview preview(report_);
    rows_->OnRead = [](int first) {
        if (first > 0)
            throw EVeskError("файл журнала поврежден");
    };
    preview.show();
    QApplication::processEvents();
    EXPECT_TRUE(errors.isEmpty()) << "the first page was read";
    preview.bNext->click();
    preview.View->grab();
    QApplication::processEvents();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], "Не удалось подготовить страницу отчета 2: файл журнала поврежден");

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString path = dir_.filePath("broken.pdf");
    printer.setOutputFileName(path);
    EXPECT_FALSE(preview.PrintTo(printer));
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors[1], "Печать отчета прервана на странице 2: файл журнала поврежден");
    EXPECT_FALSE(QFileInfo::exists(path));

    printer.setOutputFileName("/proc/nonexistent/report.pdf");
    EXPECT_FALSE(preview.PrintTo(printer));
    ASSERT_EQ(errors.size(), 3);
    EXPECT_EQ(errors[2], "Не удалось записать файл /proc/nonexistent/report.pdf");
    SetDialogHook(nullptr);
}

TEST(ReportIconTest, TheReportButtonsShowAPictureNotABlankPage) {
    const QImage image = ReportIcon().pixmap(32, 32).toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255)
                colours.insert(image.pixel(x, y));
    EXPECT_GE(colours.size(), 4) << "sheet, ink, body and lamp";
}

} // namespace
