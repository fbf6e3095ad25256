#include "app/TMessageGrid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <cmath>

class TMessageGrid::TModel : public QAbstractTableModel {
public:
    explicit TModel(TMessageGrid* grid) : QAbstractTableModel(grid), grid_(grid) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : grid_->shownRows_;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : grid_->columns_;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const QString text = grid_->cellText(index.row() + 1, index.column());
        return index.column() == grid_->fillColumn_ && !text.isEmpty() && grid_->wrapWidth_ > 0
                   ? grid_->measure(text).Text
                   : text;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= int(grid_->header_.size()))
            return {};
        return grid_->header_[size_t(section)];
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    using QAbstractTableModel::beginInsertRows;
    using QAbstractTableModel::beginResetModel;
    using QAbstractTableModel::endInsertRows;
    using QAbstractTableModel::endResetModel;
    void headerChanged(int column) { emit headerDataChanged(Qt::Horizontal, column, column); }
    void rowsChanged(int from, int to) { emit dataChanged(index(from, 0), index(to, grid_->columns_ - 1)); }

private:
    TMessageGrid* grid_;
};

TMessageGrid::TMessageGrid(int rows, int columns, QWidget* parent)
    : QTableView(parent), model_(new TModel(this)), frame_(new QTimer(this)), columns_(std::max(1, columns)),
      header_(size_t(columns_)) {
    frame_->setSingleShot(true);
    connect(frame_, &QTimer::timeout, this, &TMessageGrid::showChanges);
    setModel(model_);
    setRowCount(rows);
    shownRows_ = rowCount() - 1;
    // The rows always overflow the view: a scroll bar that never comes and goes keeps the
    // width the columns share steady.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    horizontalHeader()->setHighlightSections(false);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section) {
        if (section != fillColumn_)
            fitFillColumn();
    });
}

void TMessageGrid::setRowCount(int rows) {
    const int body = std::max(0, rows - 1);
    if (body < shownRows_)
        reset_ = true;
    cells_.resize(size_t(body) * size_t(columns_));
    changed();
}

QString TMessageGrid::cellText(int row, int column) const {
    if (column < 0 || column >= columns_)
        return {};
    if (row == 0)
        return header_[size_t(column)];
    if (row < 1 || row >= rowCount())
        return {};
    return cells_[size_t(row - 1) * size_t(columns_) + size_t(column)];
}

void TMessageGrid::setCellText(int row, int column, const QString& text) {
    if (column < 0 || column >= columns_)
        return;
    if (row == 0) {
        header_[size_t(column)] = text;
        model_->headerChanged(column);
        return;
    }
    if (row < 1 || row >= rowCount())
        return;
    cells_[size_t(row - 1) * size_t(columns_) + size_t(column)] = text;
    if (row - 1 < shownRows_) {
        dirtyFrom_ = dirtyFrom_ < 0 ? row - 1 : std::min(dirtyFrom_, row - 1);
        dirtyTo_ = std::max(dirtyTo_, row - 1);
    }
    changed();
}

void TMessageGrid::setCurrentCell(int row, int column) {
    currentRow_ = row;
    currentColumn_ = column;
    currentPending_ = true;
    changed();
}

void TMessageGrid::setFillColumn(int column) {
    fillColumn_ = column;
    fitFillColumn();
}

void TMessageGrid::changed() {
    if (frame_->isActive())
        return;
    // A change after a quiet spell shows at the frame's end; one that follows a recent
    // step waits until the stream's interval is up.
    const qint64 since = shown_.isValid() ? shown_.elapsed() : GridStreamMs;
    frame_->start(int(std::max<qint64>(ScreenFrameMs, GridStreamMs - since)));
}

