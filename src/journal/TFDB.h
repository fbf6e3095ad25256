#pragma once
// " Результаты тестирования ВЕСК": the browser of the self-test journal "tests1.DB".

#include "journal/TResultBrowser.h"

/// Created once at start-up, hidden until opened.
class TFDB : public TResultBrowser {
    Q_OBJECT
public:
    explicit TFDB(QWidget* parent = nullptr);
    /// Sets VswrTextMv and VswrTextGmv from the current row's reserv.
    void GetKSV();

protected:
    TResultReport* CreateReport(bool expanded, TReportData data) override;
};

extern TFDB* FDB;
