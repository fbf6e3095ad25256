#include "voice/TFCall.h"

#include "link/Builders.h"

#include <QComboBox>
#include <QPushButton>
#include <QVBoxLayout>

TFCall* FCall = nullptr;

TFCall::TFCall(QWidget* parent) : QDialog(parent) {
    setObjectName("FCall");
    auto* layout = new QVBoxLayout(this);
    cbDiap = new QComboBox(this);
    cbDiap->setObjectName("cbDiap");
    cbDiap->addItems({"ГМВ1", "ГМВ2", "МВ1", "МВ2", "МВ3", "МВ4"});
    cbDiap->setCurrentIndex(-1);
    cbDiapMV = new QComboBox(this);
    cbDiapMV->setObjectName("cbDiapMV");
    cbDiapMV->addItems({"МВ1", "МВ2", "МВ3"});
    bCall = new QPushButton(this);
    bCall->setObjectName("bCall");
    bCall->setProperty("tag", 0);
    layout->addWidget(cbDiap);
    layout->addWidget(cbDiapMV);
    layout->addWidget(bCall);
}

void TFCall::SendPSH(uint8_t Band) {
    SendPsh(Band);
}
