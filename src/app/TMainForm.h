#pragma once
// The main window: menus, tool bar, device state panel, message grid, measurements,
// the three result panels and the status bar. Its components are public, by the names
// the other windows and subsystems use. Its handlers are grouped by subsystem in files of
// their own in this folder (MainFormLink.cpp, MainFormTests.cpp, ...).

#include "app/TMessageGrid.h"
#include "app/TTitleLabel.h"
#include "state/MainView.h"

#include <QMainWindow>
#include <QString>
#include <cstdint>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTableWidget;
class QTextEdit;
class QTimer;
class QToolBar;
class TGauge;
class TShape;
struct TResultContext;

/// The program's main window; lives for the whole run.
class TMainForm : public QMainWindow, public IMainView {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Main menu.
    QMenu* iDevice;
    QAction* iTCPselect;
    QAction* iComSelect;
    QMenu* iTCP;
    QAction* iConnect;
    QAction* iDisconnect;
    QMenu* IPort;
    QMenu* inom;
    QAction* COM11;
    QAction* N8;
    QAction* mClosePort;
    QMenu* IVesk;
    QAction* IReset;
    QAction* N2;
    QAction* N1;
    QAction* ICall1;
    QAction* ICall2;
    QMenu* ITest;
    QAction* N14;
    QAction* ITest1;
    QAction* ITest2;
    QAction* ITest3;
    QMenu* IDB;
    QAction* N11;
    QAction* N231;
    QMenu* N5;
    QAction* iBlockNum;
    QAction* N13;
    QAction* N6;
    QAction* N7;
    QAction* N9;
    QAction* N31;
    QAction* N15;
    QAction* mPeriodicTest2;
    QAction* mPeriodicTest3;
    QAction* mAnsu;
    QAction* N12; // "Данные о локомотивных РС", privileged like mAnsu
    QMenu* N4;
    QAction* N3;
    QAction* N10;

    // Tool bar; its actions in position order (separators included).
    QToolBar* ToolBar1;
    QAction* ToolButton1;
    QAction* ToolButton2;
    QAction* ToolButton3;
    QAction* ToolButton5;
    QAction* ToolButton6;
    QAction* ToolButton7;
    QAction* ToolButton9;
    QAction* ToolButton8;
    QAction* ToolButton4;
    QAction* ToolButton10;
    QAction* ToolButton11;
    QAction* ToolButton12;
    QAction* ToolButton13;

    // Panel1: device state.
    QFrame* Panel1;
    QLabel* Label7;
    TGauge* Gauge1;
    QLineEdit* eRange;
    QLineEdit* Edit1;
    QLabel* LDataErr;
    QLineEdit* Edit5;
    QLineEdit* Edit6;
    TShape* Shape2;
    TShape* Shape3;
    TShape* shPusk;
    TShape* shStatMsg;
    TShape* shSaveSound;
    TShape* shUnSaveSound;

    // Panel2: received messages.
    QFrame* Panel2;
    TMessageGrid* StringGrid1;
    QPushButton* BitBtn1;

    // Panel3: measurements.
    QFrame* Panel3;
    QLineEdit* ELevm;
    QLineEdit* ELevg;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QPushButton* BitBtn2;

    // Panel4: device self-test result.
    QFrame* Panel4;
    TTitleLabel* Label24;
    QLabel* LSoob1;
    QLabel* LResult;
    TGauge* Gauge2;
    QLabel* LTest1;
    QTextEdit* RichEdit1;
    QPushButton* BitBtn3;

    // Panel5: tests 2 and 3 result.
    QFrame* Panel5;
    TTitleLabel* Label19;
    QLabel* Label20;
    TGauge* Gauge3;
    QLabel* Label21;
    QLabel* Label22;
    QLabel* Label23;
    QTextEdit* RichEdit2;
    QPushButton* BitBtn4;

