// Link handlers of the main window (placeholders until the link lands).
#include "app/TMainForm.h"

void TMainForm::IPortClick() {}
void TMainForm::ICom4Click(QAction*) {}
void TMainForm::N8Click() {}
void TMainForm::mClosePortClick() {}
void TMainForm::iTCPselectClick() {}
void TMainForm::iComSelectClick() {}
void TMainForm::iConnectClick() {}
void TMainForm::iDisconnectClick() {}
void TMainForm::IEveryClick() {}
void TMainForm::SetLinkMenus(bool flag) { EnableLinkMenus(flag); }
void TMainForm::WMSocketEvent() {}
void TMainForm::HReadDone() {}
void TMainForm::bOpebFileInClick() {}
void TMainForm::bCloseFileInClick() {}
void TMainForm::FormClose() {}
void TMainForm::FormDestroy() {}
