#include "params/TfAnsu.h"

#include <QComboBox>
#include <QVBoxLayout>

TfAnsu* fAnsu = nullptr;

TfAnsu::TfAnsu(QWidget* parent) : QDialog(parent) {
    setObjectName("fAnsu");
    auto* layout = new QVBoxLayout(this);
    cbDiap = new QComboBox(this);
    cbDiap->setObjectName("cbDiap");
    layout->addWidget(cbDiap);
}
