#pragma once
// Window TFDB (instance FDB); filled in with its subsystem.

#include <QDialog>

/// Created once at start-up, hidden until opened.
class TFDB : public QDialog {
    Q_OBJECT
public:
    explicit TFDB(QWidget* parent = nullptr);
};

extern TFDB* FDB;
