#pragma once
// The journal of results as the two browsers and their reports see it: "tests1.DB" (device
// self-tests and parameter sends) or "Test23.DB" (tests 2 and 3), its grid columns and
// display formats, the selection criteria as SQL, the row key of the selected-rows
// filter, deletion, and the comments that explain a row's result code. No widgets here.

#include "platform/PagedRows.h"
#include "platform/Table.h"
#include "runs/ResultRender.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class TReportRowSource;

enum class TJournalKind { SelfTest, RadioTest };

/// A grid column: the table field it shows, its title, whether it shows at start.
struct TJournalColumn {
    QString Field;
    QString Title;
    bool Visible = true;
    bool Bold = false;
};

/// A run of rows selected together in a browser's grid: from the row with rowid First to the
/// row with rowid Last, Rows rows among those the grid's filter passes. A selection of any
/// size is a few such runs, never a list of its rows.
struct TRowIdRun {
    qint64 First = 0;
    qint64 Last = -1;
    int Rows = 0;
};

/// The rows selected in a browser's grid: runs in the grid's order, and the filter the grid
/// showed them through.
struct TRowSelection {
    QList<TRowIdRun> Runs;
    TSqlFilter Filter;
    int Rows() const;
};

/// Walks the rows of a selection a slice at a time, so that the window thread turns between
/// two slices: each Step hands the SQL condition that picks at most sliceRows of its rows, in
/// order, with that condition's values, to the action.
class TSelectionWalk {
public:
    using TAction = std::function<void(const QString& condition, const QVariantList& binds)>;
    TSelectionWalk(TTable& table, TRowSelection selection, int sliceRows, TAction action);
    /// One slice; false when none was left. Raises EVeskError.
    bool Step();
    /// Rows walked so far, of Total().
    int Done() const { return done_; }
    int Total() const { return total_; }
    /// Called once, by the Step that finds no slice left.
    std::function<void()> OnEnd;

private:
    TTable& table_;
    TRowSelection selection_;
    int sliceRows_;
    TAction action_;
    int run_ = 0;
    qint64 next_ = 0; // the rowid the next slice starts from
    int runDone_ = 0; // rows of the current run walked
    int done_ = 0;
    int total_ = 0;
};

/// Rows a slice of a selection walk holds in the browsers: a slice of them takes a few tens of
/// milliseconds.
inline constexpr int SelectionSliceRows = 5000;

/// The row keys of the rows selected when a report was last started, in the grid's order, read
/// from the table when asked: a selection of any size costs nothing here.
class TSelectedKeys {
public:
    explicit TSelectedKeys(TTable& table) : table_(table) {}
    void Assign(const TRowSelection& selection) { selection_ = selection; }
    const TRowSelection& Selection() const { return selection_; }
    int size() const { return selection_.Rows(); }
    bool isEmpty() const { return size() == 0; }
    void clear() { selection_ = {}; }
    /// The key of the i-th selected row; empty when there is none (or it went). Raises EVeskError.
    QString value(int i) const;

private:
    TTable& table_;
    TRowSelection selection_;
};

/// Bits of TResultJournal::FilterFlags.
enum TFilterBit : uint32_t { FilterSelected = 1, FilterLoco = 2, FilterDates = 4 };

/// One result table with the filter state of its browser.
class TResultJournal {
public:
    /// folder: the alias folder of the journal.
    TResultJournal(TJournalKind kind, const QString& folder);
    TResultJournal(const TResultJournal&) = delete;
    TResultJournal& operator=(const TResultJournal&) = delete;

    TJournalKind Kind() const { return kind_; }
    static const QList<TJournalColumn>& Columns(TJournalKind kind);
    const QList<TJournalColumn>& Columns() const { return Columns(kind_); }
    /// Index of a field in the table's column order; -1 when absent.
    int FieldIndex(const QString& name) const { return table_.FieldIndex(name); }
    /// The text a grid cell or a printed field shows for the field of a row.
    QString DisplayText(const TRow& row, const QString& field) const;
    /// A value as the journal of this kind shows it: the self-test journal dates
    /// "dd.mm.yy" and times "hh:mm", the tests 2/3 journal "dd/mm/yy" and "hh:nn".
    static QString DisplayValue(TJournalKind kind, const QVariant& value);

