#include "journal/ResultJournal.h"

#include "journal/report/ReportLayer.h"

#include "platform/DateFormat.h"
#include "platform/Errors.h"
#include "runs/JournalWriters.h"
#include "runs/TestState.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QScopedValueRollback>
#include <QSqlError>
#include <utility>

Q_LOGGING_CATEGORY(lcResultJournal, "vesk.journal.results")

namespace {

QString Pad(int value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QChar(u'0'));
}

// Date and time display formats of each browser's fields.
struct TDisplayFormats {
    const char* Date;
    const char* Time;
};
TDisplayFormats Formats(TJournalKind kind) {
    return kind == TJournalKind::SelfTest ? TDisplayFormats{"dd.mm.yy", "hh:mm"}
                                          : TDisplayFormats{"dd/mm/yy", "hh:nn"};
}

} // namespace

const QList<TJournalColumn>& TResultJournal::Columns(TJournalKind kind) {
    static const QList<TJournalColumn> selfTest{
        {"Date", "Дата"},
        {"Time", "Время"},
        {"Event", "Режим"},
        {"Mehanik", "Механик"},
        {"ResultWord", "Результат", true, true},
        {"ResultCod", "Код результата"},
        {"ToolWord", "Служебное слово"},
        {"PrmMv1", "ПРМ МВ1"},
        {"PrdMv1", "ПРД МВ1"},
        {"PrmMv2", "ПРМ МВ2"},
        {"PrdMv2", "ПРД МВ2"},
        {"PrmMv3", "ПРМ МВ3"},
        {"PrdMv3", "ПРД МВ3"},
        {"DeviacM", "Верхний порог девивции МВ"},
        {"DeviacG", "Верхний порог девивции ГМВ"},
        {"DeviacM2", "Нижий порог девивции МВ"},
        {"DeviacG2", "Нижий порог девивции ГМВ"},
        {"Osl_mw", "Ослабление аттенюатора МВ", false},
        {"osl_gmw", "Ослабление аттенюатора ГМВ", false},
        {"reserv", "Резерв", false},
    };
    static const QList<TJournalColumn> radioTest{
        {"Date", "Дата"},
        {"Time", "Время"},
        {"Event", "Режим"},
        {"Direction", "Направление"},
        {"Mehanik", "Механик"},
        {"Train", "Поезд"},
        {"Loko", "Локомотив"},
        {"ResultWord", "Итог"},
        {"ResultCod", "Код ошибки"},
        {"DeviacM", "Девиация МВ"},
        {"DeviacG", "Девиация ГМВ"},
        {"Sens_mw_itog", "Чув. МВ - итог", false},
        {"Sens_mw_osl", "Чув. МВ-ослабление", false},
        {"Sens_gmw_itog", "Чув. ГМВ-итог ", false},
        {"Sens_gmw_osl", "Чув. ГМВ-ослабление", false},
        {"MesM", "Сообщения МВ"},
        {"MesG", "Сообщения ГМВ"},
    };
    return kind == TJournalKind::SelfTest ? selfTest : radioTest;
}

TResultJournal::TResultJournal(TJournalKind kind, const QString& folder)
    : kind_(kind),
      table_(folder, QString::fromLatin1(kind == TJournalKind::SelfTest ? Tests1FileName : Test23FileName),
             kind == TJournalKind::SelfTest ? Tests1Fields() : Test23Fields()),
      rows_(&table_) {}

void TResultJournal::Open() {
    table_.Open();
    selectedTable_ = false;
    ApplyFilter();
}

bool TResultJournal::NotMadeYet() const {
    // A link that leads nowhere, a folder or anything else in the table's place is not
    // an empty journal: opening it says what is there.
    const QFileInfo place(table_.FilePath());
    return !place.exists() && !place.isSymLink();
}

void TResultJournal::Close() {
    table_.Close();
    rows_.Invalidate();
}

QString TResultJournal::text(const TRow& row, const QString& field) const {
    return row.value(FieldIndex(field)).toString();
}

QString TResultJournal::DisplayText(const TRow& row, const QString& field) const {
    return DisplayValue(kind_, row.value(FieldIndex(field)));
}

