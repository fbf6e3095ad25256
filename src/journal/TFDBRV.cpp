#include "journal/TFDBRV.h"

#include "journal/Attenuation.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"

TFDBRV* FDBRV = nullptr;

TFDBRV::TFDBRV(QWidget* parent) : QDialog(parent) {
    setObjectName("FDBRV");
    try {
        OpenAttenuationTable();
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), parent);
    }
}
