#include "journal/report/ReportLayer.h"

#include "platform/DateFormat.h"
#include "platform/Errors.h"

#include <QAbstractTextDocumentLayout>
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

int TReportData::ColumnIndex(const QString& name) const {
    for (int i = 0; i < Columns.size(); ++i)
        if (Columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

TReportQuery::TReportQuery(QString folder, QString fileName, QList<TFieldDef> fields)
    : folder_(std::move(folder)), fileName_(std::move(fileName)), fields_(std::move(fields)) {}

void TReportQuery::Open() {
    TTable table(folder_, fileName_, fields_);
    table.Open();
    const QSqlDatabase db = table.Database();
    data_ = TReportData{};
    data_.Rows = table.Select(SQL.join(u'\n'));
    // "select *" yields the table's columns in order; other queries name theirs.
    QSqlQuery probe(db);
    if (probe.exec(SQL.join(u'\n'))) {
        const QSqlRecord record = probe.record();
        for (int i = 0; i < record.count(); ++i)
            data_.Columns.append(record.fieldName(i));
    }
    table.Close();
}

QVariant TReportContext::Value(const QString& column) const {
    if (!Data || RowIndex < 0 || RowIndex >= Data->Rows.size())
        return {};
    const int c = Data->ColumnIndex(column);
    const TRow& row = Data->Rows[RowIndex];
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

void TReport::Prepare() {
    if (prepared_)
        return;
    prepared_ = true;
    pages_.clear();
    if (Data.Rows.isEmpty() && !PrintIfEmpty)
        return;

    const QRectF paintRect = PageLayout.paintRect(QPageLayout::Millimeter);
    const double pageHeight = paintRect.height();
    TReportContext context;
    context.Data = &Data;
    double y = 0;

    const auto place = [&](TReportBand* band) {
        if (!band || !band->Enabled)
            return;
        if (band->BeforePrint && !band->BeforePrint(*band, context))
            return;
        for (const auto& item : band->Items()) {
            TPreparedItem p = item->Prepare(context);
            p.Rect.translate(0, y);
            pages_.back().Items.push_back(std::move(p));
        }
        const double left = band->FrameX;
        const double right = band->FrameWidth > 0 ? left + band->FrameWidth : paintRect.width();
        const auto rule = [&](double x1, double y1, double x2, double y2) {
            TPreparedItem line;
            line.IsLine = true;
            line.Rect = QRectF(QPointF(x1, y1), QPointF(x2, y2));
            line.Color = Qt::black;
            pages_.back().Items.push_back(std::move(line));
        };
        if (band->Frame & FrameTop)
            rule(left, y, right, y);
        if (band->Frame & FrameBottom)
            rule(left, y + band->Height, right, y + band->Height);
        if (band->Frame & FrameLeft)
            rule(left, y, left, y + band->Height);
        if (band->Frame & FrameRight)
            rule(right, y, right, y + band->Height);
        y += band->Height;
    };
    const auto startPage = [&] {
        pages_.emplace_back();
        context.Page = int(pages_.size());
        const int row = context.RowIndex;
        context.RowIndex = -1;
        y = 0;
        if (OnStartPage)
            OnStartPage(context.Page);
        TReportBand* header = Band(TBandKind::PageHeader);
        if (header && (context.Page > 1 || header->PrintOnFirstPage))
            place(header);
        if (context.Page == 1)
            place(Band(TBandKind::Title));
        place(Band(TBandKind::ColumnHeader));
        context.RowIndex = row;
    };

    startPage();
    TReportBand* detail = Band(TBandKind::Detail);
    if (!detail)
        return;
    int rowsOnPage = 0;
    for (int i = 0; i < Data.Rows.size(); ++i) {
        context.RowIndex = i;
        // A band that does not fit goes to the next page, unless the page holds no row
        // yet (headers taller than the page would otherwise never end).
        if (y + detail->Height > pageHeight && rowsOnPage > 0) {
            startPage();
            rowsOnPage = 0;
        }
        place(detail);
        ++rowsOnPage;
    }
}

QStringList TReport::PageTexts(int index) const {
    QStringList texts;
    if (index < 0 || index >= PageCount())
        return texts;
    std::vector<const TPreparedItem*> items;
    for (const TPreparedItem& item : pages_[size_t(index)].Items)
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

void TReport::paintPage(QPainter& painter, QPagedPaintDevice* device, const TPreparedPage& page) const {
    const double mmX = device->logicalDpiX() / 25.4;
    const double mmY = device->logicalDpiY() / 25.4;
    for (const TPreparedItem& item : page.Items) {
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

void TReport::Print(QPagedPaintDevice* device) {
    Prepare();
    if (!device || pages_.empty())
        return;
    QPainter painter(device);
    if (!painter.isActive())
        throw EFileError(QStringLiteral("Не удалось начать печать отчёта"));
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (i > 0)
            device->newPage();
        paintPage(painter, device, pages_[i]);
    }
    painter.end();
}

void TReport::ExportPdf(const QString& path) {
    Prepare();
    {
        QPdfWriter writer(path);
        writer.setPageLayout(PageLayout);
        writer.setResolution(300);
        writer.setTitle(Title);
        writer.setCreator(QStringLiteral("ВЕСК-4ТЦ"));
        QPainter painter;
        if (!painter.begin(&writer))
            throw EFileError(QStringLiteral("Не удалось записать файл %1").arg(path));
        if (pages_.empty()) {
            painter.end(); // an empty report is one blank page
        } else {
            for (size_t i = 0; i < pages_.size(); ++i) {
                if (i > 0)
                    writer.newPage();
                paintPage(painter, &writer, pages_[i]);
            }
            painter.end();
        }
    }
    if (!QFileInfo(path).isFile())
        throw EFileError(QStringLiteral("Не удалось записать файл %1").arg(path));
}
