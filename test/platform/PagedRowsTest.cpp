// The paged window onto a table: every position reads its own row whichever way the
// pages are reached, filters and orders hold, and rows appended later wait for a refresh.
#include "platform/PagedRows.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

class PagedRowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        table_ = std::make_unique<TTable>(dir_.path(), "Rows.DB",
                                          QList<TFieldDef>{{"N", TFieldType::Integer},
                                                           {"Name", TFieldType::String, 10},
                                                           {"Day", TFieldType::Date}});
        table_->OpenOrCreate();
        table_->Exec("BEGIN");
        // N counts up; Name runs the other way, so the two orders differ.
        for (int i = 0; i < 1000; ++i)
            table_->Append(
                {i, QString("n%1").arg(999 - i, 4, 10, QChar('0')), QDate(2026, 1, 1).addDays(i % 10)});
        table_->Exec("COMMIT");
        // Gaps in the rowids, as deletions leave them.
        table_->Exec("DELETE FROM Rows WHERE N % 7 = 3");
    }
    static int Expected(int position) {
        int n = -1;
        for (int seen = -1; seen < position;)
            if (++n % 7 != 3)
                ++seen;
        return n;
    }
    QTemporaryDir dir_;
    std::unique_ptr<TTable> table_;
};

TEST_F(PagedRowsTest, EveryPositionReadsItsRowFromEitherEndOrANeighbour) {
    TPagedRows rows(table_.get(), 16, 4);
    ASSERT_EQ(rows.Count(), 857);
    std::vector<int> order(857);
    for (int i = 0; i < 857; ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    // Random jumps, then a walk backwards from the end, then forwards from the start.
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(rows.Row(order[i]).value(0).toInt(), Expected(order[i])) << order[i];
    for (int p = 856; p >= 700; --p)
        ASSERT_EQ(rows.Row(p).value(0).toInt(), Expected(p)) << p;
    for (int p = 0; p < 200; ++p)
        ASSERT_EQ(rows.Row(p).value(0).toInt(), Expected(p)) << p;
    EXPECT_EQ(rows.Row(856).value(1).toString(), "n0000");
    EXPECT_EQ(rows.Row(0).value(2).toDate(), QDate(2026, 1, 1));
    EXPECT_TRUE(rows.Row(857).isEmpty());
    EXPECT_TRUE(rows.Row(-1).isEmpty());
    EXPECT_EQ(rows.RowId(857), -1);
    EXPECT_EQ(rows.RowId(-1), -1);
    EXPECT_EQ(rows.RowId(0), 1);
    EXPECT_EQ(rows.PositionOf(-5), -1);
}

TEST_F(PagedRowsTest, KeptPagesAreReadOnceAndTheOldestIsDropped) {
    TPagedRows rows(table_.get(), 16, 3);
    rows.Count();
    const int start = rows.Queries();
    for (int p = 0; p < 48; ++p)
        rows.Row(p); // pages 0, 1, 2
    EXPECT_EQ(rows.Queries(), start + 3);
    rows.Row(5);
    rows.Row(40);
    EXPECT_EQ(rows.Queries(), start + 3) << "kept pages are not read again";
    rows.Row(60); // page 3 drops page 1, the least recently used
    rows.Row(20);
    EXPECT_EQ(rows.Queries(), start + 5);
    EXPECT_EQ(rows.Row(20).value(0).toInt(), Expected(20));
}

TEST_F(PagedRowsTest, FilterAndOrderDecideWhichRowsAndWhere) {
    TPagedRows rows(table_.get(), 8, 4);
    rows.SetFilter({"\"Day\" = ?", {QDate(2026, 1, 4)}}); // N % 10 == 3, minus N % 7 == 3
    int expected = 0;
    for (int n = 0; n < 1000; ++n)
        expected += n % 10 == 3 && n % 7 != 3;
    ASSERT_EQ(rows.Count(), expected);
    for (int p = 0; p < rows.Count(); ++p)
        ASSERT_EQ(rows.Row(p).value(0).toInt() % 10, 3);
    EXPECT_EQ(rows.AllRows().size(), expected);
    EXPECT_EQ(rows.AllRows({"\"N\" < ?", {100}}).size(), 8); // 3 and 73 were deleted

    const qint64 id = rows.RowId(20);
    EXPECT_EQ(rows.PositionOf(id), 20);
    rows.Invalidate();
    EXPECT_EQ(rows.PositionOf(id), 20) << "found by counting, no page kept";
    EXPECT_EQ(rows.RowIds(20, 3).value(0), id);
    EXPECT_EQ(rows.RowIds(20, 3).size(), 3);
    EXPECT_EQ(rows.PositionOf(1), -1) << "rowid 1 (N 0) does not pass";
    EXPECT_EQ(rows.RowById(1).value().value(0).toInt(), 0);

    rows.SetFilter({});
    rows.SetOrder({"Name"});
    ASSERT_EQ(rows.Count(), 857);
    EXPECT_EQ(rows.Row(0).value(1).toString(), "n0000");
    EXPECT_EQ(rows.Row(856).value(0).toInt(), 0);
    EXPECT_EQ(rows.Row(855).value(0).toInt(), 1);
    const qint64 last = rows.RowId(856);
    rows.Invalidate();
    EXPECT_EQ(rows.PositionOf(last), 856);
    EXPECT_EQ(rows.PositionOf(99999), -1);
}

TEST_F(PagedRowsTest, RowsAppendedAfterTheCountWaitForInvalidate) {
    TPagedRows rows(table_.get(), 16, 2);
    ASSERT_EQ(rows.Count(), 857);
    rows.Row(0);
    table_->Append({5000, "new", QDate(2026, 2, 1)});
    EXPECT_EQ(rows.Count(), 857);
    EXPECT_EQ(rows.Row(856).value(0).toInt(), 999) << "the last page read from the end fits the first";
    EXPECT_EQ(rows.AllRows().size(), 857);
    rows.Invalidate();
    EXPECT_EQ(rows.Count(), 858);
    EXPECT_EQ(rows.Row(857).value(0).toInt(), 5000);

    const qint64 first = rows.RowId(0);
    table_->Close();
    rows.Invalidate();
    EXPECT_EQ(rows.PositionOf(first), -1);
    EXPECT_TRUE(rows.RowIds(0, 5).isEmpty());
    EXPECT_EQ(rows.Count(), 0);
    EXPECT_TRUE(rows.AllRows().isEmpty());
    EXPECT_FALSE(rows.RowById(1).has_value());
}

} // namespace
