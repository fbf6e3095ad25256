#include "journal/TfBlockNum.h"

TfBlockNum* fBlockNum = nullptr;

TfBlockNum::TfBlockNum(QWidget* parent) : QDialog(parent) { setObjectName("fBlockNum"); }