void TMessageGrid::showChanges() {
    frame_->stop();
    shown_.start();
    const int rows = rowCount() - 1;
    if (reset_) {
        model_->beginResetModel();
        shownRows_ = rows;
        model_->endResetModel();
        fitRows(0, rows - 1);
    } else {
        if (dirtyFrom_ >= 0) {
            model_->rowsChanged(dirtyFrom_, std::min(dirtyTo_, shownRows_ - 1));
            fitRows(dirtyFrom_, std::min(dirtyTo_, shownRows_ - 1));
        }
        if (rows > shownRows_) {
            const int first = shownRows_;
            model_->beginInsertRows({}, shownRows_, rows - 1);
            shownRows_ = rows;
            model_->endInsertRows();
            fitRows(first, rows - 1);
        }
    }
    reset_ = false;
    dirtyFrom_ = dirtyTo_ = -1;
    fitFillColumn();
    if (currentPending_ || !selectionModel()->currentIndex().isValid()) {
        currentPending_ = false;
        const QModelIndex at = model_->index(currentRow_ - 1, currentColumn_);
        if (at.isValid()) {
            selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
            scrollTo(at);
        }
    }
}

void TMessageGrid::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    fitFillColumn();
}

void TMessageGrid::fitFillColumn() {
    if (fillColumn_ < 0 || fillColumn_ >= columns_)
        return;
    int others = 0;
    for (int c = 0; c < columns_; ++c)
        if (c != fillColumn_)
            others += columnWidth(c);
    const int width =
        std::max(viewport()->width() - others, horizontalHeader()->sectionSizeHint(fillColumn_));
    if (columnWidth(fillColumn_) != width)
        setColumnWidth(fillColumn_, width);
    if (width != wrapWidth_ && shownRows_ > 0) // the texts wrap anew
        fitRows(0, shownRows_ - 1);
}

void TMessageGrid::fitRows(int from, int to) {
    if (fillColumn_ < 0 || fillColumn_ >= columns_)
        return;
    if (columnWidth(fillColumn_) != wrapWidth_) {
        wrapWidth_ = columnWidth(fillColumn_);
        shown_texts_.clear();
        from = 0;
        to = shownRows_ - 1;
    }
    const int plain = verticalHeader()->defaultSectionSize();
    for (int r = std::max(0, from); r <= to && r < shownRows_; ++r) {
        const QString& text = cells_[size_t(r) * size_t(columns_) + size_t(fillColumn_)];
        const int h = text.isEmpty() ? plain : measure(text).Height;
        if (rowHeight(r) != h)
            verticalHeader()->resizeSection(r, h);
    }
}

const TMessageGrid::TShown& TMessageGrid::measure(const QString& text) {
    if (const auto it = shown_texts_.constFind(text); it != shown_texts_.constEnd())
        return *it;
    if (shown_texts_.size() > 512)
        shown_texts_.clear();
    // As the view's delegate lays a text out: within the cell less its margins and grid
    // line, wrapped at the words. A word wider than the line (a row of stars) may break
    // anywhere: it is shown with a break chance between its letters.
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
    const int line = std::max(1, wrapWidth_ - margin);
    const QFontMetricsF fm(font());
    TShown shown;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = at;
        while (end < text.size() && !text[end].isSpace())
            ++end;
        const QString word = text.mid(at, end - at);
        if (fm.horizontalAdvance(word) > line) {
            for (qsizetype i = 0; i < word.size(); ++i) {
                if (i > 0 && !word[i].isLowSurrogate())
                    shown.Text += QChar(0x200B); // zero width space
                shown.Text += word[i];
            }
        } else {
            shown.Text += word;
        }
        while (end < text.size() && text[end].isSpace())
            shown.Text += text[end++];
        at = end;
    }
    QTextLayout layout(shown.Text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
        l.setLineWidth(line);
        height += l.height();
    }
    layout.endLayout();
    // A text of one line keeps the row's own height; more lines get room for the grid line
    // and a pixel of air above and below.
    shown.Height = std::max(verticalHeader()->defaultSectionSize(), int(std::ceil(height)) + 3);
    return *shown_texts_.insert(text, shown);
}
