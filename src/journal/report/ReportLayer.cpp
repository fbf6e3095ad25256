#include "journal/report/ReportLayer.h"

#include "platform/DateFormat.h"
#include "platform/Errors.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Height of the lines of a laid-out document that end within the given height.
double WholeLinesHeight(const QTextDocument& doc, double height) {
    double fit = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QRectF block = doc.documentLayout()->blockBoundingRect(b);
        const QTextLayout* layout = b.layout();
        for (int i = 0; layout && i < layout->lineCount(); ++i) {
            const double bottom = block.top() + layout->lineAt(i).rect().bottom();
            if (bottom > height)
                return fit;
            fit = bottom;
        }
    }
    return fit;
}
} // namespace

int TReportData::RowCount() const {
    return Source ? Source->Count() : int(Rows.size());
}

QList<TRow> TReportData::RowsAt(int first, int count) const {
    if (count <= 0 || first < 0)
        return {};
    return Source ? Source->Rows(first, count) : Rows.mid(first, count);
}

int TReportData::ColumnIndex(const QString& name) const {
    for (int i = 0; i < Columns.size(); ++i)
        if (Columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

namespace {
// A query's rows in a temporary table of the query's own connection, in the query's order,
// read a page at a time by their position.
class TQueryRows : public TReportRowSource {
public:
    TQueryRows(std::unique_ptr<TTable> table, int count) : table_(std::move(table)), count_(count) {}
    int Count() override { return table_ ? count_ : 0; }
    QList<TRow> Rows(int first, int count) override {
        if (!table_ || count <= 0)
            return {};
        return table_->Select(
            QStringLiteral("SELECT * FROM temp.vesk_report WHERE rowid BETWEEN ? AND ? ORDER BY rowid"),
            {qint64(first) + 1, qint64(first) + count});
    }
    void Close() { table_.reset(); }

private:
    std::unique_ptr<TTable> table_;
    int count_;
};
} // namespace

TReportQuery::TReportQuery(QString folder, QString fileName, QList<TFieldDef> fields)
    : folder_(std::move(folder)), fileName_(std::move(fileName)), fields_(std::move(fields)) {}

TReportQuery::~TReportQuery() {
    Close();
}

void TReportQuery::Open() {
    Close();
    auto table = std::make_unique<TTable>(folder_, fileName_, fields_);
    table->Open();
    table->Exec(QStringLiteral("DROP TABLE IF EXISTS temp.vesk_report"));
    // Rows of a table made from a query are numbered from 1 in the query's order.
    table->Exec(QStringLiteral("CREATE TEMP TABLE vesk_report AS ") + SQL.join(u'\n'));
    QSqlQuery probe(table->Database());
    if (probe.exec(QStringLiteral("SELECT * FROM temp.vesk_report LIMIT 0"))) {
        const QSqlRecord record = probe.record();
        for (int i = 0; i < record.count(); ++i)
            data_.Columns.append(record.fieldName(i));
    }
    probe.finish();
    const QList<TRow> count = table->Select(QStringLiteral("SELECT count(*) FROM temp.vesk_report"));
    data_.Source = std::make_shared<TQueryRows>(std::move(table), count.value(0).value(0).toInt());
}

void TReportQuery::Close() {
    if (auto* rows = dynamic_cast<TQueryRows*>(data_.Source.get()))
        rows->Close();
    data_ = TReportData{};
}

QVariant TReportContext::Value(const QString& column) const {
    if (!Data || RowIndex < 0)
        return {};
    if (!Row && RowIndex >= Data->Rows.size())
        return {};
    const int c = Data->ColumnIndex(column);
    const TRow& row = Row ? *Row : Data->Rows[RowIndex];
    return c >= 0 && c < row.size() ? row[c] : QVariant();
}

TPreparedItem TReportItem::Prepare(const TReportContext& context) const {
    TPreparedItem item{Rect, ResolveText(context), Font, Color, Align, false, nullptr};
    item.WordWrap = WordWrap;
    return item;
}

QString TReportDataField::ResolveText(const TReportContext& context) const {
    const QVariant v = context.Value(Column);
    if (Format)
        return Format(v);
    if (v.typeId() == QMetaType::QDate)
        return DateToStr(v.toDate());
    if (v.typeId() == QMetaType::QTime)
        return TimeToStr(v.toTime());
    return v.toString();
}

QString TReportPageNumber::ResolveText(const TReportContext& context) const {
    QString text = Format;
    return text.replace(QStringLiteral("%1"), QString::number(context.Page));
}

TPreparedItem TReportPageNumber::Prepare(const TReportContext& context) const {
    TPreparedItem item = TReportItem::Prepare(context);
    item.PageTotal = item.Text.contains(QStringLiteral("%2"));
    return item;
}

TReportRichText::TReportRichText() : doc_(std::make_unique<QTextDocument>()) {}

TReportRichText::~TReportRichText() = default;

TPreparedItem TReportRichText::Prepare(const TReportContext& context) const {
    TPreparedItem item = TReportItem::Prepare(context);
    item.Doc.reset(doc_->clone());
    item.Doc->setDefaultFont(Font);
    return item;
}

template <typename T> T* TReportBand::add(T* item, const QRectF& rect) {
    item->Rect = rect;
    item->Font = Font;
    items_.emplace_back(item);
    return item;
}

TReportLabel* TReportBand::AddLabel(const QString& text, const QRectF& rectMm) {
    auto* l = add(new TReportLabel, rectMm);
    l->Text = text;
    return l;
}

TReportDataField* TReportBand::AddField(const QString& column, const QRectF& rectMm) {
    auto* f = add(new TReportDataField, rectMm);
    f->Column = column;
    return f;
}

TReportPageNumber* TReportBand::AddPageNumber(const QString& format, const QRectF& rectMm) {
    auto* p = add(new TReportPageNumber, rectMm);
    p->Format = format;
    return p;
}

TReportRichText* TReportBand::AddRichText(const QRectF& rectMm) {
    return add(new TReportRichText, rectMm);
}

TReport::TReport()
    : PageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(7, 7, 7, 7),
                 QPageLayout::Millimeter),
      Font(QStringLiteral("Arial"), 10) {}

TReport::~TReport() = default;

TReportBand* TReport::AddBand(TBandKind kind, double heightMm) {
    bands_.push_back(std::make_unique<TReportBand>(kind, heightMm));
    bands_.back()->Font = Font;
    return bands_.back().get();
}

TReportBand* TReport::Band(TBandKind kind) const {
    for (const auto& b : bands_)
        if (b->Kind == kind)
            return b.get();
    return nullptr;
}

namespace {
// Rows that fit in a room; the first row always goes on a page, however tall the headers.
int RowsFitting(double room, double rowHeight) {
    if (rowHeight <= 0)
        return std::numeric_limits<int>::max();
    return std::max(1, int(std::floor(room / rowHeight + 1e-9)));
}

double HeightOf(const TReportBand* band) {
    return band && band->Enabled ? band->Height : 0;
}
} // namespace

void TReport::Prepare() {
    if (prepared_)
        return;
    prepared_ = true;
    kept_.clear();
    const TReportBand* detail = Band(TBandKind::Detail);
    rowCount_ = detail && detail->Enabled ? Data.RowCount() : 0;
    if (Data.RowCount() == 0 && !PrintIfEmpty) {
        pageCount_ = 0;
        return;
    }
    const double pageHeight = PageLayout.paintRect(QPageLayout::Millimeter).height();
    const TReportBand* header = Band(TBandKind::PageHeader);
    const double headerH = HeightOf(header);
    const double columnsH = HeightOf(Band(TBandKind::ColumnHeader));
    const double firstHead =
        (header && header->PrintOnFirstPage ? headerH : 0) + HeightOf(Band(TBandKind::Title)) + columnsH;
    const double rowH = HeightOf(detail);
    firstPageRows_ = RowsFitting(pageHeight - firstHead, rowH);
    pageRows_ = RowsFitting(pageHeight - headerH - columnsH, rowH);
    const qint64 rest = std::max(0, rowCount_ - firstPageRows_);
    pageCount_ = int(1 + (rest + pageRows_ - 1) / pageRows_);
}

QPair<int, int> TReport::PageRows(int index) const {
    if (index < 0 || index >= pageCount_)
        return {0, 0};
    if (index == 0)
        return {0, std::min(rowCount_, firstPageRows_)};
    const int first = firstPageRows_ + (index - 1) * pageRows_;
    return {first, std::min(pageRows_, rowCount_ - first)};
}

TPreparedPage TReport::layout(int index) const {
    TPreparedPage page;
    const QRectF paintRect = PageLayout.paintRect(QPageLayout::Millimeter);
    TReportContext context;
    context.Data = &Data;
    context.Page = index + 1;
    double y = 0;

    // Every enabled band takes its height, printed or not: the pages follow from the heights.
    const auto place = [&](TReportBand* band) {
        if (!band || !band->Enabled)
            return;
        const double top = y;
        y += band->Height;
        if (band->BeforePrint && !band->BeforePrint(*band, context))
            return;
        for (const auto& item : band->Items()) {
            TPreparedItem p = item->Prepare(context);
            p.Rect.translate(0, top);
            page.Items.push_back(std::move(p));
        }
        const double left = band->FrameX;
        const double right = band->FrameWidth > 0 ? left + band->FrameWidth : paintRect.width();
        const auto rule = [&](double x1, double y1, double x2, double y2) {
            TPreparedItem line;
            line.IsLine = true;
            line.Rect = QRectF(QPointF(x1, y1), QPointF(x2, y2));
            line.Color = Qt::black;
            page.Items.push_back(std::move(line));
        };
        if (band->Frame & FrameTop)
            rule(left, top, right, top);
        if (band->Frame & FrameBottom)
            rule(left, top + band->Height, right, top + band->Height);
        if (band->Frame & FrameLeft)
            rule(left, top, left, top + band->Height);
        if (band->Frame & FrameRight)
            rule(right, top, right, top + band->Height);
    };

    if (OnStartPage)
        OnStartPage(context.Page);
    TReportBand* header = Band(TBandKind::PageHeader);
    if (header && (index > 0 || header->PrintOnFirstPage))
        place(header);
    if (index == 0)
        place(Band(TBandKind::Title));
    place(Band(TBandKind::ColumnHeader));

    const auto [first, count] = PageRows(index);
    const QList<TRow> rows = Data.RowsAt(first, count);
    TReportBand* detail = Band(TBandKind::Detail);
    for (int i = 0; i < rows.size(); ++i) {
        context.RowIndex = first + i;
        context.Row = &rows[i];
        place(detail);
    }
    return page;
}

const TPreparedPage& TReport::Page(int index) const {
    static const TPreparedPage none;
    if (index < 0 || index >= pageCount_)
        return none;
    for (auto it = kept_.begin(); it != kept_.end(); ++it)
        if (it->first == index) {
            if (it + 1 != kept_.end())
                std::rotate(it, it + 1, kept_.end());
            return kept_.back().second;
        }
    TPreparedPage page = layout(index);
    if (int(kept_.size()) >= KeptPages)
        kept_.erase(kept_.begin());
    kept_.emplace_back(index, std::move(page));
    return kept_.back().second;
}

QStringList TReport::PageTexts(int index) const {
    QStringList texts;
    if (index < 0 || index >= PageCount())
        return texts;
    std::vector<const TPreparedItem*> items;
    for (const TPreparedItem& item : Page(index).Items)
        if (!item.IsLine)
            items.push_back(&item);
    std::stable_sort(items.begin(), items.end(), [](const TPreparedItem* a, const TPreparedItem* b) {
        return a->Rect.top() != b->Rect.top() ? a->Rect.top() < b->Rect.top()
                                              : a->Rect.left() < b->Rect.left();
    });
    for (const TPreparedItem* item : items) {
        QString text = item->Doc ? item->Doc->toPlainText() : item->Text;
        if (item->PageTotal)
            text.replace(QStringLiteral("%2"), QString::number(PageCount()));
        texts.append(text);
    }
    return texts;
}

void TReport::PaintPage(QPainter& painter, QPaintDevice* device, int index) const {
    const double mmX = device->logicalDpiX() / 25.4;
    const double mmY = device->logicalDpiY() / 25.4;
    for (const TPreparedItem& item : Page(index).Items) {
        const QRectF r(item.Rect.x() * mmX, item.Rect.y() * mmY, item.Rect.width() * mmX,
                       item.Rect.height() * mmY);
        if (item.IsLine) {
            painter.setPen(QPen(item.Color, std::max(1.0, 0.2 * mmX)));
            painter.drawLine(r.topLeft(), r.bottomRight());
            continue;
        }
        if (item.Doc) {
            painter.save();
            painter.translate(r.topLeft());
            item.Doc->documentLayout()->setPaintDevice(device);
            item.Doc->setTextWidth(r.width());
            // The box keeps its size: it shows the lines that fit whole, and no part of the next.
            const QRectF box(0, 0, r.width(), WholeLinesHeight(*item.Doc, r.height()));
            painter.setClipRect(box);
            item.Doc->drawContents(&painter, box);
            painter.restore();
            continue;
        }
        QString text = item.Text;
        if (item.PageTotal)
            text.replace(QStringLiteral("%2"), QString::number(PageCount()));
        painter.setFont(item.Font);
        painter.setPen(item.Color);
        painter.drawText(r, int(item.Align) | (item.WordWrap ? Qt::TextWordWrap : Qt::TextSingleLine), text);
    }
}

bool TReport::Print(QPagedPaintDevice* device, const TProgress& progress) {
    Prepare();
    if (!device || pageCount_ == 0)
        return true;
    TReportPrinter printer(*this, device);
    if (!printer.Begin())
        throw EFileError(QStringLiteral("Не удалось начать печать отчёта"));
    while (printer.Next())
        if (progress && !progress(printer.Done(), printer.Total())) {
            printer.End();
            return false;
        }
    printer.End();
    return true;
}

bool TReport::ExportPdf(const QString& path, const TProgress& progress) {
    Prepare();
    bool complete = true;
    {
        QPdfWriter writer(path);
        writer.setPageLayout(PageLayout);
        writer.setResolution(300);
        writer.setTitle(Title);
        writer.setCreator(QStringLiteral("ВЕСК-4ТЦ"));
        TReportPrinter printer(*this, &writer);
        if (!printer.Begin())
            throw EFileError(QStringLiteral("Не удалось записать файл %1").arg(path));
        // An empty report is one blank page.
        while (complete && printer.Next())
            complete = !progress || progress(printer.Done(), printer.Total());
        printer.End();
    }
    if (!complete) {
        QFile::remove(path); // a stopped file would be a document cut short
        return false;
    }
    if (!QFileInfo(path).isFile())
        throw EFileError(QStringLiteral("Не удалось записать файл %1").arg(path));
    return true;
}

TReportPrinter::TReportPrinter(TReport& report, QPagedPaintDevice* device)
    : report_(report), device_(device), ranges_(device->pageRanges()) {
    report.Prepare();
    last_ = report.PageCount() - 1;
    if (!ranges_.isEmpty()) {
        next_ = std::max(0, ranges_.firstPage() - 1);
        last_ = std::min(last_, ranges_.lastPage() - 1);
    }
    for (int i = next_; i <= last_; ++i)
        total_ += wanted(i);
}

TReportPrinter::~TReportPrinter() {
    End();
}

bool TReportPrinter::wanted(int index) const {
    return ranges_.isEmpty() || ranges_.contains(index + 1);
}

bool TReportPrinter::Begin() {
    painter_ = std::make_unique<QPainter>();
    if (painter_->begin(device_))
        return true;
    painter_.reset();
    return false;
}

bool TReportPrinter::Next() {
    if (!painter_)
        return false;
    while (next_ <= last_ && !wanted(next_))
        ++next_;
    if (next_ > last_)
        return false;
    if (done_ > 0)
        device_->newPage();
    report_.PaintPage(*painter_, device_, next_++);
    ++done_;
    return true;
}

void TReportPrinter::End() {
    if (painter_ && painter_->isActive())
        painter_->end();
    painter_.reset();
}
