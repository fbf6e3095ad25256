#pragma once
// A window onto a large journal table: the rows that pass a filter, in a fixed order,
// read a page at a time as a view asks for them. The rows are counted by the database
// without being read; a few pages are kept, the oldest dropped first. A page next to a
// kept one is read from that page's rowid on; any other from the nearer end of the table.

#include "platform/Table.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

/// A filter as SQL: a condition on the table's columns (empty: every row) and its values.
struct TSqlFilter {
    QString Where;
    QVariantList Binds;
};

class TPagedRows {
public:
    /// table: open while rows are asked for; not owned.
    explicit TPagedRows(TTable* table, int pageSize = 128, int keptPages = 32);

    /// Rows pass when they meet the filter. Forgets what was read.
    void SetFilter(const TSqlFilter& filter);
    const TSqlFilter& Filter() const { return filter_; }
    /// Order by these columns (ascending, the rowid last); empty: the order of appending.
    void SetOrder(const QStringList& columns);
    /// Forgets the count and the pages read; the next question reads again.
    void Invalidate();

    /// Number of rows that pass (counted once after each Invalidate). 0 when the table is closed.
    int Count();
    /// Takes a count made elsewhere (in slices, say) as if it were its own: count rows pass,
    /// the first with rowid firstId, the last with rowid lastId.
    void SetCount(int count, qint64 firstId, qint64 lastId);
    /// Row at a position, values in the table's column order; empty when out of range.
    TRow Row(int position);
    /// Rowid at a position; -1 when out of range.
    qint64 RowId(int position);
    /// Position of a row; -1 when it does not pass the filter or does not exist.
    int PositionOf(qint64 rowid);
    /// Rowids of count rows from first on, in order (one query).
    QList<qint64> RowIds(int first, int count);
    /// Values of the row with this rowid, whether it passes the filter or not.
    std::optional<TRow> RowById(qint64 rowid);
    /// Every passing row in order, with extra applied on top of the filter (for reports).
    QList<TRow> AllRows(const TSqlFilter& extra = {});

    /// Counts, pages and walks read since construction (a row fetched by its rowid is not
    /// counted); the benchmark and tests watch the paging with it.
    int Queries() const { return queries_; }

private:
    struct TPage {
        QList<qint64> Ids;
        QList<TRow> Rows;
    };
    const TPage* page(int index);
    TPage fetch(int index);
    QList<TRow> select(const QString& tail, const QVariantList& binds, bool withId);
    QString columnList() const;
    QString where(const QString& extra = {}) const;
    QString orderBy(bool descending) const;
    void keep(int index, TPage page);

    TTable* table_;
    int pageSize_;
    int keptPages_;
    TSqlFilter filter_;
    QStringList order_;
    int count_ = -1;
    qint64 firstId_ = -1; // the smallest passing rowid when the rows were counted
    qint64 lastId_ = -1;  // the largest
    QHash<int, TPage> pages_;
    QList<int> recent_; // page numbers, most recently used last
    int queries_ = 0;
};