    /// Opens the table (not creating it). Raises EVeskError with the reason.
    void Open();
    /// Nothing stands in the table's place yet: the journal has no rows, and the first result
    /// written makes the table.
    bool NotMadeYet() const;
    void Close();
    bool Active() const { return table_.Active(); }
    TTable& Table() { return table_; }
    /// The rows that pass the filter, in the order they were appended.
    TPagedRows& Rows() { return rows_; }

    /// Criteria and report state; the filter is on exactly while FilterFlags is not 0.
    uint32_t FilterFlags = 0;
    QString LocoFilter;
    QDateTime DateFrom;
    QDateTime DateTo;
    /// Row keys of the rows selected when a report was last started.
    TSelectedKeys SelectedKeys{table_};
    /// The report takes every row that meets the criteria ("Все записи"), not only the
    /// selected ones.
    bool AllRecords = true;

    /// Takes these rows as the selected ones (SelectedKeys); the selected-rows filter passes
    /// none of them until the walk that GatherSelectedKeys returns has gone to its end.
    void SetSelection(const TRowSelection& selection);
    /// A walk that gathers the moments of the selected rows for the selected-rows filter.
    /// Raises EVeskError.
    std::unique_ptr<TSelectionWalk> GatherSelectedKeys(int sliceRows = SelectionSliceRows);
    /// After the gathering, with the selected-rows bit on: a walk that counts the rows the
    /// report takes from among those the grid shows (rows the grid shows, first to last), so
    /// that ReportRows() does not count them in one go.
    std::unique_ptr<TSelectionWalk> CountReportRows(const TRowIdRun& shown,
                                                    int sliceRows = SelectionSliceRows);
    /// A walk that deletes the rows of a selection, each slice in a transaction of its own
    /// (the journal writers append between two); Done() tells how many went.
    std::unique_ptr<TSelectionWalk> DeleteSelection(const TRowSelection& selection,
                                                    int sliceRows = SelectionSliceRows);
    /// The filter in force as SQL, every active bit.
    TSqlFilter Filter() const;
    /// Hands the filter to Rows() (the selected rows' bit is never on then: it lives only
    /// while a report is made).
    void ApplyFilter();
    /// Every row the filter passes, the selected-rows bit included: what a report prints.
    QList<TRow> FilteredRows();
    /// The same rows read a page at a time while the table stays open, with the filter in
    /// force now: what a report of any size prints.
    std::shared_ptr<TReportRowSource> ReportRows();
    /// Deletes the rows with these rowids in one transaction; returns how many went.
    /// Raises EVeskError (nothing is deleted then).
    int DeleteRows(const QList<qint64>& rowids);

    /// The comments on a row: the coloured lines its result code stands for. Never
    /// touches the live test state; never raises.
    QList<TResultLine> Comments(const TRow& row) const;

private:
    QString text(const TRow& row, const QString& field) const;

    TJournalKind kind_;
    TTable table_;
    TPagedRows rows_;
    bool selectedTable_ = false;
    // The count of the rows a report of the selected rows takes, once a walk has made it.
    struct TCounted {
        int Rows = 0;
        qint64 First = 0;
        qint64 Last = 0;
        TSqlFilter Filter;
    };
    std::optional<TCounted> reportCount_;
};

/// The key by which the selected-rows filter knows a row: the date in the program's short
/// format, then hour, minute and second with two digits and the millisecond with three.
QString RowKey(const QDate& date, const QTime& time);

/// Sets VswrTextMv and VswrTextGmv from a saved reserv value: one character per band,
/// ten times its VSWR; "???" for a band whose character is missing or not a VSWR.
void GetKsvFromReserv(const QString& reserv);
/// Lines of a saved self-test row: its code with the VSWR saved with it.
QList<TResultLine> SelfTestRowLines(const QString& code, const QString& reserv);
/// Lines of a saved tests 2/3 row: the test is the last digit of Event; a row whose Event
/// is not a test marks both bands blocked.
QList<TResultLine> RadioTestRowLines(const QString& event, const QString& code);
