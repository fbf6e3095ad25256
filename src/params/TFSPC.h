#pragma once
// Window TFSPC (instance FSPC); filled in with its subsystem.

#include <QDialog>

/// Created once at start-up, hidden until opened.
class TFSPC : public QDialog {
    Q_OBJECT
public:
    explicit TFSPC(QWidget* parent = nullptr);
};

extern TFSPC* FSPC;
