#pragma once
// "Результаты тестирования РВ": the browser of the tests 2/3 journal "Test23.DB".

#include "journal/TResultBrowser.h"

/// Created once at start-up, hidden until opened.
class TFDB23 : public TResultBrowser {
    Q_OBJECT
public:
    explicit TFDB23(QWidget* parent = nullptr);

protected:
    TResultReport* CreateReport(bool expanded, TReportData data) override;
};

extern TFDB23* FDB23;
