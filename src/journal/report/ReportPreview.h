#pragma once
// The print preview of a banded report: one page on screen at a time, laid out when it is
// shown, so that a report of any size opens at once; printing runs page by page with a
// progress dialog that can stop it.

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <functional>

class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;
class QToolButton;
class TReport;

/// A page of a report drawn at a zoom; it renders the page it shows, and that page only.
class TReportPageView : public QWidget {
    Q_OBJECT
public:
    explicit TReportPageView(TReport& report, QWidget* parent = nullptr);
    void SetPage(int index);
    int PageIndex() const { return page_; }
    /// 1.0: the page at 96 dots per inch.
    void SetZoom(double zoom);
    double Zoom() const { return zoom_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QSize pagePixels() const;
    TReport& report_;
    int page_ = 0;
    double zoom_ = 1.0;
    QImage image_;        // the page shown, drawn at the zoom; empty when it must be drawn again
    bool failed_ = false; // the operator was told that a page could not be read
};

/// The preview window: page navigation, zoom and printing.
class TReportPreview : public QDialog {
    Q_OBJECT
public:
    explicit TReportPreview(TReport& report, QWidget* parent = nullptr);

    /// Shows a page (0-based, kept within the report).
    void ShowPage(int index);
    int CurrentPage() const { return View->PageIndex(); }
    void ZoomBy(double factor);
    /// Prints the report on a printer set up by the operator (a PDF file too), a few pages at
    /// a time from the event loop, with a progress dialog whose "Отмена" stops it. Returns
    /// false when it was stopped or failed (a stopped PDF file is removed).
    bool PrintTo(QPrinter& printer);

    QToolButton* bFirst = nullptr;
    QToolButton* bPrior = nullptr;
    QToolButton* bNext = nullptr;
    QToolButton* bLast = nullptr;
    QSpinBox* ePage = nullptr;
    QLabel* lPages = nullptr;
    QToolButton* bZoomOut = nullptr;
    QToolButton* bZoomIn = nullptr;
    QLabel* lZoom = nullptr;
    QToolButton* bPrint = nullptr;
    QScrollArea* Scroll = nullptr;
    TReportPageView* View = nullptr;

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void printClick();
    void updateControls();
    TReport& report_;
};

/// Shows the report in its preview; returns when the preview is closed.
void PreviewReport(TReport& report, QWidget* parent = nullptr);

/// Test hook: when set it receives the report instead of the preview window.
void SetReportPreviewHook(std::function<void(TReport&)> hook);

/// The picture of the buttons that print a report: a printer with its sheet.
QIcon ReportIcon();
