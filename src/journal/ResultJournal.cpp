#include "journal/ResultJournal.h"

#include "journal/report/ReportLayer.h"

#include "platform/DateFormat.h"
#include "platform/Errors.h"
#include "runs/JournalWriters.h"
#include "runs/TestState.h"

#include <QLoggingCategory>
#include <QScopedValueRollback>
#include <QSqlError>

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

void TResultJournal::SetSelectedRowIds(const QList<qint64>& rowids) {
    // The moments go to a table of the browser's own connection, for the filter's SQL.
    table_.Exec("CREATE TEMP TABLE IF NOT EXISTS vesk_selected(d TEXT, t TEXT)");
    table_.Exec("DELETE FROM temp.vesk_selected");
    for (qsizetype at = 0; at < rowids.size(); at += 500) {
        QStringList ids;
        for (qint64 id : rowids.mid(at, 500))
            ids.append(QString::number(id));
        table_.Exec(
            QStringLiteral(
                "INSERT INTO temp.vesk_selected SELECT \"Date\",\"Time\" FROM \"%1\" WHERE rowid IN (%2)")
                .arg(table_.TableName(), ids.join(u',')));
    }
    selectedTable_ = true;
    SelectedKeys.clear();
    for (const TRow& r : table_.Select("SELECT d AS \"Date\", t AS \"Time\" FROM temp.vesk_selected"))
        SelectedKeys.append(RowKey(r.value(0).toDate(), r.value(1).toTime()));
}

TSqlFilter TResultJournal::Filter() const {
    QStringList parts;
    QVariantList binds;
    if ((FilterFlags & FilterSelected) && !AllRecords)
        parts.append(selectedTable_
                         ? QStringLiteral("(\"Date\",\"Time\") IN (SELECT d,t FROM temp.vesk_selected)")
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
    return std::make_shared<TJournalReportRows>(&table_, FilterFlags ? Filter() : TSqlFilter{});
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
