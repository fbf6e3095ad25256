#include "journal/TFDBRV.h"

TFDBRV* FDBRV = nullptr;

TFDBRV::TFDBRV(QWidget* parent) : QDialog(parent) {
    setObjectName("FDBRV");
}
