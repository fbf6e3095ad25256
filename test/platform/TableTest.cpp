#include "platform/Table.h"
#include "platform/Errors.h"
#include "support/TestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QList<TFieldDef> JournalFields() {
    return {{"Date", TFieldType::Date},        {"Time", TFieldType::Time},
            {"Event", TFieldType::String, 10}, {"Mehanik", TFieldType::String, 13},
            {"Kind", TFieldType::SmallInt},    {"Vswr", TFieldType::Float},
            {"Note", TFieldType::Memo}};
}

QList<TFieldDef> BlockFields() {
    return {{"Loko", TFieldType::String, 8, true},
            {"Block1", TFieldType::String, 16},
            {"Block2", TFieldType::String, 16},
            {"Kind", TFieldType::SmallInt}};
}

// Reads the file through a connection of its own, as another program would.
QList<QStringList> RawRows(const QString& path, const QString& sql) {
    QList<QStringList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
        db.setDatabaseName(path);
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        if (db.open()) {
            QSqlQuery q(db);
            if (!q.exec(sql))
                rows.append({"error", q.lastError().text()});
            while (q.next()) {
                QStringList row;
                for (int i = 0; i < q.record().count(); ++i)
                    row << q.value(i).toString();
                rows.append(row);
            }
        }
    }
    QSqlDatabase::removeDatabase("raw");
    return rows;
}

QString Raised(const std::function<void()>& f) {
    try {
        f();
    } catch (const EVeskError& e) {
        return e.Message();
    }
    return {};
}

class TableTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
};

} // namespace

TEST_F(TableTest, AppendsAndReadsBackInStoredForms) {
    TTable table(dir_.path(), "tests1.DB", JournalFields());
    EXPECT_EQ(table.TableName(), "tests1");
    table.OpenOrCreate();
    ASSERT_TRUE(table.Active());

    const QDate date(2026, 1, 15);
    const QTime time(9, 5, 7, 30);
    table.Append({date, time, "Тест 1 и ещё много слов", "", 2, 1.5, "заметка"});
    table.Append({QVariant(), QVariant(), "Запись"}); // the rest left out: stored as NULL

    const QList<TRow> rows = table.AllRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], TRow({date, time, "Тест 1 и е", QString(), 2, 1.5, "заметка"}));
    EXPECT_EQ(rows[1][2], "Запись");
    EXPECT_FALSE(rows[1][0].toDate().isValid());
    EXPECT_TRUE(rows[1][4].isNull());
    EXPECT_EQ(rows[1][3].typeId(), QMetaType::QString);

    // Dates and times are plain texts in the file and blanks are NULL, for any other reader.
    EXPECT_EQ(RawRows(table.FilePath(), "SELECT Date, Time, typeof(Mehanik), typeof(Kind), "
                                        "typeof(Note) FROM tests1 ORDER BY rowid"),
              QList<QStringList>({{"2026-01-15", "09:05:07.030", "null", "integer", "text"},
                                  {"", "", "null", "null", "null"}}));
    EXPECT_EQ(table.Select("PRAGMA synchronous"), QList<TRow>({{2}})); // FULL: a row survives a power cut

    // Parameters of Select take dates as the program holds them.
    const QList<TRow> found = table.Select("SELECT Event, count(*) AS n FROM tests1 WHERE Date = ?", {date});
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0], TRow({"Тест 1 и е", 1}));
    EXPECT_EQ(table.Exec("DELETE FROM tests1 WHERE Date IS NULL"), 1);
}

TEST_F(TableTest, RejectedRowsAreNotStored) {
    TTable table(dir_.path(), "BlockNum.DB", BlockFields(), {"Loko", "Block1", "Block2"});
    table.OpenOrCreate();
    table.Append({"1234567", "1", "2", 2});

    EXPECT_TRUE(Raised([&] {
                    table.Append({"1234567", "1", "2", 1});
                }).startsWith("Не удалось записать строку в таблицу BlockNum.DB: "));
    EXPECT_THROW(table.Append({"1234568", "1", "2", 40000}), ERangeError);
    EXPECT_THROW(table.Append({"", "1"}), EVeskError); // the required locomotive left blank
    EXPECT_THROW(table.Append({"1234568", "1", "2", 1, "extra"}), ERangeError);
    EXPECT_EQ(table.AllRows().size(), 1);

    TTable dates(dir_.path(), "d.DB", {{"d", TFieldType::Date}, {"t", TFieldType::Time}});
    dates.OpenOrCreate();
    EXPECT_THROW(dates.Append({"31.02.2026"}), ERangeError);
    dates.Append({"2026-02-28", "10:11"});
    EXPECT_EQ(dates.AllRows(), QList<TRow>({{QDate(2026, 2, 28), QTime(10, 11)}}));

    table.Close();
    EXPECT_THROW(table.Append({"7654321"}), EVeskError);
}

