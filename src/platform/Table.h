#pragma once
// Journal tables: each table is one SQLite file in the alias folder, named as the
// station's table file ("tests1.DB", "Test23.DB", "BlockNum.DB", "РВ.db"), holding one
// table named as the file without its extension, with the columns in the given order.
// Dates are stored as 'yyyy-MM-dd' text, times as 'HH:mm:ss.zzz' text, blank values as
// NULL; every connection runs with PRAGMA synchronous=FULL. A table is created from its
// column list only when its file does not exist (or exists and holds no table at all);
// an existing table is never re-created.

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVariant>
#include <memory>
#include <optional>

class QSqlError;
class QSqlQuery;

/// What went wrong with a table file, for the operator: the cause in Russian (a damaged
/// file, a read-only folder, no rights, a full disk...) with the file's path, then the
/// database engine's own text on a line of its own. writing: the failed step changed
/// the file.
QString SqlErrorReason(const QSqlError& error, const QString& path, bool writing);

/// Removes from folder the work files ("<table file>.new<pid>" and SQLite's "-journal",
/// "-wal" and "-shm" of it) that a run killed while it made a table left behind, when
/// their process has ended.
void RemoveStaleTableFiles(const QString& folder);

enum class TFieldType { String, Date, Time, Integer, SmallInt, Float, Memo };

struct TFieldDef {
    QString Name;
    TFieldType Type = TFieldType::String;
    int Size = 0; // characters, for String
    bool Required = false;
};

/// One row as values in column order.
using TRow = QList<QVariant>;

class TTable {
public:
    /// folder: the alias folder (with or without trailing '/'); fileName: "tests1.DB".
    TTable(QString folder, QString fileName, QList<TFieldDef> fields, QStringList primaryKey = {});
    ~TTable();
    TTable(const TTable&) = delete;
    TTable& operator=(const TTable&) = delete;

    QString FilePath() const;
    QString TableName() const; // file name without extension
    const QList<TFieldDef>& Fields() const { return fields_; }
    int FieldIndex(const QString& name) const; // -1 when absent

    bool Exists() const;
    /// Creates the file and its table (with the primary key). Raises EVeskError.
    void CreateTable();
    /// Opens the file; raises EVeskError when it is missing or is not such a table.
    void Open();
    /// Opens, creating the table first when the file does not exist, or when it exists
    /// but holds no table at all (a file left empty). Any other file is never changed.
    void OpenOrCreate();
    void Close();
    bool Active() const { return active_; }

    /// Appends one row. Strings are cut to their column width in characters; empty
    /// strings and null variants are stored as NULL; QDate/QTime become their texts.
    /// Raises EVeskError on any failure (the row is then not stored).
    void Append(const TRow& values);
    /// Finds the row whose primary key equals key (values in key order).
    std::optional<TRow> FindKey(const TRow& key);
    /// Inserts or replaces the row with the row's primary key.
    void Post(const TRow& values);
    /// Deletes the row with the given primary key; true when one was deleted.
    bool DeleteKey(const TRow& key);
    /// Runs a SELECT on this table's connection; values come back converted (dates and
    /// times as QDate/QTime). Raises EVeskError on a bad query.
    QList<TRow> Select(const QString& sql, const QVariantList& binds = {});
    /// All rows in storage order (rowid).
    QList<TRow> AllRows();
    /// Runs a statement (UPDATE/DELETE) on this table; returns rows affected.
    int Exec(const QString& sql, const QVariantList& binds = {});
    QSqlDatabase Database() const;

private:
    QVariant toStored(int column, const QVariant& v) const;
    QVariant fromStored(int column, const QVariant& v) const;
    void openConnection(bool fresh, const QString& path = {});
    QString createStatement() const;
    bool holdsNoTable();
    void closeConnection();
    QString quotedTable() const;
    QString keyCondition() const;
    QVariantList storedKey(const TRow& key, const QString& action) const;
    void insertRow(const TRow& values, const QString& action);
    QString reason(const QSqlError& error, bool writing) const;

    QString folder_;
    QString fileName_;
    QList<TFieldDef> fields_;
    QStringList key_;
    QString connection_;
    bool active_ = false;
    std::unique_ptr<QSqlQuery> insert_; // prepared once per open: the journal appends often
};
