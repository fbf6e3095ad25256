#pragma once
// Window TForm2 (instance Form2); filled in with its subsystem.

#include <QDialog>

/// Created once at start-up, hidden until opened.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
};

extern TForm2* Form2;