TEST_F(TableTest, KeyedRowsWithBlankKeyPartsAreFoundAndReplaced) {
    TTable table(dir_.path(), "BlockNum.DB", BlockFields(), {"Loko", "Block1", "Block2"});
    table.OpenOrCreate();
    table.Post({"1234567", "1111", "", 2});
    table.Post({"1234567", "1111", "", 1}); // same key with a blank part: the row is replaced
    table.Post({"1234567", "2222", "", 2});
    EXPECT_EQ(table.AllRows(),
              QList<TRow>({{"1234567", "1111", QString(), 1}, {"1234567", "2222", QString(), 2}}));

    const std::optional<TRow> row = table.FindKey({"1234567", "2222", ""});
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->at(3), 2);
    EXPECT_FALSE(table.FindKey({"1234567", "3333", ""}).has_value());
    EXPECT_THROW(table.FindKey({"1234567"}), ERangeError);

    EXPECT_TRUE(table.DeleteKey({"1234567", "1111", QVariant()}));
    EXPECT_FALSE(table.DeleteKey({"1234567", "1111", QVariant()}));
    EXPECT_EQ(table.AllRows().size(), 1);
}

TEST_F(TableTest, ExistingFileIsNeverRecreatedAndMissingOneNeverMade) {
    TTable missing(dir_.path(), "Test23.DB", JournalFields());
    EXPECT_FALSE(missing.Exists());
    EXPECT_TRUE(Raised([&] { missing.Open(); }).startsWith("Не удалось открыть таблицу Test23.DB: "));
    EXPECT_FALSE(QFile::exists(missing.FilePath()));
    EXPECT_FALSE(missing.Active());

    {
        TTable first(dir_.path() + "/", "Test23.DB", JournalFields());
        first.OpenOrCreate();
        first.Append({QDate(2026, 1, 1), QTime(1, 2, 3), "Тест 2"});
    }
    TTable again(dir_.path(), "Test23.DB", JournalFields());
    EXPECT_THROW(again.CreateTable(), EVeskError);
    again.OpenOrCreate();
    EXPECT_EQ(again.AllRows().size(), 1);

    // A file of another kind, or of another table, is refused and left as it was.
    QFile junk(dir_.path() + "/junk.DB");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    TTable notDb(dir_.path(), "junk.DB", JournalFields());
    EXPECT_THROW(notDb.Open(), EVeskError);
    EXPECT_THROW(notDb.OpenOrCreate(), EVeskError);
    EXPECT_EQ(QFileInfo(junk.fileName()).size(), 4096);

    ASSERT_TRUE(QFile::copy(again.FilePath(), dir_.path() + "/other.DB"));
    TTable otherName(dir_.path(), "other.DB", JournalFields());
    EXPECT_THROW(otherName.Open(), EVeskError);
    QList<TFieldDef> wider = JournalFields();
    wider.append({"Extra", TFieldType::String, 5});
    TTable otherColumns(dir_.path(), "Test23.DB", wider);
    EXPECT_TRUE(Raised([&] { otherColumns.Open(); }).contains("Extra"));
}

// A kill between making a journal's file and its table once left an empty file that was
// refused for ever: an existing file that holds no table at all is completed; creation
// itself leaves either no file or a whole table, and nothing beside it.
TEST_F(TableTest, EmptyFileIsCompletedAndCreationLeavesNoLitter) {
    QFile empty(dir_.path() + "/tests1.DB");
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    TTable table(dir_.path(), "tests1.DB", JournalFields());
    table.OpenOrCreate();
    table.Append({QDate(2026, 1, 1), QTime(1, 2, 3), "Тест 1"});
    EXPECT_EQ(table.AllRows().size(), 1);
    table.Close();

    TTable made(dir_.path(), "Test23.DB", JournalFields());
    made.CreateTable();
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files, QDir::Name), QStringList({"Test23.DB", "tests1.DB"}));
    made.Open();
    EXPECT_TRUE(made.AllRows().isEmpty());
}

