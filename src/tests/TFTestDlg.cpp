#include "tests/TFTestDlg.h"

TFTestDlg* FTestDlg = nullptr;

TFTestDlg::TFTestDlg(QWidget* parent) : QDialog(parent) { setObjectName("FTestDlg"); }
