#pragma once
// A banded report over QPainter: a page header on every page, a title band on the first,
// a column header band under the page header, and one detail band per data row. Bands
// hold labels, data fields, page numbers and clipped rich-text boxes; hooks run at the
// start of each page and before each band is printed. Bands have fixed heights, so the
// page count follows from the row count; a page is laid out, from its own rows only, when
// it is shown or printed, and only the last few laid-out pages are kept.

#include "platform/Table.h"

#include <QColor>
#include <QFont>
#include <QPageLayout>
#include <QPageRanges>
#include <QPair>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;
class QTextDocument;

/// Rows a report reads on demand, a page's worth at a time (a journal read by pages).
class TReportRowSource {
public:
    virtual ~TReportRowSource() = default;
    virtual int Count() = 0;
    /// At most count rows from position first on, in print order.
    virtual QList<TRow> Rows(int first, int count) = 0;
};

/// The rows a report walks: column names and rows in print order, either held in Rows or
/// read from Source when one is set.
struct TReportData {
    QStringList Columns;
    QList<TRow> Rows;
    std::shared_ptr<TReportRowSource> Source;
    int ColumnIndex(const QString& name) const;
    int RowCount() const;
    QList<TRow> RowsAt(int first, int count) const;
};

/// A query on a journal table of the alias folder, run on its own connection: the
/// report's data source. SQL holds the text line by line, as it is built. The rows are kept
/// by the database, not in memory, and read a page at a time while the query is open.
class TReportQuery {
public:
    TReportQuery(QString folder, QString fileName, QList<TFieldDef> fields);
    ~TReportQuery();
    QStringList SQL;
    /// Runs SQL and keeps its rows. Raises EVeskError when the table or the query fails.
    void Open();
    /// Lets the rows go (a report still holding Data() then reads none).
    void Close();
    const TReportData& Data() const { return data_; }

private:
    QString folder_;
    QString fileName_;
    QList<TFieldDef> fields_;
    TReportData data_;
};

/// Where preparation stands when a hook or an item is asked: page and row.
struct TReportContext {
    int Page = 0;      // 1-based
    int RowIndex = -1; // data row of the detail band being printed; -1 outside it
    const TReportData* Data = nullptr;
    const TRow* Row = nullptr; // that row's values
    QVariant Value(const QString& column) const;
};

/// One resolved piece of a prepared page, in millimetres from the page's printable corner.
struct TPreparedItem {
    QRectF Rect;
    QString Text;
    QFont Font;
    QColor Color;
    Qt::Alignment Align;
    bool PageTotal = false;             // Text holds "%2" to be replaced by the page count
    std::shared_ptr<QTextDocument> Doc; // a rich-text box
    bool WordWrap = false;              // the text breaks into lines within Rect
    bool IsLine = false;                // a rule from Rect's top left to its bottom right
};

struct TPreparedPage {
    std::vector<TPreparedItem> Items;
};

/// A printed element of a band; its rectangle is in millimetres within the band.
class TReportItem {
public:
    virtual ~TReportItem() = default;
    QString Name;
    QRectF Rect;
    QFont Font;
    QColor Color = Qt::black;
    Qt::Alignment Align = Qt::AlignLeft | Qt::AlignVCenter;
    bool WordWrap = false;
    virtual TPreparedItem Prepare(const TReportContext& context) const;

protected:
    virtual QString ResolveText(const TReportContext& context) const = 0;
};

/// Fixed text (a hook may change it before the band prints).
class TReportLabel : public TReportItem {
public:
    QString Text;

protected:
    QString ResolveText(const TReportContext&) const override { return Text; }
};

/// The value of a column of the current row. Dates print in the program's short date
/// format, times as hours, minutes and seconds.
class TReportDataField : public TReportItem {
public:
    QString Column;
    std::function<QString(const QVariant&)> Format; // optional

protected:
    QString ResolveText(const TReportContext& context) const override;
};

/// Page number: "%1" the page, "%2" the page count.
class TReportPageNumber : public TReportItem {
public:
    QString Format = QStringLiteral("%1");
    TPreparedItem Prepare(const TReportContext& context) const override;

protected:
    QString ResolveText(const TReportContext& context) const override;
};

/// A rich-text box clipped to its rectangle; hooks fill Document before the band prints.
class TReportRichText : public TReportItem {
public:
    TReportRichText();
    ~TReportRichText() override;
    QTextDocument* Document() const { return doc_.get(); }
    TPreparedItem Prepare(const TReportContext& context) const override;

protected:
    QString ResolveText(const TReportContext&) const override { return {}; }

private:
    std::unique_ptr<QTextDocument> doc_;
};

enum class TBandKind { PageHeader, Title, ColumnHeader, Detail };

/// Sides of a band that are ruled.
enum TBandFrame : int { FrameTop = 1, FrameBottom = 2, FrameLeft = 4, FrameRight = 8 };

