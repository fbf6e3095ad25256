#pragma once
// The printed list of factory numbers: A4 landscape, a printed-at line on every page,
// the column captions on the first page, one line per row of its query.

#include "journal/report/ReportLayer.h"

#include <QObject>
#include <memory>

class QWidget;

/// Report form of the factory numbers (never shown as a window; a print shows its preview).
class TfBlockNumRep : public QObject {
public:
    explicit TfBlockNumRep(QObject* parent = nullptr);
    ~TfBlockNumRep() override;

    /// The print query on "BlockNum.DB"; its text is set by the window before a print.
    TReportQuery Query1;
    std::unique_ptr<TReport> QuickRep1;
    TReportLabel* qrlInfo = nullptr;

    void FormCreate();
    /// Hands the query's rows to the report and shows the preview (waits until closed).
    void Preview(QWidget* parent = nullptr);
};

extern TfBlockNumRep* fBlockNumRep;
