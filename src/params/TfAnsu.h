#pragma once
// Antenna matching unit keying dialog (instance fAnsu); filled in with its subsystem.

#include <QDialog>

class QComboBox;

/// Created once at start-up, opened modal from "Настройка АНСУ".
class TfAnsu : public QDialog {
    Q_OBJECT
public:
    explicit TfAnsu(QWidget* parent = nullptr);
    QComboBox* cbDiap; // items begin with "ГМВ0"
};

extern TfAnsu* fAnsu;
