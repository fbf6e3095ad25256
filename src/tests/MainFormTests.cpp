// Test handlers of the main window (placeholders until the test runner lands).
#include "app/TMainForm.h"

void TMainForm::ITest1Click() {}
void TMainForm::ToolButton1Click() {}
void TMainForm::ITest2Click() {}
void TMainForm::ITest3Click() {}
void TMainForm::BitBtn3Click() {}
void TMainForm::BitBtn4Click() {}
void TMainForm::BitBtn5Click() {}
void TMainForm::N9Click() {}
void TMainForm::mPeriodicTest2Click() {}
void TMainForm::mPeriodicTest3Click() {}
void TMainForm::Timer1Timer() {}
void TMainForm::WriteToTable1(const QString&, const QString&, const QString&) {}
void TMainForm::WriteToTable2(const QString&, const QString&, const QString&, const QString&) {}
void TMainForm::WMDeviceTest1() {}
void TMainForm::WMDeviceTest23() {}
