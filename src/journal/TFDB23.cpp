#include "journal/TFDB23.h"

#include "journal/ResultReports.h"

TFDB23* FDB23 = nullptr;

TFDB23::TFDB23(QWidget* parent)
    : TResultBrowser({TJournalKind::RadioTest, "Результаты тестирования РВ", "Комментарии :", true, false, 0},
                     parent) {
    setObjectName("FDB23");
}

TResultReport* TFDB23::CreateReport(bool expanded, TReportData data) {
    if (expanded) {
        delete FReportR2;
        FReportR2 = new TFReportR2(this, std::move(data));
        return FReportR2;
    }
    delete FReport23;
    FReport23 = new TFReport23(this, std::move(data));
    return FReport23;
}
