#pragma once
// The parameters window "Параметры ВЕСК": shows the device's parameter set, composes the
// configuration word, sends the groups to the device, saves and loads "params.txt",
// sets the squelch of both bands live and takes the mechanic number.

#include <QDialog>
#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QToolButton;

/// Created once at start-up, hidden until "Параметры" shows it (modeless); closing it
/// only hides it. The device link's decoders refresh it while it is open or hidden.
class TFParam : public QDialog {
    Q_OBJECT
public:
    explicit TFParam(QWidget* parent = nullptr);

    QLineEdit* MaskEdit1; // mechanic number, Tag 7
    QLineEdit* Edit1;     // device software version
    QGroupBox* gbSS;
    QComboBox* cbRS;
    QComboBox* ComboBox2;
    QComboBox* ComboBox3;
    QComboBox* ComboBox5;
    QComboBox* ComboBox6;
    QCheckBox* cbNchInTest;
    QCheckBox* CheckBox5;
    QCheckBox* cbNchAutonom;
    QCheckBox* CheckBox3;
    QCheckBox* CheckBox4;
    QCheckBox* CheckBox8;
    QCheckBox* cbTestPsh;
    QGroupBox* GroupNCH;
    QButtonGroup* GroupNCHItems; // items 0 "МВ1", 1 "МВ2"
    QLineEdit* MaskEdit2;        // the service word, Tag 0
    QToolButton* SpeedButton1;
    QLineEdit* MaskEdit11; // ГМВ lower, Tag 1
    QLineEdit* MaskEdit5;  // ГМВ upper
    QLineEdit* MaskEdit10; // МВ lower
    QLineEdit* MaskEdit4;  // МВ upper
    QToolButton* SpeedButton2;
    // МВ1-МВ3 channel numbers, receive and transmit; Tags 2, 2, 3, 3, 4, 4.
    QLineEdit* MvEdit0;
    QLineEdit* MvEdit1;
    QLineEdit* MvEdit2;
    QLineEdit* MvEdit3;
    QLineEdit* MvEdit4;
    QLineEdit* MvEdit5;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton4;
    QToolButton* SpeedButton5;
    QGroupBox* gbPSH_mv;
    QSlider* tbPSH_MV;
    QSpinBox* sePSH_mv;
    QCheckBox* cbPSH_off_mv;
    QGroupBox* gbPHS_gmv;
    QSlider* tbPSH_GMV;
    QSpinBox* sePSH_gmv;
    QCheckBox* cbPSH_off_gmv;
    QPushButton* bPshAuto;
    QPushButton* bsave;
    QPushButton* bUnSave;
    QPushButton* BitBtn1; // " Отправить всё", Tag 10

    /// Reloads every control from the shared set and empties ParamsDirty; unsent edits
    /// are replaced.
    void FormShow();
    /// The squelch controls from PshSettings; sends nothing.
    void ShowPSHs();
    /// Enables the squelch groups here and in the voice call window.
    void EnablePSH();
    /// Closing: the mechanic number, the prompt for unsent changes, the access rule.
    void FormClose();

    // Take routines: the window's values into the shared set.
    void TakeMechanicNumber();
    void TakeConfigWord();
    void TakeThresholds();
    void TakeExtraParams() {}
    void TakeChannelNumbers();
    void TakeAllParams();
    void TakeParamPSH();

    /// The send operation of every send button, by the sender's Tag.
    void SpeedButton1Click(QObject* sender);
    void bsaveClick();
    void bUnSaveClick();
    void bPshAutoClick();

    // Composition of the service word.
    void cbRSChange();
    void ComboBox2Change();
    void ComboBox3Change();
    void ComboBox5Change();
    void ComboBox6Change();
    void cbNchInTestClick();
    void CheckBox5Click();
    void cbNchAutonomClick();
    void cbTestPshClick();
    void CheckBox3Click();
    void CheckBox4Click();
    void CheckBox8Click();
    void GroupNCHClick();

    // Edit filters: mark the edit's group, then put back the filtered text.
    void MaskEdit2Change(QLineEdit* edit);
    void MaskEdit3Change(QLineEdit* edit);

    // Squelch.
    void tbPSH_MVChange();
    void sePSH_mvChange();
    void cbPSH_off_mvClick();
    void tbPSH_GMVChange();
    void sePSH_gmvChange();
    void cbPSH_off_gmvClick();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void buildServiceWord();
    void buildThresholds();
    void buildChannels();
    struct TSquelchNames {
        const char* group;
        const char* bar;
        const char* spin;
        const char* off;
    };
    QGroupBox* buildSquelch(const TSquelchNames& names, const QString& title, int top, QSlider*& bar,
                            QSpinBox*& spin, QCheckBox*& off);
    void connectHandlers();
    /// Shows ConfigWord in MaskEdit2 after a handler changed it.
    void showWord();
    /// A list's choice into digit d of the word.
    void listChanged(QComboBox* combo, int digit);
    void squelchChanged(uint8_t band);
    int groupNchItem() const;
    void setGroupNchItem(int item);

    bool placed_ = false; // centred on the main window at the first show
};

extern TFParam* FParam;
