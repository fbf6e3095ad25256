#include "journal/TFDB.h"

TFDB* FDB = nullptr;

TFDB::TFDB(QWidget* parent) : QDialog(parent) {
    setObjectName("FDB");
}
