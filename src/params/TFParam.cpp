#include "params/TFParam.h"

TFParam* FParam = nullptr;

TFParam::TFParam(QWidget* parent) : QDialog(parent) {
    setObjectName("FParam");
}
