// The editable grid the attenuation editor and the factory-numbers window share, over a
// table that records what it is asked and refuses on demand: the navigator's bounds, the
// delete question, refused moves and values shown and undone, the close question.
#include "journal/EditableGrid.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <QStandardItemModel>
#include <QStringList>
#include <QTableView>
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
