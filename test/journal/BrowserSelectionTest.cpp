// A browser's selection of many rows: the report and the deletion take it as runs of rows,
// never row by row through the grid's reader, and turn the window system between slices.
#include "journal/JournalModel.h"
#include "journal/TFDB23.h"
#include "journal/TForm2.h"
#include "journal/report/ReportPreview.h"
#include "platform/Clock.h"
#include "platform/DateFormat.h"
#include "platform/Table.h"
#include "runs/JournalWriters.h"
#include "runs/TestState.h"
#include "state/Options.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// More rows than two slices of a walk hold.
constexpr int Rows = 2 * SelectionSliceRows + 2001;

class BrowserSelectionTest : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        ResetShortDateFormat();
        clock_.SetNow(QDateTime(QDate(2026, 6, 5), QTime(9, 7, 3)));
        SetClock(&clock_);
        Start();
        ResetTestState();
        // Rows a second apart, numbered by their locomotive; rows 300 and 301 share a moment.
        TTable table(JournalFolder(), Test23FileName, Test23Fields());
        table.OpenOrCreate();
        table.Database().transaction();
        QDateTime moment(QDate(2026, 6, 1), QTime(0, 0));
        for (int i = 0; i < Rows; ++i) {
            if (i != 301)
                moment = moment.addSecs(1);
            table.Append({moment.date(), moment.time(), "Тест 2", "От ВЕСК", "6093", "1234", Loko(i), "Норма",
                          "0000000", "35", "40", "45", "0", "00", "0", "00", "00000", "01010", "10100"});
        }
        table.Database().commit();
        FDB23->show();
        grid_ = FDB23->DBGrid1;
        ASSERT_EQ(grid_->model()->rowCount(), Rows);
    }
    void TearDown() override {
        SetReportPreviewHook(nullptr);
        TAppFixture::TearDown();
    }
    static QString Loko(int i) { return QString("%1").arg(i, 7, 10, QChar(u'0')); }
    // Ctrl+A in the grid, then rows first to last taken out of the selection.
    void SelectAllBut(int first, int last) {
        grid_->setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
        QApplication::sendEvent(grid_, &press);
        grid_->selectionModel()->select(
            QItemSelection(grid_->model()->index(first, 0), grid_->model()->index(last, 0)),
            QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    }
    // Counts the turns of the window system while a walk's progress dialog stands over the browser.
    void WatchTurns() {
        turns_ = 0;
        labels_.clear();
        watch_.setInterval(0);
        QObject::connect(&watch_, &QTimer::timeout, [this] {
            if (auto* progress = FDB23->findChild<QProgressDialog*>("SelectionProgress")) {
                ++turns_;
                labels_.append(progress->labelText().section(u':', 0, 0));
                if (turns_ == 2) {
                    progressText_ = progress->labelText();
                    progress->grab().save(QString(VESK_BINARY_DIR) + "/dialog-selection-progress.png");
                }
            }
            if (onTurn_) {
                onTurn_();
                onTurn_ = nullptr;
            }
        });
        watch_.start();
    }
    // A report of the chosen rows ("Все записи" 0, "Выделенные" 1): the locomotives it prints
    // and the grid reader's queries it took.
    QStringList Report(int include, int* queries) {
        QStringList printed;
        SetReportPreviewHook([&](TReport& r) {
            const int loko = r.Data.ColumnIndex("Loko");
            for (const TRow& row : r.Data.RowsAt(0, r.Data.RowCount()))
                printed.append(row.value(loko).toString());
        });
        QTimer::singleShot(0, [this, include] {
            Form2->RadioGroup1->SetItemIndex(include);
            Form2->RadioGroup2->SetItemIndex(0);
            WatchTurns();
            Form2->bOK->click();
        });
        const int before = FDB23->Table1.Rows().Queries();
        FDB23->BitBtn1Click();
        watch_.stop();
        *queries = FDB23->Table1.Rows().Queries() - before;
        return printed;
    }
    TFakeClock clock_;
    QTableView* grid_ = nullptr;
    QTimer watch_;
    int turns_ = 0;
    QString progressText_;
    QStringList labels_; // what the progress told, turn by turn
    std::function<void()> onTurn_;
};

