#pragma once
// Voice call window (instance FCall); filled in with its subsystem.

#include <QDialog>
#include <cstdint>

class QComboBox;
class QPushButton;

/// Created once at start-up, opened modal by the call commands.
class TFCall : public QDialog {
    Q_OBJECT
public:
    explicit TFCall(QWidget* parent = nullptr);
    /// Sends the squelch frame of Band (0 ГМВ, 1 МВ) from PshSettings; the one sender of that
    /// frame for this window and the parameters window.
    void SendPSH(uint8_t Band);
    QComboBox* cbDiap;   // band: "ГМВ1", "ГМВ2", "МВ1" ... "МВ4"
    QComboBox* cbDiapMV; // МВ only: "МВ1", "МВ2", "МВ3"
    QPushButton* bCall;  // its "tag" property: 0 ТЧМ call, 1 ДСП call
};

extern TFCall* FCall;
