// The editable grid the attenuation editor and the factory-numbers window share, over a
// table that records what it is asked and refuses on demand: the navigator's bounds, the
// delete question, refused moves and values shown and undone, the close question.
#include "journal/EditableGrid.h"
#include "journal/Attenuation.h"
#include "journal/TFDBRV.h"
#include "journal/TfBlockNum.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "state/Options.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"

#include <QApplication>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QStringList>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

namespace {

class TFakeRows : public IEditableRows {
public:
    int Rows = 3;
    int Current = 0;
    bool Editing_ = false;
    QString Refusal; // when set, every change throws it
    QStringList Calls;

    int RowCount() const override { return Rows; }
    int CurrentIndex() const override { return Current; }
    void SetCurrentIndex(int index) override {
        change(QString("move %1").arg(index));
        Current = index;
    }
    void SetValue(int column, const QVariant& value) override {
        change(QString("set %1=%2").arg(column).arg(value.toString()));
    }
    bool Editing() const override { return Editing_; }
    void Edit() override { change("edit"); }
    void Append() override { change("append"); }
    void Post() override { change("post"); }
    void Cancel() override { change("cancel"); }
    void Delete() override { change("delete"); }
    void Refresh() override { change("refresh"); }

private:
    void change(const QString& call) {
        if (!Refusal.isEmpty())
            throw EVeskError(Refusal);
        Calls << call;
    }
};

class EditableGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDialogHook([this](const TDialogRecord& d, QWidget*) {
            dialogs_ << d.Text;
            return answer_;
        });
    }
    void TearDown() override { SetDialogHook(nullptr); }
    // A grid over the fake; deleteNeedsRow as the attenuation editor has it.
    TEditableGrid& Make(bool deleteNeedsRow) {
        auto rows = std::make_unique<TFakeRows>();
        rows_ = rows.get();
        grid_ = std::make_unique<TEditableGrid>(std::move(rows), &owner_, "Удалить?", deleteNeedsRow);
        return *grid_;
    }
    QWidget owner_;
    TFakeRows* rows_ = nullptr;
    std::unique_ptr<TEditableGrid> grid_;
    QStringList dialogs_;
    int answer_ = mrOk;
};

TEST_F(EditableGridTest, NavigatorStaysWithinTheRows) {
    TEditableGrid& g = Make(false);
    g.NavigatorClick(TNavButton::Last);
    g.NavigatorClick(TNavButton::Next); // at the end: no move
    g.NavigatorClick(TNavButton::First);
    g.NavigatorClick(TNavButton::Prior); // at the start: no move
    g.NavigatorClick(TNavButton::Next);
    g.NavigatorClick(TNavButton::Refresh);
    EXPECT_EQ(rows_->Calls, QStringList({"move 2", "move 0", "move 1", "refresh"}));
    rows_->Rows = 0;
    rows_->Current = -1;
    rows_->Calls.clear();
    g.NavigatorClick(TNavButton::First);
    g.NavigatorClick(TNavButton::Next);
    EXPECT_EQ(rows_->Calls, QStringList({"move -1"})) << "an empty table has no first row";
}

TEST_F(EditableGridTest, DeleteAsksFirstAndOnlyWithARowWhereThatIsAsked) {
    TEditableGrid& g = Make(true);
    answer_ = mrCancel;
    g.NavigatorClick(TNavButton::Delete);
    answer_ = mrOk;
    g.NavigatorClick(TNavButton::Delete);
    EXPECT_EQ(dialogs_, QStringList({"Удалить?", "Удалить?"}));
    EXPECT_EQ(rows_->Calls, QStringList({"delete"}));
    rows_->Current = -1;
    g.NavigatorClick(TNavButton::Delete);
    EXPECT_EQ(dialogs_.size(), 2) << "no row, no question";

    TEditableGrid& other = Make(false);
    rows_->Current = -1;
    other.NavigatorClick(TNavButton::Delete);
    EXPECT_EQ(rows_->Calls, QStringList({"delete"})) << "the table decides what deleting no row means";
}

