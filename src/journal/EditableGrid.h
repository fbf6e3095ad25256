#pragma once
// The editable grid of a journal table with its record navigator, as the attenuation
// editor and the factory-numbers window share it: the navigator's buttons on the rows, the
// grid's current row following the table's and back, the question on closing with an
// unfinished edit, and every refusal of the table shown to the operator, never thrown on.

#include "journal/DBNavigator.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTableView>
#include <QVariant>
#include <memory>

class QWidget;

/// What the grid and its navigator do with a table's rows.
class IEditableRows {
public:
    virtual ~IEditableRows() = default;
    virtual int RowCount() const = 0;
    virtual int CurrentIndex() const = 0;
    virtual void SetCurrentIndex(int index) = 0;
    virtual void SetValue(int column, const QVariant& value) = 0;
    /// A row is being changed or inserted.
    virtual bool Editing() const = 0;
    virtual void Edit() = 0;
    virtual void Append() = 0;
    virtual void Post() = 0;
    virtual void Cancel() = 0;
    virtual void Delete() = 0;
    virtual void Refresh() = 0;
};

/// The rows of a table class with those members and a State() of Edit and Insert.
template <class Table> class TRowsOf final : public IEditableRows {
public:
    explicit TRowsOf(Table* t) : t_(t) {}
    int RowCount() const override { return t_->RowCount(); }
    int CurrentIndex() const override { return t_->CurrentIndex(); }
    void SetCurrentIndex(int index) override { t_->SetCurrentIndex(index); }
    void SetValue(int column, const QVariant& value) override { t_->SetValue(column, value); }
    bool Editing() const override {
        const auto s = t_->State();
        return s == decltype(s)::Edit || s == decltype(s)::Insert;
    }
    void Edit() override { t_->Edit(); }
    void Append() override { t_->Append(); }
    void Post() override { t_->Post(); }
    void Cancel() override { t_->Cancel(); }
    void Delete() override { t_->Delete(); }
    void Refresh() override { t_->Refresh(); }

private:
    Table* t_;
};

/// The grid, the navigator and the close question over one table; errors are shown over
/// the owner window.
class TEditableGrid : public QObject {
    Q_OBJECT
public:
    /// deleteQuestion: asked before a row is deleted; deleteNeedsRow: asked only while a
    /// row is current (otherwise Delete is left to the table).
    TEditableGrid(std::unique_ptr<IEditableRows> rows, QWidget* owner, QString deleteQuestion,
                  bool deleteNeedsRow);
    ~TEditableGrid() override;

    /// The navigator of an editable table (first to cancel, with their hints), "DBNavigator1",
    /// its buttons acting on the rows.
    TDBNavigator* NewNavigator();
    /// The grid whose current row the table follows (a refused move puts the grid back).
    void SetGrid(QTableView* grid);
    /// What is typed in the grid's open cell editor goes to the row and the editor
    /// closes; false (the refusal shown) when the row does not take it. Everything that
    /// posts, leaves the row or asks about it calls this first.
    bool CommitEditor();

    void NavigatorClick(TNavButton b);
    /// The grid's current row moved to the table's.
    void SyncGridRow();
    /// A value typed into a cell; false (the refusal shown) when the table does not take it.
    bool SetCell(int row, int column, const QVariant& value);
    /// Puts the row into edit state before a cell editor opens; false when refused.
    bool StartCellEdit(int row);
    /// The question on leaving an unfinished edit: true when the window may close.
    bool FormCloseQuery();
    /// How many values SetCell has refused so far.
    int Refusals() const { return refusals_; }

private:
    // The open cell editor closes without giving its text to the row.
    void dropEditor();
    // The new row's first cell takes the keys that follow an insert.
    void editNewRow();

    std::unique_ptr<IEditableRows> rows_;
    QWidget* owner_;
    QString deleteQuestion_;
    bool deleteNeedsRow_;
    QTableView* grid_ = nullptr;
    int refusals_ = 0;
};

/// The grid of an editable table. A value its row refuses stays in the open cell editor with
/// the keys, so that the operator puts it right where it was typed: neither Tab, Enter, an
/// arrow nor a click elsewhere leaves that cell (and so stores the row without it) until the
/// value is taken or given up (Esc, the navigator's cancel).
class TGridView : public QTableView {
public:
    TGridView(TEditableGrid* rows, QWidget* parent);

protected:
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    // The open editor holds a value its row refused.
    bool holding() const;

    TEditableGrid* rows_;
    QPointer<QWidget> held_;
};
