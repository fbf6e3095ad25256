#include "app/TMessageGrid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

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
        return grid_->cellText(index.row() + 1, index.column());
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
    if (column == fillColumn_ && !text.isEmpty())
        widest_ = std::max(widest_, textWidth(text));
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
        // Texts may have gone: the fill column's need is measured again.
        widest_ = 0;
        if (fillColumn_ >= 0)
            for (int r = 1; r <= rows; ++r)
                if (const QString& t = cells_[size_t(r - 1) * size_t(columns_) + size_t(fillColumn_)];
                    !t.isEmpty())
                    widest_ = std::max(widest_, textWidth(t));
    } else {
        if (dirtyFrom_ >= 0)
            model_->rowsChanged(dirtyFrom_, std::min(dirtyTo_, shownRows_ - 1));
        if (rows > shownRows_) {
            model_->beginInsertRows({}, shownRows_, rows - 1);
            shownRows_ = rows;
            model_->endInsertRows();
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
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
    const int width = std::max({viewport()->width() - others, widest_ > 0 ? widest_ + margin : 0,
                                horizontalHeader()->sectionSizeHint(fillColumn_)});
    if (columnWidth(fillColumn_) != width)
        setColumnWidth(fillColumn_, width);
}

int TMessageGrid::textWidth(const QString& text) {
    // Messages repeat: their widths are measured once.
    QHash<QString, int>& known = widths_;
    if (const auto it = known.constFind(text); it != known.constEnd())
        return *it;
    if (known.size() > 512)
        known.clear();
    const int w = fontMetrics().horizontalAdvance(text);
    known.insert(text, w);
    return w;
}
