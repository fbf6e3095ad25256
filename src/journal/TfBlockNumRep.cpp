#include "journal/TfBlockNumRep.h"

TfBlockNumRep* fBlockNumRep = nullptr;

TfBlockNumRep::TfBlockNumRep(QWidget* parent) : QDialog(parent) { setObjectName("fBlockNumRep"); }
