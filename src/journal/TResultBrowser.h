#pragma once
// A result browser: the self-test journal (TFDB) and the tests 2/3 journal (TFDB23) are
// twins built here. A read-only grid with several rows selectable, read a page at a time;
// a navigator; the comments that explain the current row's result code; the choice of
// columns; deletion of the selected rows; the record selection and the reports.

#include "journal/DBNavigator.h"
#include "journal/ResultJournal.h"
#include "journal/report/ReportLayer.h"

#include <QDialog>
#include <QListWidget>

class QPushButton;
class QTabWidget;
class QTableView;
class QTextEdit;
class QToolButton;
class TJournalModel;
class TResultReport;

/// A check list laid out in two columns, each filled top to bottom; it asks for the
/// height that shows every item.
class TCheckList : public QListWidget {
    Q_OBJECT
public:
    explicit TCheckList(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    static constexpr int topMargin = 3;
    int rowHeight() const;
};

/// What tells the twins apart.
struct TBrowserLook {
    TJournalKind Kind;
    QString Caption;
    QString CommentsTitle;
    bool OpensOnComments;
    /// Selected rows stay highlighted while the grid has no focus.
    bool KeepsSelectionHighlight;
    /// The record selection dialog's Tag: 0 from the tests 2/3 browser, 1 from the self-test one.
    int SelectTag;
};

class TResultBrowser : public QDialog {
    Q_OBJECT
public:
    TResultBrowser(const TBrowserLook& look, QWidget* parent);
    ~TResultBrowser() override;

    /// The journal table with the browser's filter state (FilterFlags, LocoFilter,
    /// DateFrom, DateTo, SelectedKeys).
    TResultJournal Table1;
    TJournalModel* DataSource1;
    TDBNavigator* DBNavigator1;
    QTableView* DBGrid1;
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QTextEdit* RichEdit1;
    QWidget* TabSheet2;
    TCheckList* clbViewFields;
    QToolButton* BitBtn1; // "Отчет"
    QToolButton* BitBtn2; // "Выбор по признаку"
    QPushButton* bDelSelected;

    void FormCreate();
    void FormShow();
    void FormClose();
    /// After every change of the current row: the comments follow it.
    void Table1AfterScroll();
    void clbViewFieldsClickCheck();
    void bDelSelectedClick();
    void BitBtn1Click();
    void BitBtn2Click();
    void NavigatorClick(TNavButton button);

    /// Position of the current row; -1 when there is none.
    int CurrentRow() const;
    /// Makes a row the current one; the selected rows stay as they are.
    void SetCurrentRow(int row);
    /// Positions of the rows selected in the grid, in order (one by one: for a few rows).
    QList<int> SelectedRows() const;

protected:
    /// Makes the report form of the chosen format (owned by this window) for these rows.
    virtual TResultReport* CreateReport(bool expanded, TReportData data) = 0;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void fitColumns();
    void reload(int keepRow);
    /// Opens the table unless it is open or not made yet; tell: a table that does not open
    /// says why in a dialog.
    void openTable(bool tell);
    /// Runs one of the shared dialogs over this browser; returns its result.
    int execOver(QDialog* dialog);

    TBrowserLook look_;
    QString openError_;   // why the table did not open when the window was last shown
    bool frozen_ = false; // a report is made or rows deleted: the grid and comments stay as they are
};

/// The rows selected in a browser's grid as runs of rowids, whatever their count. Raises
/// EVeskError.
TRowSelection GridSelection(QTableView* grid);

/// Asks, then deletes every row selected in a browser's grid, a slice at a time with the
/// window system running and the progress shown; returns how many rows went.
int DeleteSelectedRows(QTableView* grid);
