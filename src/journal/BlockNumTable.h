#pragma once
// The factory numbers of the radio station's blocks ("BlockNum.DB"): one row per
// locomotive and distinct set of eight 16-digit numbers, with the moment the set was
// entered and the moment the device last reported it. TBlockNumTable is the data set the
// window shows and edits and the device import writes through; SaveBlockNums imports.

#include "platform/PagedRows.h"
#include "platform/Table.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

inline constexpr const char* BlockNumFileName = "BlockNum.DB";

/// Columns of "BlockNum.DB", in order.
enum TBlockNumColumn {
    bnLoko = 0,
    bnBlock1 = 1, // Block1 .. Block8 are 1 .. 8
    bnD = 9,
    bnT = 10,
    bnKind = 11,
    bnLastD = 12,
    bnLastT = 13,
    bnColumnCount = 14,
};

/// Origin of a row: entered by hand or reported by the device.
inline constexpr int KindByHand = 1;
inline constexpr int KindFromDevice = 2;

/// States of the data set, as the navigator and the print button follow them.
enum class TDataState { Inactive, Browse, Edit, Insert };

/// True only while SaveBlockNums writes: the edit guard then lets any row be edited.
extern bool BlockNumImporting;

/// "BlockNum.DB" as a data set: rows in key order, a current row and the browse, edit and
/// insert states. Every change is written at once (post); errors are raised as EVeskError
/// with a Russian message. Rows are read a page at a time, only when asked for: a save
/// while nobody looks at the rows reads none of them.
class TBlockNumTable : public QObject {
    Q_OBJECT
public:
    explicit TBlockNumTable(QString folder, QObject* parent = nullptr);
    ~TBlockNumTable() override;

    static QList<TFieldDef> Fields();
    /// Key fields: Loko;Block1;...;Block8.
    static QStringList KeyFields();
    /// "Вручную" for kind 1, "Автоматически" for 2, empty otherwise.
    static QString KindCapt(const QVariant& kind);

    /// Opens the table, creating it from Fields() when its file does not exist.
    void Open();
    void Close();
    bool Active() const;
    QString FilePath() const;

    TDataState State() const { return state_; }
    int RowCount() const;
    /// Position of the current row; -1 when there is none.
    int CurrentIndex() const;
    /// Moves to another row; a pending edit must be finished first (raises otherwise).
    void SetCurrentIndex(int index);
    /// A row as shown: the pending values for the row being edited or inserted.
    TRow Row(int index) const;
    QVariant Value(int column) const;
    /// Changes a value of the current row, entering the edit state first when browsing.
    /// A text longer than its column, or a date or time that is not valid (as a value or
    /// as "dd.MM.yyyy" / "hh:mm:ss" text), is refused with ERangeError naming the column.
    void SetValue(int column, const QVariant& value);

    void Edit();
    /// Starts a new row at the end (the new-row rule fills Kind, d and t).
    void Append();
    void Post();
    void Cancel();
    /// Deletes the current row.
    void Delete();
    /// Finds a row by the nine key values, exactly; it becomes the current row.
    bool Locate(const TRow& key);
    /// Reloads the rows (the current row is kept by its key when it still exists).
    void Refresh();
    /// Reads of the rows so far (counts and pages; key look-ups and writes excluded).
    int RowReads() const { return rows_.Queries(); }

signals:
    void StateChanged();
    void RowsChanged();
    /// A value of one row changed (the rows themselves stay).
    void RowChanged(int index);
    void CurrentChanged(int index);

private:
    void setState(TDataState s);
    void checkActive() const;
    TRow keyOf(const TRow& row) const;
    TRow currentStored() const;
    bool editing() const { return state_ == TDataState::Edit || state_ == TDataState::Insert; }
    // Tells the grid where the current row is, when a grid follows (finding it costs a read).
    void notifyCurrent();

    TTable table_;
    mutable TPagedRows rows_;
    TRow buffer_;                   // pending values in edit and insert state
    TRow bufferKey_;                // key of the row being edited
    mutable qint64 currentId_ = -1; // rowid of the current row; -1: the first row, if any
    mutable int current_ = -1;      // its position; -2 until someone asks
    qint64 beforeInsert_ = -1;      // the current row before an insert, for its cancel
    TDataState state_ = TDataState::Inactive;
};

/// The column's name as the factory-numbers window titles it ("Локомотив", "Блок1", ...).
QString BlockNumColumnTitle(int column);

/// The data set the factory-numbers window shows; nullptr before the window exists.
TBlockNumTable* BlockNumTable();
void SetBlockNumTable(TBlockNumTable* table);

/// Saves one set of factory numbers reported by the device (see the window's notes):
/// finishes a pending edit first, then updates the row of the same set or appends a new
/// one. On failure the operator sees the error and the result is false.
bool SaveBlockNums(const QString& loko, int kind, const QDateTime& when, const QStringList& blocks);

/// Text of the print query: item 0 the current set of each locomotive, item 1 every row.
QStringList BlockNumPrintQuery(int includeItem);
