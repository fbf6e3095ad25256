#pragma once
// Window TFevery (instance Fevery); filled in with its subsystem.

#include <QDialog>

/// Created once at start-up, hidden until opened.
class TFevery : public QDialog {
    Q_OBJECT
public:
    explicit TFevery(QWidget* parent = nullptr);
};

extern TFevery* Fevery;