TEST_F(EditableGridTest, RefusalsAreShownAndTheGridGoesBack) {
    TEditableGrid& g = Make(false);
    QStandardItemModel model(3, 2);
    QTableView view;
    view.setModel(&model);
    g.SetGrid(&view);
    g.SyncGridRow();
    EXPECT_EQ(view.currentIndex().row(), 0);
    EXPECT_TRUE(rows_->Calls.isEmpty()) << "the grid following the table moves nothing back";
    view.setCurrentIndex(model.index(2, 1));
    EXPECT_EQ(rows_->Current, 2) << "the table follows the grid";
    rows_->Current = -1;
    g.SyncGridRow();
    EXPECT_EQ(view.currentIndex(), model.index(2, 1)) << "no current row: the grid stays";
    rows_->Current = 2;

    rows_->Refusal = "Нельзя";
    view.setCurrentIndex(model.index(1, 1));
    EXPECT_EQ(view.currentIndex(), model.index(2, 1)) << "a refused move puts the grid back";
    EXPECT_FALSE(g.SetCell(0, 1, "5"));
    EXPECT_FALSE(g.StartCellEdit(0));
    g.NavigatorClick(TNavButton::Post);
    EXPECT_EQ(dialogs_, QStringList({"Нельзя", "Нельзя", "Нельзя", "Нельзя"}));

    rows_->Refusal.clear();
    rows_->Calls.clear();
    EXPECT_TRUE(g.SetCell(0, 1, "5"));
    EXPECT_TRUE(g.StartCellEdit(1));
    EXPECT_EQ(rows_->Calls, QStringList({"move 0", "set 1=5", "move 1", "edit"}));
}

TEST_F(EditableGridTest, CloseQuestionSavesDropsOrStays) {
    TEditableGrid& g = Make(false);
    EXPECT_TRUE(g.FormCloseQuery());
    EXPECT_TRUE(dialogs_.isEmpty()) << "nothing pending, nothing asked";
    rows_->Editing_ = true;
    answer_ = mrCancel;
    EXPECT_FALSE(g.FormCloseQuery());
    answer_ = mrNo;
    EXPECT_TRUE(g.FormCloseQuery());
    answer_ = mrYes;
    EXPECT_TRUE(g.FormCloseQuery());
    EXPECT_EQ(rows_->Calls, QStringList({"cancel", "post"}));
    rows_->Refusal = "Дубликат";
    EXPECT_FALSE(g.FormCloseQuery()) << "a refused save keeps the window";
    EXPECT_EQ(dialogs_.last(), "Дубликат");
}

} // namespace

