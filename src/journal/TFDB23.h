#pragma once
// Window TFDB23 (instance FDB23); filled in with its subsystem.

#include <QDialog>

/// Created once at start-up, hidden until opened.
class TFDB23 : public QDialog {
    Q_OBJECT
public:
    explicit TFDB23(QWidget* parent = nullptr);
};

extern TFDB23* FDB23;
