#include "journal/TFDB.h"

#include "journal/JournalModel.h"
#include "journal/ResultReports.h"

TFDB* FDB = nullptr;

TFDB::TFDB(QWidget* parent)
    : TResultBrowser({TJournalKind::SelfTest, " Результаты тестирования ВЕСК", "Комментарии", false, true, 1},
                     parent) {
    setObjectName("FDB");
}

void TFDB::GetKSV() {
    const TRow row = DataSource1->Row(CurrentRow());
    GetKsvFromReserv(row.value(Table1.FieldIndex("reserv")).toString());
}

TResultReport* TFDB::CreateReport(bool expanded, TReportData data) {
    if (expanded) {
        delete FReportR1; // the last one is kept; an older one has nothing more to show
        FReportR1 = new TFReportR1(this, std::move(data));
        return FReportR1;
    }
    delete FReport;
    FReport = new TFReport(this, std::move(data));
    return FReport;
}