QString TResultJournal::DisplayValue(TJournalKind kind, const QVariant& value) {
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().isValid() ? FormatDateTime(QString::fromLatin1(Formats(kind).Date),
                                                         QDateTime(value.toDate(), QTime(0, 0)))
                                        : QString();
    if (value.typeId() == QMetaType::QTime)
        return value.toTime().isValid() ? FormatDateTime(QString::fromLatin1(Formats(kind).Time),
                                                         QDateTime(QDate(2000, 1, 1), value.toTime()))
                                        : QString();
    return value.toString();
}

int TRowSelection::Rows() const {
    int rows = 0;
    for (const TRowIdRun& run : Runs)
        rows += run.Rows;
    return rows;
}

namespace {
// The condition that picks the rows of a selection from rowid first to rowid last, with its
// values in front of the filter's.
QString RunCondition(const TSqlFilter& filter) {
    return filter.Where.isEmpty() ? QStringLiteral("rowid BETWEEN ? AND ?")
                                  : QStringLiteral("rowid BETWEEN ? AND ? AND (%1)").arg(filter.Where);
}
QVariantList RunBinds(const TSqlFilter& filter, qint64 first, qint64 last) {
    return QVariantList{first, last} + filter.Binds;
}
} // namespace

TSelectionWalk::TSelectionWalk(TTable& table, TRowSelection selection, int sliceRows, TAction action)
    : table_(table), selection_(std::move(selection)), sliceRows_(std::max(1, sliceRows)),
      action_(std::move(action)), total_(selection_.Rows()) {
    if (!selection_.Runs.isEmpty())
        next_ = selection_.Runs.first().First;
}

bool TSelectionWalk::Step() {
    while (run_ < selection_.Runs.size() &&
           (runDone_ >= selection_.Runs[run_].Rows || next_ > selection_.Runs[run_].Last)) {
        if (++run_ < selection_.Runs.size())
            next_ = selection_.Runs[run_].First;
        runDone_ = 0;
    }
    if (run_ >= selection_.Runs.size()) {
        if (OnEnd)
            std::exchange(OnEnd, nullptr)();
        return false;
    }
    const TRowIdRun& run = selection_.Runs[run_];
    const QString condition = RunCondition(selection_.Filter);
    // The slice ends at its last row by count, however sparse the rowids are.
    const QList<TRow> end =
        table_.Select(QStringLiteral("SELECT rowid FROM \"%1\" WHERE %2 ORDER BY rowid LIMIT 1 OFFSET %3")
                          .arg(table_.TableName(), condition)
                          .arg(sliceRows_ - 1),
                      RunBinds(selection_.Filter, next_, run.Last));
    const qint64 last = end.isEmpty() ? run.Last : end.first().value(0).toLongLong();
    action_(condition, RunBinds(selection_.Filter, next_, last));
    const int rows = end.isEmpty() ? run.Rows - runDone_ : sliceRows_;
    runDone_ += rows;
    done_ = std::min(total_, done_ + rows);
    next_ = last + 1;
    if (end.isEmpty())
        runDone_ = run.Rows; // the run is walked, whatever its count said
    return true;
}

QString TSelectedKeys::value(int i) const {
    for (const TRowIdRun& run : selection_.Runs) {
        if (i >= run.Rows) {
            i -= run.Rows;
            continue;
        }
        const QList<TRow> rows =
            table_.Select(QStringLiteral("SELECT \"Date\",\"Time\" FROM \"%1\" WHERE %2 ORDER BY rowid "
                                         "LIMIT 1 OFFSET %3")
                              .arg(table_.TableName(), RunCondition(selection_.Filter))
                              .arg(i),
                          RunBinds(selection_.Filter, run.First, run.Last));
        return rows.isEmpty() ? QString()
                              : RowKey(rows.first().value(0).toDate(), rows.first().value(1).toTime());
    }
    return {};
}

void TResultJournal::SetSelection(const TRowSelection& selection) {
    SelectedKeys.Assign(selection);
    selectedTable_ = false;
    reportCount_.reset();
}

