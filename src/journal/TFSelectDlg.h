#pragma once
// Window TFSelectDlg (instance FSelectDlg); filled in with its subsystem.

#include <QDialog>

/// Created once at start-up, hidden until opened.
class TFSelectDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFSelectDlg(QWidget* parent = nullptr);
};

extern TFSelectDlg* FSelectDlg;
