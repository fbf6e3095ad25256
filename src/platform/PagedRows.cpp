#include "platform/PagedRows.h"

#include "platform/Errors.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace {
QString Quoted(const QString& name) {
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}
} // namespace

TPagedRows::TPagedRows(TTable* table, int pageSize, int keptPages)
    : table_(table), pageSize_(std::max(1, pageSize)), keptPages_(std::max(2, keptPages)) {}

void TPagedRows::SetFilter(const TSqlFilter& filter) {
    filter_ = filter;
    Invalidate();
}

void TPagedRows::SetOrder(const QStringList& columns) {
    order_ = columns;
    Invalidate();
}

void TPagedRows::Invalidate() {
    count_ = -1;
    firstId_ = lastId_ = -1;
    pages_.clear();
    recent_.clear();
}

QString TPagedRows::columnList() const {
    QStringList names;
    for (const TFieldDef& f : table_->Fields())
        names.append(Quoted(f.Name));
    return names.join(u',');
}

QString TPagedRows::where(const QString& extra) const {
    QStringList parts;
    if (!filter_.Where.isEmpty())
        parts.append(u'(' + filter_.Where + u')');
    // Rows appended after the count stay out until the next Invalidate, so that pages read
    // from either end fit together. (In another order than appending, the owner refreshes
    // after each change it makes, and the index that gives the order serves the reads.)
    if (count_ >= 0 && order_.isEmpty())
        parts.append(QStringLiteral("rowid BETWEEN %1 AND %2").arg(firstId_).arg(lastId_));
    if (!extra.isEmpty())
        parts.append(u'(' + extra + u')');
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
}

QString TPagedRows::orderBy(bool descending) const {
    const QString dir = descending ? QStringLiteral(" DESC") : QString();
    QStringList parts;
    for (const QString& c : order_)
        parts.append(Quoted(c) + dir);
    parts.append(QStringLiteral("rowid") + dir);
    return QStringLiteral(" ORDER BY ") + parts.join(u',');
}

QList<TRow> TPagedRows::select(const QString& tail, const QVariantList& binds, bool withId) {
    ++queries_;
    const QString head =
        withId ? QStringLiteral("SELECT rowid,%1 FROM %2").arg(columnList(), Quoted(table_->TableName()))
               : QStringLiteral("SELECT rowid FROM %1").arg(Quoted(table_->TableName()));
    return table_->Select(head + tail, binds);
}

int TPagedRows::Count() {
    if (count_ >= 0)
        return count_;
    if (!table_ || !table_->Active())
        return 0;
    ++queries_;
    const QString table = Quoted(table_->TableName());
    QList<TRow> r;
    if (filter_.Where.isEmpty()) {
        // Apart, each is answered from the tree's structure without reading the rows.
        r = table_->Select(QStringLiteral("SELECT count(*) FROM %1").arg(table));
        for (const char* end : {"min", "max"})
            r.first() += table_->Select(QStringLiteral("SELECT %1(rowid) FROM %2").arg(end, table)).value(0);
    } else {
        r = table_->Select(QStringLiteral("SELECT count(*),min(rowid),max(rowid) FROM %1").arg(table) +
                               where(),
                           filter_.Binds);
    }
    // The rowids of the first and the last passing row: pages at either end start there.
    firstId_ = r.isEmpty() || r.first().value(1).isNull() ? 0 : r.first().value(1).toLongLong();
    lastId_ = r.isEmpty() || r.first().value(2).isNull() ? 0 : r.first().value(2).toLongLong();
    count_ = r.isEmpty() ? 0 : r.first().value(0).toInt();
    return count_;
}

void TPagedRows::SetCount(int count, qint64 firstId, qint64 lastId) {
    Invalidate();
    count_ = std::max(0, count);
    firstId_ = firstId;
    lastId_ = lastId;
}

void TPagedRows::keep(int index, TPage page) {
    pages_.insert(index, std::move(page));
    recent_.removeAll(index);
    recent_.append(index);
    while (recent_.size() > keptPages_)
        pages_.remove(recent_.takeFirst());
}

TPagedRows::TPage TPagedRows::fetch(int index) {
    const int first = index * pageSize_;
    const int end = std::min(Count(), first + pageSize_);
    const int n = end - first;
    QVariantList binds = filter_.Binds;
    QList<TRow> rows;
    bool reversed = false;
    // Reading on from a neighbouring page costs no skipping, wherever it lies.
    if (order_.isEmpty() && pages_.contains(index - 1) && !pages_[index - 1].Ids.isEmpty()) {
        binds.append(pages_[index - 1].Ids.last());
        rows = select(where(QStringLiteral("rowid>?")) + orderBy(false) + QStringLiteral(" LIMIT %1").arg(n),
                      binds, true);
    } else if (order_.isEmpty() && pages_.contains(index + 1) && !pages_[index + 1].Ids.isEmpty()) {
        binds.append(pages_[index + 1].Ids.first());
        rows = select(where(QStringLiteral("rowid<?")) + orderBy(true) + QStringLiteral(" LIMIT %1").arg(n),
                      binds, true);
        reversed = true;
    } else if (first <= Count() - end) {
        rows = select(where() + orderBy(false) + QStringLiteral(" LIMIT %1 OFFSET %2").arg(n).arg(first),
                      binds, true);
    } else {
        rows =
            select(where() + orderBy(true) + QStringLiteral(" LIMIT %1 OFFSET %2").arg(n).arg(Count() - end),
                   binds, true);
        reversed = true;
    }
    if (reversed)
        std::reverse(rows.begin(), rows.end());
    TPage page;
    for (TRow& r : rows) {
        page.Ids.append(r.takeFirst().toLongLong());
        page.Rows.append(std::move(r));
    }
    return page;
}

