#pragma once
// The special mode window "Спецрежим": starts the device's special mode with a train
// number, a locomotive number and an information word, shows its two results and stops
// it with the reset byte.

#include <QColor>
#include <QDialog>

class QLineEdit;
class QPushButton;

/// Created once at start-up, opened modal by "Технологический режим 2". A run is on while
/// "Старт" is disabled.
class TFSPC : public QDialog {
    Q_OBJECT
public:
    explicit TFSPC(QWidget* parent = nullptr);

    QLineEdit* Edit1; // train number, 4 digits
    QLineEdit* Edit2; // locomotive number, 7 digits
    QLineEdit* Edit3; // information word, 8 digits
    QLineEdit* EResult1;
    QLineEdit* EResult2;
    QPushButton* BitBtn1; // "Старт"
    QPushButton* BitBtn3; // "Сброс"
    QPushButton* BitBtn2; // "Выход"

    void FormShow();
    void BitBtn1Click();
    void BitBtn3Click();
    /// Closing during a run stops it (reset byte); closing while idle sends nothing.
    void FormClose();
    /// A result reported by the device (0 from frame F0, 1 from frame F2), in a colour
    /// other than the last one so that a repeated value is seen.
    void ShowResult(int index, const QString& text);
    /// The colour the result field shows now.
    QColor ResultColour(int index) const;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    QColor colour_[2]; // invalid until the first result: not black
};

extern TFSPC* FSPC;
