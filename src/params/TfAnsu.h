#pragma once
// The keying dialog of the antenna matching unit "Настройка АНСУ": a band choice and a
// push-to-talk button (or F2) that keys the device's transmitter on that band.

#include "platform/KeyRelease.h"

#include <QDialog>

class QComboBox;
class QPushButton;
class QTimer;

/// Created once at start-up, opened modal from "Настройка АНСУ". While it is visible its
/// band is the current channel.
class TfAnsu : public QDialog {
    Q_OBJECT
public:
    explicit TfAnsu(QWidget* parent = nullptr);

    QComboBox* cbDiap; // "ГМВ0" .. "МВ3": channels 0-5
    QPushButton* sbTg; // "Тангента (F2)", down while the transmitter is keyed
    QTimer* Timer1;    // 260 ms from creation; the first press or release stops it

    void FormShow();
    void cbDiapChanhe();
    /// Runs after the button changed state: a press keys, a release unkeys. A change during
    /// the other's 10 ms wait is taken once it has ended: keying and unkeying alternate.
    void sbTgClick();
    /// F2 down with the button up presses it; held-key repeats do nothing.
    void FormKeyDown(int key, bool autoRepeat);
    /// F2 up with the button down releases it, unless a press follows within the repeat
    /// gap (a held key's repeat); the releases of held-key repeats do nothing.
    void FormKeyUp(int key, bool autoRepeat);
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    bool keyed_ = false;      // the line has had the press and no release since
    bool inSequence_ = false; // a key or unkey sequence runs (its wait pumps events)
    TPushKey* f2_ = nullptr;  // F2 works sbTg; its releases are held back to tell a repeat
};

extern TfAnsu* fAnsu;
