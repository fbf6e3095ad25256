#include "link/TFevery.h"

TFevery* Fevery = nullptr;

TFevery::TFevery(QWidget* parent) : QDialog(parent) { setObjectName("Fevery"); }
