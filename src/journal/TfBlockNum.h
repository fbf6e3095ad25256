#pragma once
// Window TfBlockNum (instance fBlockNum); filled in with its subsystem.

#include <QDialog>

/// Created once at start-up, hidden until opened.
class TfBlockNum : public QDialog {
    Q_OBJECT
public:
    explicit TfBlockNum(QWidget* parent = nullptr);
};

extern TfBlockNum* fBlockNum;