std::unique_ptr<TSelectionWalk> TResultJournal::GatherSelectedKeys(int sliceRows) {
    // The moments go to a table of the browser's own connection, for the filter's SQL; keyed,
    // so that every page of the report looks them up instead of gathering them again.
    table_.Exec(
        "CREATE TEMP TABLE IF NOT EXISTS vesk_moments(d TEXT, t TEXT, PRIMARY KEY(d, t)) WITHOUT ROWID");
    table_.Exec("DELETE FROM temp.vesk_moments");
    selectedTable_ = false;
    auto walk = std::make_unique<TSelectionWalk>(
        table_, SelectedKeys.Selection(), sliceRows,
        [this](const QString& condition, const QVariantList& binds) {
            table_.Exec(
                QStringLiteral("INSERT OR IGNORE INTO temp.vesk_moments SELECT \"Date\",\"Time\" FROM "
                               "\"%1\" WHERE %2")
                    .arg(table_.TableName(), condition),
                binds);
        });
    walk->OnEnd = [this] { selectedTable_ = true; };
    return walk;
}

std::unique_ptr<TSelectionWalk> TResultJournal::CountReportRows(const TRowIdRun& shown, int sliceRows) {
    reportCount_.reset();
    // The report's rows lie among those the grid shows: between the same rowids.
    auto counted = std::make_shared<TCounted>(TCounted{0, shown.First, shown.Last, Filter()});
    // Slices of the rows the grid shows, each counted with the selected rows' moments on top.
    auto walk = std::make_unique<TSelectionWalk>(
        table_, TRowSelection{{shown}, rows_.Filter()}, sliceRows,
        [this, counted](const QString& condition, const QVariantList& binds) {
            const QList<TRow> r =
                table_.Select(QStringLiteral("SELECT count(*) FROM \"%1\" WHERE %2 AND "
                                             "(\"Date\",\"Time\") IN (SELECT d,t FROM temp.vesk_moments)")
                                  .arg(table_.TableName(), condition),
                              binds);
            counted->Rows += r.isEmpty() ? 0 : r.first().value(0).toInt();
        });
    walk->OnEnd = [this, counted] { reportCount_ = *counted; };
    return walk;
}

std::unique_ptr<TSelectionWalk> TResultJournal::DeleteSelection(const TRowSelection& selection,
                                                                int sliceRows) {
    return std::make_unique<TSelectionWalk>(
        table_, selection, sliceRows, [this](const QString& condition, const QVariantList& binds) {
            QSqlDatabase db = table_.Database();
            const auto fail = [this](const QSqlError& error) {
                return EVeskError(
                    QStringLiteral("Не удалось удалить строки из таблицы %1: %2")
                        .arg(table_.TableName(), SqlErrorReason(error, table_.FilePath(), true)));
            };
            if (!db.transaction())
                throw fail(db.lastError());
            try {
                table_.Exec(QStringLiteral("DELETE FROM \"%1\" WHERE %2").arg(table_.TableName(), condition),
                            binds);
                if (!db.commit())
                    throw fail(db.lastError());
            } catch (...) {
                db.rollback();
                throw;
            }
        });
}

TSqlFilter TResultJournal::Filter() const {
    QStringList parts;
    QVariantList binds;
    if ((FilterFlags & FilterSelected) && !AllRecords)
        parts.append(selectedTable_
                         ? QStringLiteral("(\"Date\",\"Time\") IN (SELECT d,t FROM temp.vesk_moments)")
                         : QStringLiteral("0"));
    if ((FilterFlags & FilterLoco) && kind_ == TJournalKind::RadioTest) {
        parts.append(QStringLiteral("\"Loko\"=?"));
        binds.append(LocoFilter);
    }
    if (FilterFlags & FilterDates) {
        // A row's date is its whole day: it passes from the first day whose midnight is
        // not before DateFrom, up to the day of DateTo.
        const QDate from = DateFrom.time() > QTime(0, 0) ? DateFrom.date().addDays(1) : DateFrom.date();
        parts.append(QStringLiteral("\"Date\">=? AND \"Date\"<=?"));
        binds.append(from);
        binds.append(DateTo.date());
    }
    return {parts.join(QStringLiteral(" AND ")), binds};
}

void TResultJournal::ApplyFilter() {
    rows_.SetFilter(FilterFlags ? Filter() : TSqlFilter{});
}

QList<TRow> TResultJournal::FilteredRows() {
    if (!table_.Active())
        return {};
    QStringList names;
    for (const TFieldDef& f : table_.Fields())
        names.append(u'"' + f.Name + u'"');
    const TSqlFilter f = FilterFlags ? Filter() : TSqlFilter{};
    return table_.Select(QStringLiteral("SELECT %1 FROM \"%2\"%3 ORDER BY rowid")
                             .arg(names.join(u','), table_.TableName(),
                                  f.Where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + f.Where),
                         f.Binds);
}

