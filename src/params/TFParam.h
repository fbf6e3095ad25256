#pragma once
// Window TFParam (instance FParam); filled in with its subsystem.

#include <QDialog>

/// Created once at start-up, hidden until opened.
class TFParam : public QDialog {
    Q_OBJECT
public:
    explicit TFParam(QWidget* parent = nullptr);
};

extern TFParam* FParam;
