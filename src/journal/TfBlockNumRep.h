#pragma once
// Window TfBlockNumRep (instance fBlockNumRep); filled in with its subsystem.

#include <QDialog>

/// Created once at start-up, hidden until opened.
class TfBlockNumRep : public QDialog {
    Q_OBJECT
public:
    explicit TfBlockNumRep(QWidget* parent = nullptr);
};

extern TfBlockNumRep* fBlockNumRep;
