#pragma once
// Window TFTestDlg (instance FTestDlg); filled in with its subsystem.

#include <QDialog>

/// Created once at start-up, hidden until opened.
class TFTestDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFTestDlg(QWidget* parent = nullptr);
};

extern TFTestDlg* FTestDlg;
