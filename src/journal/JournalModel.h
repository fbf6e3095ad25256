#pragma once
// The grid's view of a result journal: one row per row that passes the filter, read a
// page at a time as the grid scrolls, shown with the browser's display formats.

#include "journal/ResultJournal.h"

#include <QAbstractTableModel>

class TJournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TJournalModel(TResultJournal* journal, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// Counts and reads again (after the filter or the table changed).
    void Reload();
    /// The row's values; empty when it cannot be read.
    TRow Row(int row) const;
    qint64 RowId(int row) const;
    /// Marks the current row in the row indicator.
    void SetCurrentRow(int row);
    int CurrentRow() const { return current_; }
    TResultJournal* Journal() const { return journal_; }

private:
    // A read that fails (the file taken away under the grid) shows empty cells, once logged.
    template <typename F> auto guarded(F f, decltype(f()) fallback) const -> decltype(f());

    TResultJournal* journal_;
    int current_ = -1;
    mutable bool failed_ = false;
};
