#include "journal/EditableGrid.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <QItemSelectionModel>
#include <QTableView>

TEditableGrid::TEditableGrid(std::unique_ptr<IEditableRows> rows, QWidget* owner, QString deleteQuestion,
                             bool deleteNeedsRow)
    : QObject(owner), rows_(std::move(rows)), owner_(owner), deleteQuestion_(std::move(deleteQuestion)),
      deleteNeedsRow_(deleteNeedsRow) {}

TEditableGrid::~TEditableGrid() = default;

TDBNavigator* TEditableGrid::NewNavigator() {
    auto* navigator = new TDBNavigator({{TNavButton::First, "Первая запись"},
                                        {TNavButton::Prior, "Предыдущая запись"},
                                        {TNavButton::Next, "Следующая запись"},
                                        {TNavButton::Last, "Последняя запись"},
                                        {TNavButton::Insert, "Вставить  запись"},
                                        {TNavButton::Delete, "Удалить  запись"},
                                        {TNavButton::Edit, "Редактировать  запись"},
                                        {TNavButton::Post, "Запомнить изменения"},
                                        {TNavButton::Cancel, "Отменить изменения"}},
                                       owner_);
    navigator->setObjectName("DBNavigator1");
    connect(navigator, &TDBNavigator::Clicked, this, &TEditableGrid::NavigatorClick);
    return navigator;
}

void TEditableGrid::SetGrid(QTableView* grid) {
    grid_ = grid;
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) {
                if (!now.isValid() || now.row() == rows_->CurrentIndex())
                    return;
                try {
                    rows_->SetCurrentIndex(now.row());
                } catch (const std::exception& e) {
                    ShowError(ExceptionText(e), owner_);
                    SyncGridRow();
                }
            });
}

void TEditableGrid::SyncGridRow() {
    const int row = rows_->CurrentIndex();
    if (!grid_ || row < 0)
        return;
    const QModelIndex cur = grid_->currentIndex();
    if (cur.row() != row)
        grid_->setCurrentIndex(grid_->model()->index(row, cur.isValid() ? cur.column() : 0));
}

void TEditableGrid::NavigatorClick(TNavButton b) {
    try {
        IEditableRows* t = rows_.get();
        switch (b) {
        case TNavButton::First:
            t->SetCurrentIndex(t->RowCount() > 0 ? 0 : -1);
            break;
        case TNavButton::Prior:
            if (t->CurrentIndex() > 0)
                t->SetCurrentIndex(t->CurrentIndex() - 1);
            break;
        case TNavButton::Next:
            if (t->CurrentIndex() + 1 < t->RowCount())
                t->SetCurrentIndex(t->CurrentIndex() + 1);
            break;
        case TNavButton::Last:
            t->SetCurrentIndex(t->RowCount() - 1);
            break;
        case TNavButton::Insert:
            t->Append();
            break;
        case TNavButton::Delete:
            if ((!deleteNeedsRow_ || t->CurrentIndex() >= 0) &&
                MessageDlg(deleteQuestion_, TMsgDlgType::Confirmation, mbOK | mbCancel, owner_) == mrOk)
                t->Delete();
            break;
        case TNavButton::Edit:
            t->Edit();
            break;
        case TNavButton::Post:
            t->Post();
            break;
        case TNavButton::Cancel:
            t->Cancel();
            break;
        case TNavButton::Refresh:
            t->Refresh();
            break;
        }
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), owner_);
    }
}

bool TEditableGrid::SetCell(int row, int column, const QVariant& value) {
    try {
        rows_->SetCurrentIndex(row);
        rows_->SetValue(column, value);
        return true;
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e));
        return false;
    }
}

bool TEditableGrid::StartCellEdit(int row) {
    try {
        rows_->SetCurrentIndex(row);
        rows_->Edit();
        return true;
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e));
        return false;
    }
}

bool TEditableGrid::FormCloseQuery() {
    if (!rows_->Editing())
        return true;
    const int answer = MessageDlg("Редактирование строки не завершено. Сохранить изменения?",
                                  TMsgDlgType::Warning, mbYes | mbNo | mbCancel, owner_);
    if (answer == mrYes) {
        try {
            rows_->Post();
            return true;
        } catch (const std::exception& e) {
            ShowError(ExceptionText(e), owner_);
            return false;
        }
    }
    if (answer == mrNo) {
        rows_->Cancel();
        return true;
    }
    return false;
}