// The two windows over the shared grid, driven as the operator drives them: keys to the
// widget that has the focus (the open cell editor included), clicks on the navigator's
// buttons and the grid's cells, and what reached the table file read back afresh.
namespace {

// A value the table refuses, typed into a grid column, and one it takes there.
struct TRefusedValue {
    int Column;
    const char* Typed;
    const char* Right;
    const char* Stored; // the row once put right and posted
};

struct TGridWindow {
    const char* Name;
    QDialog* (*Window)();
    int ValueColumn;       // the grid column of a plain value; the next one is one too
    QString (*File)();     // the table file
    const char* Select;    // the key and those two values of every row
    const char* StoredKey; // the key typed as 456, as stored
    void (*AddRow)(const QString& loco);
    QList<TRefusedValue> Refused;
};

void PrintTo(const TGridWindow& w, std::ostream* os) {
    *os << w.Name;
}

template <class Table> void AddRow(Table* t, const QString& loco) {
    t->Append();
    t->SetValue(0, loco);
    t->Post();
}

const TGridWindow attenuation{
    "Attenuation",
    [] { return static_cast<QDialog*>(FDBRV); },
    1,
    [] { return JournalFolder() + "РВ.db"; },
    "SELECT Lokomotiv, OslablenieM, OslablenieG FROM \"РВ\" ORDER BY 1",
    "0000456",
    [](const QString& loco) { AddRow(FDBRV->Table1, loco); },
    {{0, "12345678", "456", "0000456||"}, {1, "abc", "5", "0000456|5|"}, {2, "70000", "7", "0000456||7"}}};
const TGridWindow blockNum{
    "BlockNum",
    [] { return static_cast<QDialog*>(fBlockNum); },
    int(TfBlockNum::GridColumns().indexOf(bnBlock1)),
    [] { return fBlockNum->tblBlockNum->FilePath(); },
    "SELECT Loko, Block1, Block2 FROM BlockNum ORDER BY 1",
    "456",
    [](const QString& loco) { AddRow(fBlockNum->tblBlockNum, loco); },
    {{0, "123456789", "456", "456||"},
     {int(TfBlockNum::GridColumns().indexOf(bnBlock1)), "12345678901234567", "5", "456|5|"},
     {int(TfBlockNum::GridColumns().indexOf(bnLastD)), "30.02.2026", "01.03.2026", "456||"}}};

// A message box that the operator answers as soon as it is in front.
class TBox : public QDialog {
public:
    using QDialog::QDialog;

protected:
    void changeEvent(QEvent* e) override {
        QDialog::changeEvent(e);
        if (e->type() == QEvent::ActivationChange && isActiveWindow())
            QMetaObject::invokeMethod(this, &QDialog::accept, Qt::QueuedConnection);
    }
};

class GridWindowTest : public TAppFixture, public ::testing::WithParamInterface<TGridWindow> {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        Start();
        w_ = GetParam().Window();
        grid_ = w_->findChild<QTableView*>("DBGrid1");
        w_->show();
        Activate(w_);
        dialogAnswer_ = mrYes;
        // Each answer comes from a box over the window, which takes the focus while it is open.
        SetDialogHook([this](const TDialogRecord& d, QWidget* over) {
            dialogs_.append(d);
            TBox box(over ? over : QApplication::activeWindow()); // owned as the program's boxes are
            box.exec();
            return dialogAnswer_;
        });
    }
    static void Activate(QWidget* w) {
        w->activateWindow();
        ASSERT_TRUE(PumpUntil([w] { return QApplication::activeWindow() == w; }, 5000));
    }
    // Rows of the table file as "key|value|value" joined by ';', read on a connection of
    // the test's own.
    QString Stored() const {
        QStringList rows;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "read-back");
            db.setDatabaseName(GetParam().File());
            db.setConnectOptions("QSQLITE_OPEN_READONLY");
            QSqlQuery q(db.open() ? GetParam().Select : "", db);
            while (q.next())
                rows << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()}.join(
                    '|');
        }
        QSqlDatabase::removeDatabase("read-back");
        return rows.join(';');
    }
    QString StoredValue(int row) const { return Stored().split(';').value(row).section('|', 1, 1); }
    // Keys as typed: each to the widget that has the focus at that moment.
    static void Press(Qt::Key key, Qt::KeyboardModifiers with = {}) {
        if (QWidget* focus = QApplication::focusWidget())
            QTest::keyClick(focus, key, with);
        else
            ADD_FAILURE() << "no widget has the focus";
    }
    static void Type(const QString& text) {
        for (const QChar c : text)
            if (QWidget* focus = QApplication::focusWidget())
                QTest::keyClick(focus, c.toLatin1());
            else
                ADD_FAILURE() << "no widget has the focus";
    }
    // "row,column text" of the open cell editor that has the keys; empty when none has them.
    QString KeysAt() const {
        const QModelIndex cell = grid_->currentIndex();
        QWidget* editor = grid_->indexWidget(cell);
        if (!editor || QApplication::focusWidget() != editor)
            return {};
        return QString("%1,%2 %3")
            .arg(cell.row())
            .arg(cell.column())
            .arg(editor->property("text").toString());
    }
    void Click(TNavButton b) {
        QTest::mouseClick(w_->findChild<TDBNavigator*>("DBNavigator1")->Button(b), Qt::LeftButton);
    }
    void ClickCell(int row, int column, bool twice = false) {
        const QPoint at = grid_->visualRect(grid_->model()->index(row, column)).center();
        QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, at);
        if (twice)
            QTest::mouseDClick(grid_->viewport(), Qt::LeftButton, {}, at);
    }
    // Opens the value cell of a row and types into its editor, leaving it open.
    void TypeIntoCell(int row, const QString& text) {
        ClickCell(row, GetParam().ValueColumn, true);
        ASSERT_NE(grid_->indexWidget(grid_->currentIndex()), nullptr) << "no editor opened";
        Press(Qt::Key_A, Qt::ControlModifier);
        Type(text);
    }

    QDialog* w_ = nullptr;
    QTableView* grid_ = nullptr;
};