namespace {
// A report's rows through a paged reader of its own, so that the browser's pages stay put.
class TJournalReportRows : public TReportRowSource {
public:
    TJournalReportRows(TTable* table, const TSqlFilter& filter) : rows_(table, 256, 4) {
        rows_.SetFilter(filter);
    }
    int Count() override { return rows_.Count(); }
    void SetCount(int count, qint64 first, qint64 last) { rows_.SetCount(count, first, last); }
    QList<TRow> Rows(int first, int count) override {
        QList<TRow> rows;
        for (int i = first; i < first + count && i < rows_.Count(); ++i)
            rows.append(rows_.Row(i));
        return rows;
    }

private:
    TPagedRows rows_;
};
} // namespace

std::shared_ptr<TReportRowSource> TResultJournal::ReportRows() {
    const TSqlFilter filter = FilterFlags ? Filter() : TSqlFilter{};
    auto rows = std::make_shared<TJournalReportRows>(&table_, filter);
    // Counted in slices already: the same filter, so the same rows.
    if (reportCount_ && reportCount_->Filter.Where == filter.Where &&
        reportCount_->Filter.Binds == filter.Binds)
        rows->SetCount(reportCount_->Rows, reportCount_->First, reportCount_->Last);
    return rows;
}

int TResultJournal::DeleteRows(const QList<qint64>& rowids) {
    if (rowids.isEmpty())
        return 0;
    QSqlDatabase db = table_.Database();
    if (!table_.Active() || !db.transaction())
        throw EVeskError(QStringLiteral("Не удалось удалить строки из таблицы %1: %2")
                             .arg(table_.TableName(),
                                  table_.Active() ? SqlErrorReason(db.lastError(), table_.FilePath(), true)
                                                  : QStringLiteral("таблица не открыта")));
    int deleted = 0;
    try {
        for (qsizetype at = 0; at < rowids.size(); at += 500) {
            QStringList ids;
            for (qint64 id : rowids.mid(at, 500))
                ids.append(QString::number(id));
            deleted += table_.Exec(QStringLiteral("DELETE FROM \"%1\" WHERE rowid IN (%2)")
                                       .arg(table_.TableName(), ids.join(u',')));
        }
        if (!db.commit())
            throw EVeskError(
                QStringLiteral("Не удалось удалить строки из таблицы %1: %2")
                    .arg(table_.TableName(), SqlErrorReason(db.lastError(), table_.FilePath(), true)));
    } catch (...) {
        db.rollback();
        throw;
    }
    rows_.Invalidate();
    return deleted;
}

QList<TResultLine> TResultJournal::Comments(const TRow& row) const {
    if (row.isEmpty())
        return {};
    if (kind_ == TJournalKind::SelfTest)
        return SelfTestRowLines(text(row, "ResultCod"), text(row, "reserv"));
    return RadioTestRowLines(text(row, "Event"), text(row, "ResultCod"));
}

QString RowKey(const QDate& date, const QTime& time) {
    return DateToStr(date) + Pad(time.hour(), 2) + Pad(time.minute(), 2) + Pad(time.second(), 2) +
           Pad(time.msec(), 3);
}

void GetKsvFromReserv(const QString& reserv) {
    VswrTextMv = reserv.size() >= 1 ? VswrTextFromPacked(reserv[0]) : QStringLiteral("???");
    VswrTextGmv = reserv.size() >= 2 ? VswrTextFromPacked(reserv[1]) : QStringLiteral("???");
}

QList<TResultLine> SelfTestRowLines(const QString& code, const QString& reserv) {
    GetKsvFromReserv(reserv);
    const QScopedValueRollback<bool> fromDb(VswrFromDb, true);
    return SelfTestLines(code);
}

QList<TResultLine> RadioTestRowLines(const QString& event, const QString& code) {
    if (event.isEmpty() || !event.back().isDigit() || event.back().digitValue() < 0)
        return {{QStringLiteral("Неверный код результата"), ResultRed}};
    const int test = event.back().digitValue();
    const QString serviceWord = event.contains(QStringLiteral("Тест")) ? QString() : QStringLiteral("070000");
    return RadioTestLines(test, code, serviceWord);
}
