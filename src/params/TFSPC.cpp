#include "params/TFSPC.h"

TFSPC* FSPC = nullptr;

TFSPC::TFSPC(QWidget* parent) : QDialog(parent) {
    setObjectName("FSPC");
}
