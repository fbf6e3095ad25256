#include "journal/TFDB23.h"

TFDB23* FDB23 = nullptr;

TFDB23::TFDB23(QWidget* parent) : QDialog(parent) {
    setObjectName("FDB23");
}
