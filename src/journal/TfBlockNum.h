#pragma once
// "Заводские номера блоков": the factory-numbers table with its navigator, editable grid,
// column choice and print. Created once at start-up; its table stays open for the run and
// the device import writes through it whether or not the window is ever shown.

#include "journal/BlockNumTable.h"
#include "journal/DBNavigator.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTableView;
class QToolButton;
class TBlockNumModel;
class TEditableGrid;

/// The factory-numbers window (instance fBlockNum).
class TfBlockNum : public QDialog {
    Q_OBJECT
public:
    explicit TfBlockNum(QWidget* parent = nullptr);
    ~TfBlockNum() override;

    TBlockNumTable* tblBlockNum;
    QWidget* DBNavigator1;
    QTableView* DBGrid1;
    QGroupBox* GroupBox1;
    QComboBox* cbIncludeRecords;
    QPushButton* bPrint;
    QLabel* Label1;
    QListWidget* clbViewFields;

    QToolButton* NavigatorButton(TNavButton b) const;
    /// Grid columns: the table column each shows (-1 for the source caption).
    static const QList<int>& GridColumns();
    static QString GridTitle(int gridColumn);

    void FormCreate();
    void DataSource1StateChange();
    void clbViewFieldsClickCheck();
    /// True when the window may close.
    bool FormCloseQuery();
    void FormDeactivate();
    void bPrintClick();
    void NavigatorClick(TNavButton b);

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void sizeColumns();
    // The grid reads the table only while the window is shown.
    void followTable(bool on);

    TEditableGrid* grid_;
    TBlockNumModel* model_;
    bool asking_ = false;
    bool following_ = false;
    QMetaObject::Connection current_;
};

extern TfBlockNum* fBlockNum;
