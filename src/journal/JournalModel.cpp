#include "journal/JournalModel.h"

#include "platform/Errors.h"

#include <QFont>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcJournalModel, "vesk.journal.model")

TJournalModel::TJournalModel(TResultJournal* journal, QObject* parent)
    : QAbstractTableModel(parent), journal_(journal) {
    setObjectName("DataSource1");
}

template <typename F> auto TJournalModel::guarded(F f, decltype(f()) fallback) const -> decltype(f()) {
    try {
        return f();
    } catch (const std::exception& e) {
        if (!failed_)
            qCWarning(lcJournalModel) << "journal read failed:" << ExceptionText(e);
        failed_ = true;
        return fallback;
    }
}

int TJournalModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !journal_->Active())
        return 0;
    return guarded([this] { return journal_->Rows().Count(); }, 0);
}

int TJournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(journal_->Columns().size());
}

TRow TJournalModel::Row(int row) const {
    return guarded([this, row] { return journal_->Rows().Row(row); }, TRow());
}

qint64 TJournalModel::RowId(int row) const {
    return guarded([this, row] { return journal_->Rows().RowId(row); }, qint64(-1));
}

QVariant TJournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= columnCount())
        return {};
    const TJournalColumn& column = journal_->Columns()[index.column()];
    switch (role) {
    case Qt::DisplayRole:
        return journal_->DisplayText(Row(index.row()), column.Field);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::FontRole:
        if (column.Bold) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    default:
        return {};
    }
}

QVariant TJournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return journal_->Columns().value(section).Title;
    return section == current_ ? QStringLiteral("▶") : QString();
}

void TJournalModel::Reload() {
    beginResetModel();
    journal_->Rows().Invalidate();
    failed_ = false;
    current_ = -1;
    endResetModel();
}

void TJournalModel::SetCurrentRow(int row) {
    if (row == current_)
        return;
    const int before = current_;
    current_ = row;
    if (before >= 0)
        emit headerDataChanged(Qt::Vertical, before, before);
    if (row >= 0)
        emit headerDataChanged(Qt::Vertical, row, row);
}