// A run killed while it made a table leaves its work file (and SQLite's journal of it) beside
// the tables; the next start removes what a process that has ended left, and nothing else.
TEST_F(TableTest, StaleWorkFilesOfAnEndedRunAreRemoved) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const QString dead = QString::number(child), alive = QString::number(::getppid());
    const QStringList stale = {"Test23.DB.new" + dead, "Test23.DB.new" + dead + "-journal",
                               "РВ.db.new" + dead, "РВ.db.new" + dead + "-journal", "BlockNum.DB.new" + dead};
    const QStringList kept = {"tests1.DB", "tests1.DB.new" + alive, "tests1.DB.new" + alive + "-journal",
                              "notes.txt.new" + dead,
                              // no process number: left to whoever made them
                              "BlockNum.DB.new-999999", "BlockNum.DB.new0", "BlockNum.DB.new99999999999",
                              "BlockNum.DB.newer", "BlockNum.DB.new" + dead + ".bak"};
    for (const QString& name : stale + kept) {
        QFile f(dir_.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
    }
    RemoveStaleTableFiles(dir_.path());
    QStringList expected = kept;
    expected.sort();
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files, QDir::Name), expected);
}

TEST_F(TableTest, UnwritablePlaceRaisesAndLeavesNothing) {
    QFile blocker(dir_.path() + "/not-a-folder");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TTable table(blocker.fileName(), "tests1.DB", JournalFields());
    EXPECT_TRUE(Raised([&] { table.CreateTable(); }).startsWith("Не удалось создать таблицу tests1.DB: "));
    EXPECT_THROW(table.OpenOrCreate(), EVeskError);
    EXPECT_FALSE(table.Active());

    TTable noParent(dir_.path() + "/no/such/folder", "tests1.DB", JournalFields());
    EXPECT_THROW(noParent.OpenOrCreate(), EVeskError);
    EXPECT_FALSE(QDir(dir_.path() + "/no").exists());
}

TEST_F(TableTest, CyrillicNamesAndUriCharactersInPath) {
    const QString folder = dir_.path() + "/журнал #1 %20?";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QList<TFieldDef> fields{{"Lokomotiv", TFieldType::String, 7},
                                  {"OslablenieM", TFieldType::SmallInt},
                                  {"OslablenieG", TFieldType::SmallInt}};
    {
        TTable table(folder, "РВ.db", fields, {"Lokomotiv"});
        EXPECT_EQ(table.TableName(), "РВ");
        table.OpenOrCreate();
        table.Post({"0001234", -5, 7});
        table.Post({"0001234", 3, 4});
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList({"РВ.db"}));
    TTable reopened(folder, "РВ.db", fields, {"Lokomotiv"});
    reopened.Open();
    EXPECT_EQ(reopened.FindKey({"0001234"}), std::optional<TRow>(TRow({"0001234", 3, 4})));
}

// What stands in a table file's place is named, and nothing waits on it (a FIFO without a
// writer would hold an open for ever); the engine's failure reads Russian first, SQLite's
// own words after it on a line apart.
TEST_F(TableTest, WhatStandsInATablesPlaceIsNamedAndTheEnginesWordsComeLast) {
    const QString path = dir_.path() + "/Test23.DB";
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[] {}, "файл %1 не найден"},
        {[&] { QDir().mkpath(path); }, "на месте файла %1 находится папка"},
        {[&] { ::mkfifo(QFile::encodeName(path).constData(), 0600); },
         "на месте файла %1 находится именованный канал (FIFO)"},
        {[&] { QFile::link(dir_.path() + "/gone", path); },
         "на месте файла %1 находится ссылка на несуществующий файл"},
    };
    for (const auto& [make, told] : cases) {
        make();
        TTable t(dir_.path(), "Test23.DB", JournalFields());
        EXPECT_EQ(Raised([&] { t.Open(); }),
                  "Не удалось открыть таблицу Test23.DB: " + QString(told).arg(path));
        if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) { // never made anew over it
            EXPECT_TRUE(Raised([&] { t.OpenOrCreate(); }).endsWith(QString(told).arg(path))) << told;
        }
        QDir(path).removeRecursively();
        QFile::remove(path);
    }
    const QSqlError full("Невозможно получить строку", "database or disk is full", QSqlError::StatementError,
                         "13");
    EXPECT_EQ(SqlErrorReason(full, "/data/Test23.DB", true),
              "диск заполнен, файл /data/Test23.DB не может быть записан.\nНевозможно получить строку.\n"
              "Подробности: database or disk is full");
}