    // Panel6: test 1 and alarms.
    QFrame* Panel6;
    TTitleLabel* Label25;
    QLabel* LLIU;
    QLineEdit* ELIU;
    QLabel* LBadSch_MW;
    QLabel* LBadUM_MW;
    QLabel* LBadUM_GMW;
    TGauge* Gauge4;
    QLabel* Label27;
    QPushButton* BitBtn5;

    QStatusBar* StatusBar1;
    QTimer* Timer1;
    QTimer* Timer2;

    /// Text of a status bar panel (0 the link, 1 the test start time or upload progress).
    QString StatusText(int panel) const;
    void SetStatusText(int panel, const QString& text);
    /// Enabled state of a tool-bar position.
    bool ToolPositionEnabled(int position) const;

    // Start-up (this folder).
    void FormCreate();
    void FormShow();

    // State routines of the main window (IMainView).
    void AddMessageRow(const QString& text, bool withChannel) override;
    void ClearMessageGrid() override;
    void EnableTestControls(bool flag) override;
    void EnableLinkMenus(bool flag) override;
    void UpdateServiceMenus(bool flag) override;
    void ResetResultPanel() override;
    void ClearMeasurements() override;
    void Err_kan(uint8_t kan, int kind) override;
    void ShowPSHs() override {}
    std::optional<QPoint> Centre() const override;

    // Menu commands of this folder.
    void IResetClick();
    void N2Click();
    void ICall1Click(QObject* sender);
    void ComboChange(QObject* sender) override;
    void ToolButton10Click();
    void ToolButton11Click();
    void iBlockNumClick();
    void mAnsuClick();
    void N31Click();
    void N4Click();
    void N3Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void N12Click();

    // Link (MainFormLink.cpp).
    void IPortClick();
    void ICom4Click(QAction* item);
    void N8Click();
    void mClosePortClick();
    void iTCPselectClick();
    void iComSelectClick();
    void iConnectClick();
    void iDisconnectClick();
    void IEveryClick();
    void SetLinkMenus(bool flag);
    void WMSocketEvent();
    void HReadDone();
    void bOpebFileInClick();
    void bCloseFileInClick();
    void FormClose();
    void FormDestroy();

    // Tests (MainFormTests.cpp).
    void ITest1Click();
    void ToolButton1Click();
    void ITest2Click();
    void ITest3Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void N9Click();
    void mPeriodicTest2Click();
    void mPeriodicTest3Click();
    void Timer1Timer();
    void WriteToTable1(const QString& event, const QString& code, const QString& word) override;
    /// result: the queued result whose numbers the row takes; null for the no-answer row.
    void WriteToTable2(const QString& event, const QString& code, const QString& word,
                       const QString& direction, const TResultContext* result = nullptr);
    void Test1(); // WM_DEVICE_TEST1
    void Test2(); // WM_DEVICE_TEST23
    /// The station's train and locomotive numbers of a result it started, on the panel.
    void ShowStationNumbers(const TResultContext& result);
    void SelfTestRun();
    void StartRadioTest(int test);
    bool ShowTestDialog();
    /// Shows the tests 2/3 panel with its title and the train or locomotive number.
    void ShowRadioPanel(bool byTrain);
    /// numberKind: 0 train, 1 locomotive, -1 as the test dialog chose.
    void TestBegin(int numberKind = -1);
    void TestRun23();
    bool ShowTest1Dialog();
    void TestBegin1();
    /// The busy event's close of the tests 2/3 result panel (hides it only during a wait).
    void CloseRadioResultPanel();

    // Sound-file upload timer (MainFormVoice.cpp).
    void Timer2Timer();

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildPanels();
    void connectHandlers();
    void setMenuEnabled(QMenu* menu, bool on);
    void applyTestControls(bool flag);
    /// A port command has left no line open: the link menus off, as at start-up.
    void noLineOpen();
    /// No line is open: the device panel shows nothing known and what needs the station's
    /// answer goes off at once, as after a lost line.
    void lineClosed();

    bool shown_ = false;
    bool testControlsOn_ = true;       // as last asked by EnableTestControls
    bool testControlsWaiting_ = false; // their switch on waits for the end of a delivery
};

extern TMainForm* MainForm;
