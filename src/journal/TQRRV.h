#pragma once
// The printed list of attenuation corrections: every row of "РВ.db" in locomotive order,
// A4 portrait, framed columns.

#include "journal/ResultReports.h"

/// Report form of the attenuation editor (never shown as a window; a print shows its preview).
class TQRRV : public TReportForm {
    Q_OBJECT
public:
    TQRRV(QObject* owner, TReportData data);
    ~TQRRV() override;
    TReportPageNumber* QRSysData1 = nullptr;
};

/// The report form made by the latest print; nullptr when none lives.
extern TQRRV* QRRV;
