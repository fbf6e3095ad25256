#include "journal/EditableGrid.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <QAbstractItemDelegate>
#include <QItemSelectionModel>
#include <QPointer>
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

bool TEditableGrid::CommitEditor() {
    if (!grid_)
        return true;
    const QModelIndex cell = grid_->currentIndex();
    const QPointer<QWidget> editor = grid_->indexWidget(cell);
    if (!editor)
        return true;
    // As the editor's own Tab does: the view hands the text to the model, then closes it.
    QAbstractItemDelegate* delegate = grid_->itemDelegateForIndex(cell);
    refused_ = false;
    emit delegate->commitData(editor);
    if (editor && grid_->indexWidget(cell) == editor) // an error box taking the focus closes it
        emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    return !refused_;
}

void TEditableGrid::dropEditor() {
    if (!grid_)
        return;
    const QModelIndex cell = grid_->currentIndex();
    if (QWidget* editor = grid_->indexWidget(cell))
        emit grid_->itemDelegateForIndex(cell)->closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void TEditableGrid::editNewRow() {
    if (!grid_ || !grid_->isVisible())
        return;
    const int row = rows_->CurrentIndex();
    QAbstractItemModel* model = grid_->model();
    for (int column = 0; column < model->columnCount(); ++column) {
        const QModelIndex cell = model->index(row, column);
        if (grid_->isColumnHidden(column) || !(cell.flags() & Qt::ItemIsEditable))
            continue;
        grid_->setCurrentIndex(cell);
        grid_->setFocus(Qt::OtherFocusReason);
        grid_->edit(cell);
        return;
    }
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
    // Cancel gives up what was typed; every other button acts on it as typed.
    if (b == TNavButton::Cancel)
        dropEditor();
    else if (!CommitEditor())
        return;
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
            editNewRow();
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
        refused_ = true;
        const bool typed = grid_ && grid_->indexWidget(grid_->currentIndex());
        ShowError(ExceptionText(e));
        // Whatever the error box did to the cell editor, the keys that follow go to the
        // grid again, not to the window's first button.
        if (typed)
            grid_->setFocus(Qt::OtherFocusReason);
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
    if (!CommitEditor())
        return false;
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