const TPagedRows::TPage* TPagedRows::page(int index) {
    auto it = pages_.constFind(index);
    if (it != pages_.constEnd()) {
        if (recent_.last() != index) {
            recent_.removeAll(index);
            recent_.append(index);
        }
        return &it.value();
    }
    keep(index, fetch(index));
    return &pages_[index];
}

TRow TPagedRows::Row(int position) {
    if (position < 0 || position >= Count())
        return {};
    const TPage* p = page(position / pageSize_);
    const int i = position % pageSize_;
    return i < p->Rows.size() ? p->Rows[i] : TRow();
}

qint64 TPagedRows::RowId(int position) {
    if (position < 0 || position >= Count())
        return -1;
    const TPage* p = page(position / pageSize_);
    const int i = position % pageSize_;
    return i < p->Ids.size() ? p->Ids[i] : -1;
}

int TPagedRows::PositionOf(qint64 rowid) {
    if (rowid < 0 || !table_ || !table_->Active() || Count() == 0)
        return -1;
    for (auto it = pages_.cbegin(); it != pages_.cend(); ++it) {
        const qsizetype i = it->Ids.indexOf(rowid);
        if (i >= 0)
            return it.key() * pageSize_ + int(i);
    }
    QVariantList binds = filter_.Binds;
    binds.append(rowid);
    if (select(where(QStringLiteral("rowid=?")), binds, false).isEmpty())
        return -1;
    if (order_.isEmpty()) {
        ++queries_;
        const QList<TRow> r = table_->Select(
            QStringLiteral("SELECT count(*) FROM %1").arg(Quoted(table_->TableName())) + where("rowid<?"),
            binds);
        return r.isEmpty() ? -1 : r.first().value(0).toInt();
    }
    // In another order the rows before it are walked, rowids only (an index serves them).
    ++queries_;
    QSqlQuery q(table_->Database());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT rowid FROM %1").arg(Quoted(table_->TableName())) + where() +
                   orderBy(false)))
        throw EVeskError(QStringLiteral("Не удалось прочитать таблицу %1: %2")
                             .arg(QFileInfo(table_->FilePath()).fileName(),
                                  SqlErrorReason(q.lastError(), table_->FilePath(), false)));
    for (const QVariant& v : filter_.Binds)
        q.addBindValue(v);
    if (!q.exec())
        throw EVeskError(QStringLiteral("Не удалось прочитать таблицу %1: %2")
                             .arg(QFileInfo(table_->FilePath()).fileName(),
                                  SqlErrorReason(q.lastError(), table_->FilePath(), false)));
    for (int position = 0; q.next(); ++position)
        if (q.value(0).toLongLong() == rowid)
            return position;
    return -1;
}

QList<qint64> TPagedRows::RowIds(int first, int count) {
    QList<qint64> ids;
    if (count <= 0 || first < 0 || !table_ || !table_->Active() || Count() == 0)
        return ids;
    const QList<TRow> rows =
        select(where() + orderBy(false) + QStringLiteral(" LIMIT %1 OFFSET %2").arg(count).arg(first),
               filter_.Binds, false);
    for (const TRow& r : rows)
        ids.append(r.value(0).toLongLong());
    return ids;
}

std::optional<TRow> TPagedRows::RowById(qint64 rowid) {
    if (!table_ || !table_->Active())
        return std::nullopt;
    // One row by its rowid costs no walk: it is not counted among the reads.
    QList<TRow> rows = table_->Select(QStringLiteral("SELECT rowid,%1 FROM %2 WHERE rowid=?")
                                          .arg(columnList(), Quoted(table_->TableName())),
                                      {rowid});
    if (rows.isEmpty())
        return std::nullopt;
    rows.first().removeFirst();
    return rows.first();
}

QList<TRow> TPagedRows::AllRows(const TSqlFilter& extra) {
    if (!table_ || !table_->Active())
        return {};
    QList<TRow> rows = select(where(extra.Where) + orderBy(false), filter_.Binds + extra.Binds, true);
    for (TRow& r : rows)
        r.removeFirst();
    return rows;
}