TEST_P(GridWindowTest, TypingAfterInsertFillsTheNewRowAndPostTakesTheOpenCell) {
    Click(TNavButton::Insert);
    Type("456");
    for (int i = 0; i < 20 && grid_->currentIndex().column() < GetParam().ValueColumn; ++i)
        Press(Qt::Key_Tab);
    Type("7");
    Press(Qt::Key_Tab);
    Type("8");
    w_->grab().save(QString(VESK_BINARY_DIR) + "/grid-typing-" + GetParam().Name + ".png");
    Click(TNavButton::Post);
    EXPECT_EQ(Stored(), QString(GetParam().StoredKey) + "|7|8");
    EXPECT_TRUE(dialogs_.isEmpty()) << dialogs_.value(0).Text.toStdString();

    grid_->setColumnHidden(0, true); // the first cell shown takes the keys
    Click(TNavButton::Insert);
    EXPECT_EQ(grid_->currentIndex().column(), 1);
    EXPECT_EQ(QApplication::focusWidget(), grid_->indexWidget(grid_->currentIndex()));
}

TEST_P(GridWindowTest, WhateverEndsTheEditStoresTheValueInTheOpenCell) {
    for (const char* loco : {"1111111", "2222222", "3333333"})
        GetParam().AddRow(loco);
    // Closing asks first, with the value in the grid, and saves it on Yes.
    TypeIntoCell(0, "9");
    dialogAnswer_ = mrCancel;
    EXPECT_FALSE(w_->close());
    EXPECT_EQ(dialogs_.value(0).Text, "Редактирование строки не завершено. Сохранить изменения?");
    EXPECT_EQ(grid_->model()->index(0, GetParam().ValueColumn).data().toString(), "9");
    dialogAnswer_ = mrYes;
    EXPECT_TRUE(w_->close());
    EXPECT_EQ(StoredValue(0), "9");
    w_->show();
    Activate(w_);
    dialogs_.clear();

    struct {
        const char* How;
        std::function<void()> End;
        int To;
    } ends[] = {
        {"post", [this] { Click(TNavButton::Post); }, 0},
        {"next", [this] { Click(TNavButton::Next); }, 1},
        {"last", [this] { Click(TNavButton::Last); }, 2},
        {"prior", [this] { Click(TNavButton::Prior); }, 1},
        {"first", [this] { Click(TNavButton::First); }, 0},
        {"a click on another row", [this] { ClickCell(2, 0); }, 2},
    };
    int from = 0;
    for (int i = 0; i < int(std::size(ends)); ++i) {
        SCOPED_TRACE(ends[i].How);
        TypeIntoCell(from, QString::number(i + 1));
        ends[i].End();
        EXPECT_EQ(StoredValue(from), QString::number(i + 1));
        EXPECT_EQ(grid_->currentIndex().row(), ends[i].To);
        from = ends[i].To;
    }
    EXPECT_TRUE(dialogs_.isEmpty()) << dialogs_.value(0).Text.toStdString();
    TypeIntoCell(0, "8"); // given up
    Click(TNavButton::Cancel);
    EXPECT_EQ(grid_->indexWidget(grid_->model()->index(0, GetParam().ValueColumn)), nullptr);
    EXPECT_EQ(StoredValue(0), "6");
}

