#pragma once
// "Данные о локомотивных РС": the editor of the per-locomotive attenuation corrections.
// Created at start-up, which opens "РВ.db" for the run: the device's requests are answered
// from that table whether or not the editor is ever opened.

#include "journal/AttenuationEdit.h"
#include "journal/DBNavigator.h"

#include <QDialog>

class QTableView;
class QToolButton;
class TAttenuationModel;
class TEditableGrid;

/// Shown modally by the main window's N12Click.
class TFDBRV : public QDialog {
    Q_OBJECT
public:
    explicit TFDBRV(QWidget* parent = nullptr);
    ~TFDBRV() override;

    TAttenuationEdit* Table1;
    TDBNavigator* DBNavigator1;
    QTableView* DBGrid1;
    QToolButton* BitBtn1; // "Отчет"

    void FormCreate();
    void BitBtn1Click();
    /// True when the window may close.
    bool FormCloseQuery();
    void NavigatorClick(TNavButton button);

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    TEditableGrid* grid_;
    TAttenuationModel* model_;
};

extern TFDBRV* FDBRV;
