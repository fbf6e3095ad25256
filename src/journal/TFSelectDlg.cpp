#include "journal/TFSelectDlg.h"

TFSelectDlg* FSelectDlg = nullptr;

TFSelectDlg::TFSelectDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("FSelectDlg");
}
