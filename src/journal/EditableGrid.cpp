#include "journal/EditableGrid.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <QAbstractItemDelegate>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

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
    const int refusals = refusals_;
    emit delegate->commitData(editor);
    if (refusals_ != refusals)
        return false; // the refused text stays in its cell to be put right
    if (editor && grid_->indexWidget(cell) == editor)
        emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
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
        ++refusals_;
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

TGridView::TGridView(TEditableGrid* rows, QWidget* parent) : QTableView(parent), rows_(rows) {}

bool TGridView::holding() const {
    return held_ && state() == EditingState;
}

void TGridView::commitData(QWidget* editor) {
    const int refusals = rows_->Refusals();
    QTableView::commitData(editor);
    if (rows_->Refusals() == refusals) {
        if (held_ == editor)
            held_ = nullptr;
        return;
    }
    held_ = editor;
    // The error box had the keys; they come back to the text that is to be put right.
    editor->setFocus(Qt::OtherFocusReason);
}

void TGridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (editor && editor == held_) {
        if (hint != QAbstractItemDelegate::RevertModelCache)
            return;
        held_ = nullptr;
    }
    QTableView::closeEditor(editor, hint);
}

void TGridView::keyPressEvent(QKeyEvent* e) {
    // An arrow or a page key that the cell editor leaves to the grid would move the cursor:
    // what was typed goes to the row first, once, and a refused value keeps the cursor.
    static constexpr int moves[] = {Qt::Key_Up,   Qt::Key_Down,  Qt::Key_PageUp, Qt::Key_PageDown,
                                    Qt::Key_Left, Qt::Key_Right, Qt::Key_Home,   Qt::Key_End};
    QWidget* editor = state() == EditingState ? indexWidget(currentIndex()) : nullptr;
    if (editor && std::find(std::begin(moves), std::end(moves), e->key()) != std::end(moves)) {
        commitData(editor);
        if (holding()) {
            e->accept();
            return;
        }
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    QTableView::keyPressEvent(e);
}

void TGridView::mousePressEvent(QMouseEvent* e) {
    // The click took the focus from a value the row refused (the refusal is shown and the
    // keys went back to it): the click goes no further.
    if (holding())
        e->accept();
    else
        QTableView::mousePressEvent(e);
}
