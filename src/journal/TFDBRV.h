#pragma once
// Window TFDBRV (instance FDBRV); filled in with its subsystem.

#include <QDialog>

/// Created once at start-up, hidden until opened.
class TFDBRV : public QDialog {
    Q_OBJECT
public:
    explicit TFDBRV(QWidget* parent = nullptr);
};

extern TFDBRV* FDBRV;