TEST_F(BrowserSelectionTest, AReportOfAHugeSelectionTakesItAsRunsAndPrintsExactlyIt) {
    SelectAllBut(100, 199);
    grid_->selectionModel()->select(grid_->model()->index(301, 0),
                                    QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    // The column titles ask their selection about every row at each paint: they are given none.
    EXPECT_TRUE(grid_->horizontalHeader()->selectionModel()->selection().isEmpty());
    EXPECT_TRUE(FDB23->grab().save(QString(VESK_BINARY_DIR) + "/browser-tests23-selected.png"));
    int queries = 0;

    QStringList printed = Report(0, &queries);
    EXPECT_EQ(printed.size(), Rows) << "every row that meets the criteria";
    EXPECT_LE(queries, 4) << "the grid's reader is asked for the ends of each run, not for every row";
    EXPECT_EQ(turns_, 0) << "every row: nothing to gather";
    EXPECT_EQ(FDB23->Table1.SelectedKeys.size(), Rows - 101);

    printed = Report(1, &queries);
    QStringList expected;
    for (int i = 0; i < Rows; ++i)
        if (i < 100 || i > 199)
            expected.append(Loko(i));
    EXPECT_EQ(printed, expected) << "the selected rows in order, and row 301 of the same moment as row 300";
    EXPECT_LE(queries, 4);
    EXPECT_GE(turns_, 2) << "the selected rows' moments are gathered a slice at a time";
    labels_.removeDuplicates();
    EXPECT_EQ(labels_, (QStringList{"Отбор выделенных строк", "Подсчет строк отчета"}))
        << "the rows the report takes are counted a slice at a time too";
    const QStringList keys{FDB23->Table1.SelectedKeys.value(99), FDB23->Table1.SelectedKeys.value(100),
                           FDB23->Table1.SelectedKeys.value(Rows - 102)};
    EXPECT_EQ(keys, (QStringList{"01.06.2026000140000", "01.06.2026000321000", "01.06.2026032000000"}))
        << "the keys of rows 99, 200 and the last, in the grid's order";
    EXPECT_EQ(grid_->model()->rowCount(), Rows) << "after the preview the grid shows every row again";
}

TEST_F(BrowserSelectionTest, SpaceSelectsAtOnceAndNoTypedKeyReadsTheJournal) {
    FDB23->activateWindow();
    grid_->setFocus();
    FDB23->SetCurrentRow(40);
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), grid_);
    const int before = FDB23->Table1.Rows().Queries();
    // The selection key, then keys that match no value of any row.
    const QList<std::pair<int, QString>> keys{
        {Qt::Key_Space, " "}, {Qt::Key_Q, "q"}, {int(QChar(u'Я').unicode()), "я"}, {Qt::Key_Space, " "}};
    for (const auto& [key, text] : keys) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(QApplication::focusWidget(), &press);
        QApplication::sendEvent(QApplication::focusWidget(), &release);
        EXPECT_EQ(FDB23->Table1.Rows().Queries() - before, 0)
            << "«" << text.toStdString() << "» read rows beyond those in memory";
        EXPECT_EQ(FDB23->CurrentRow(), 40);
        EXPECT_EQ(FDB23->SelectedRows(), QList<int>{40}) << "the space bar selects the current row";
    }
}

TEST_F(BrowserSelectionTest, DeletingAHugeSelectionGoesInSlicesWhileResultsKeepComing) {
    SelectAllBut(5, 5);
    WatchTurns();
    // A result written while the rows go: it was not selected, so it stays.
    clock_.SetNow(QDateTime(QDate(2026, 6, 6), QTime(9, 0)));
    LocoNumber = "7777777";
    onTurn_ = [] {
        ASSERT_TRUE(AppendTest23Row(JournalFolder(), "Тест 2", "0000000", "Норма", "От ВЕСК").Ok);
    };
    dialogAnswer_ = mrYes;
    FDB23->bDelSelected->click();
    watch_.stop();
    EXPECT_GE(turns_, 2) << "the window system turns between the slices, a progress shown";
    EXPECT_TRUE(QRegularExpression(QString("^Удаление выделенных строк: [1-9]\\d* из %1$").arg(Rows - 1))
                    .match(progressText_)
                    .hasMatch())
        << progressText_.toStdString();
    ASSERT_EQ(grid_->model()->rowCount(), 2);
    const auto cell = [this](int row) { return grid_->model()->index(row, 6).data().toString(); };
    EXPECT_EQ(cell(0), Loko(5));
    EXPECT_EQ(cell(1), "7777777");
    EXPECT_EQ(dialogs_.size(), 1) << "the question only, no error";
}

TEST_F(BrowserSelectionTest, ADeletionCutShortTellsHowManyRowsWent) {
    grid_->setFocus();
    QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QApplication::sendEvent(grid_, &ctrlA);
    // The table is closed under the deletion after its first slice.
    int gone = -1;
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* progress = FDB23->findChild<QProgressDialog*>("SelectionProgress");
        if (gone < 0 && progress && progress->value() > 0) {
            gone = progress->value();
            FDB23->Table1.Close();
        }
    });
    closer.start();
    dialogAnswer_ = mrYes;
    FDB23->bDelSelected->click();
    closer.stop();
    ASSERT_EQ(gone, SelectionSliceRows);
    ASSERT_EQ(dialogs_.size(), 2);
    EXPECT_TRUE(dialogs_[1].Text.startsWith("Не удалось прочитать таблицу Test23.DB: таблица не открыта"))
        << dialogs_[1].Text.toStdString();
    EXPECT_TRUE(dialogs_[1].Text.endsWith(QString("\nУдалено строк: %1 из %2.").arg(gone).arg(Rows)))
        << dialogs_[1].Text.toStdString();
    TTable table(JournalFolder(), Test23FileName, Test23Fields());
    table.Open();
    const QList<TRow> left = table.Select("SELECT count(*), min(\"Loko\") FROM \"Test23\"");
    EXPECT_EQ(left.value(0).value(0).toInt(), Rows - gone) << "each slice goes whole";
    EXPECT_EQ(left.value(0).value(1).toString(), Loko(gone));
}

} // namespace
