#pragma once
// The test parameters dialog: train or locomotive number and channel for tests 1, 2, 3.

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

/// "Параметры теста": writes TrainNumber, LocoNumber and CurrentChannel. Created once at
/// start-up, opened modal by the test commands.
class TFTestDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFTestDlg(QWidget* parent = nullptr);

    QComboBox* RadioGroup1; // item 0 train number, item 1 locomotive number
    QLineEdit* Edit1;
    QLabel* Label2;
    QComboBox* ComboBox1;   // "ГМВ1" .. "МВ3": channels 1-5
    QComboBox* ComboBoxMW;  // "МВ1" .. "МВ3": channels 3-5 (ГМВ blocked)
    QComboBox* ComboBoxGMW; // "ГМВ1", "ГМВ2": channels 1-2 (МВ blocked)
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

    void FormCreate();
    void FormShow();
    void RadioGroup1Exit();
    void Edit1Change();
    void BitBtn1Click();
    /// Every close; returns false when an OK is refused (blocked band).
    bool FormClose(int result);

    /// The channel combo now shown, or nullptr.
    QComboBox* ShownChannelCombo() const;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
};

extern TFTestDlg* FTestDlg;