// A value the row refuses stops the post and the closing, its refusal shown; cancel gives
// the typed value up without a word; the next right value is taken.
TEST_P(GridWindowTest, ARefusedValueStopsThePostAndTheClosing) {
    Click(TNavButton::Insert);
    const auto told = [this](const std::function<void()>& then) {
        Activate(w_);      // back from the box, as the window manager does
        Type("123456789"); // longer than the locomotive column of either table
        dialogs_.clear();
        then();
        QStringList texts;
        for (const TDialogRecord& d : dialogs_)
            texts << d.Text;
        return texts.join('\n');
    };
    const auto oneRefusal = [](const QString& texts) {
        return texts.contains("длиннее") && !texts.contains('\n');
    };
    EXPECT_PRED1(oneRefusal, told([this] { Click(TNavButton::Post); }));
    EXPECT_PRED1(oneRefusal, told([this] { EXPECT_FALSE(w_->close()); }));
    EXPECT_EQ(told([this] { Click(TNavButton::Cancel); }), "");
    EXPECT_EQ(grid_->model()->rowCount(), 0);
    Click(TNavButton::Insert); // a value taken after refused ones
    Type("456");
    Click(TNavButton::Post);
    EXPECT_EQ(Stored(), QString(GetParam().StoredKey) + "||");
}

// A refused value stays in its cell with the keys, whatever ended it, and nothing is stored
// until it is put right: the last column's Tab, which goes on to the next row, too.
TEST_P(GridWindowTest, ARefusedValueKeepsItsCellAndTheFocusUntilPutRight) {
    GetParam().AddRow("9999999"); // row 0, the new rows come after it
    for (const TRefusedValue& r : GetParam().Refused) {
        SCOPED_TRACE(r.Typed);
        Click(TNavButton::Insert);
        Type(r.Column > 0 ? "456" : "");
        for (int i = 0; i < 20 && grid_->currentIndex().column() < r.Column; ++i)
            Press(Qt::Key_Tab);
        Press(Qt::Key_A, Qt::ControlModifier);
        Type(r.Typed);
        const QString typed = KeysAt();
        ASSERT_TRUE(typed.endsWith(QString(",%1 %2").arg(r.Column).arg(r.Typed))) << typed.toStdString();
        for (const int leave :
             std::initializer_list<int>{Qt::Key_Tab, Qt::Key_Return, Qt::Key_Backtab, Qt::Key_Up, 0}) {
            SCOPED_TRACE(leave ? QKeySequence(leave).toString().toStdString() : "a click on row 0");
            dialogs_.clear();
            leave ? Press(Qt::Key(leave)) : ClickCell(0, 0);
            ASSERT_TRUE(PumpUntil([this] { return !dialogs_.isEmpty(); }, 5000)) << "no refusal";
            Activate(w_); // back from the box, as the window manager does
            EXPECT_EQ(dialogs_.size(), 1);
            EXPECT_EQ(Stored(), "9999999||");
            EXPECT_EQ(KeysAt(), typed);
        }
        Press(Qt::Key_A, Qt::ControlModifier);
        Type(r.Right);
        Press(Qt::Key_Tab);
        EXPECT_NE(KeysAt().section(' ', 0, 0), typed.section(' ', 0, 0)) << "a right value goes on";
        Click(TNavButton::Post);
        EXPECT_EQ(Stored(), QString(r.Stored) + ";9999999||");
        dialogAnswer_ = mrOk;
        Click(TNavButton::First);
        Click(TNavButton::Delete);
        Activate(w_);
    }
}

INSTANTIATE_TEST_SUITE_P(BothWindows, GridWindowTest, ::testing::Values(attenuation, blockNum),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