/// A horizontal strip of the page with its items.
class TReportBand {
public:
    TReportBand(TBandKind kind, double heightMm) : Kind(kind), Height(heightMm) {}
    TBandKind Kind;
    QString Name;
    double Height; // mm
    bool Enabled = true;
    /// The page header band on the first page too.
    bool PrintOnFirstPage = true;
    /// Ruled sides (TBandFrame bits) of the strip from FrameX, FrameWidth mm wide (0: to
    /// the page's right edge).
    int Frame = 0;
    double FrameX = 0;
    double FrameWidth = 0;
    /// Runs before each printing of the band; returning false leaves the band out this time
    /// (its place on the page stays empty: pages follow from the heights alone).
    std::function<bool(TReportBand&, const TReportContext&)> BeforePrint;

    TReportLabel* AddLabel(const QString& text, const QRectF& rectMm);
    TReportDataField* AddField(const QString& column, const QRectF& rectMm);
    TReportPageNumber* AddPageNumber(const QString& format, const QRectF& rectMm);
    TReportRichText* AddRichText(const QRectF& rectMm);
    const std::vector<std::unique_ptr<TReportItem>>& Items() const { return items_; }
    /// The font new items take.
    QFont Font;

private:
    template <typename T> T* add(T* item, const QRectF& rect);
    std::vector<std::unique_ptr<TReportItem>> items_;
};

/// A report: page geometry, bands and data; a page is laid out when it is asked for, then
/// painted or written to PDF.
class TReport {
public:
    TReport();
    ~TReport();
    TReport(const TReport&) = delete;
    TReport& operator=(const TReport&) = delete;

    QPageLayout PageLayout; // A4 landscape by default
    QFont Font;             // Arial 10 pt by default
    QString Title;
    bool PrintIfEmpty = true;
    TReportData Data;
    /// Runs when a page begins, before its bands.
    std::function<void(int page)> OnStartPage;

    TReportBand* AddBand(TBandKind kind, double heightMm);
    TReportBand* Band(TBandKind kind) const;

    /// Counts the rows and works out the pages (no page is laid out); later calls keep the
    /// first result.
    void Prepare();
    bool Prepared() const { return prepared_; }
    int PageCount() const { return pageCount_; }
    /// Rows the page holds: the first one's position and how many.
    QPair<int, int> PageRows(int index) const;
    /// A page laid out (0-based, after Prepare; an empty page outside the report). The last
    /// few pages are kept; the reference holds until another page is asked for.
    const TPreparedPage& Page(int index) const;
    /// The texts of a page, top to bottom (rich-text boxes as plain text).
    QStringList PageTexts(int index) const;
    /// Paints a page on a device, in millimetres at the device's resolution.
    void PaintPage(QPainter& painter, QPaintDevice* device, int index) const;

    /// Called after each printed page with the pages done and the pages to print; returning
    /// false stops the printing.
    using TProgress = std::function<bool(int done, int total)>;
    /// Paints the pages on a paged device (a printer or a PDF writer), from the device's
    /// current page; a printer's page range is kept. Returns false when progress stopped it.
    bool Print(QPagedPaintDevice* device, const TProgress& progress = {});
    /// Writes the report to a PDF file. Raises EFileError when the file cannot be written.
    /// Returns false, leaving no file, when progress stopped it.
    bool ExportPdf(const QString& path, const TProgress& progress = {});

    /// Pages laid out at most at once.
    static constexpr int KeptPages = 4;

private:
    TPreparedPage layout(int index) const;

    std::vector<std::unique_ptr<TReportBand>> bands_;
    bool prepared_ = false;
    int pageCount_ = 0;
    int rowCount_ = 0;
    int firstPageRows_ = 1;                                   // rows on the first page
    int pageRows_ = 1;                                        // rows on each later page
    mutable std::vector<std::pair<int, TPreparedPage>> kept_; // most recently asked last
};

/// Prints a report page by page, a page per call, so that a caller can keep its window
/// responsive between pages and stop at any page.
class TReportPrinter {
public:
    /// Prepares the report; the device's page ranges (a printer's "pages from ... to")
    /// limit the pages, none prints them all.
    TReportPrinter(TReport& report, QPagedPaintDevice* device);
    ~TReportPrinter();
    /// Begins painting; false when the device cannot be painted on.
    bool Begin();
    /// Paints the next page; false when none was left.
    bool Next();
    /// Ends the painting; the document is complete only after a last Next() returned false.
    void End();
    int Done() const { return done_; }
    int Total() const { return total_; }

private:
    bool wanted(int index) const;

    const TReport& report_;
    QPagedPaintDevice* device_;
    std::unique_ptr<QPainter> painter_;
    QPageRanges ranges_;
    int next_ = 0; // the next page to consider
    int last_ = -1;
    int done_ = 0;
    int total_ = 0;
};
