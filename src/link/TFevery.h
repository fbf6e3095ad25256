#pragma once
// The monitor window "Команды и сообщения": the last bytes received and sent as hex
// grids, and the switches of the two hex logs.

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

/// Created once at start-up and shown modeless from "Все сообщения"; its grids follow the
/// trace rings every 200 ms while "Автообновление" is ticked, shown or not.
class TFevery : public QDialog {
    Q_OBJECT
public:
    explicit TFevery(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;
    QTableWidget* StringGrid1; // received bytes
    QTableWidget* StringGrid2; // sent bytes
    QPushButton* Button1;      // "Обновить"
    QPushButton* Button2;      // "Сброс"
    QPushButton* BitBtn1;      // "Закрыть"
    QCheckBox* cbAutoRepaint;
    QPushButton* bOpebFileIn;
    QPushButton* bCloseFileIn;
    QPushButton* bOpenFileOut;
    QPushButton* bCloseFileOut;
    QTimer* Timer1;

    void FormCreate();
    void FormShow();
    void Button1Click();
    void Button2Click();
    void Timer1Timer();
    void bOpebFileInClick();
    void bCloseFileInClick();
    void bOpenFileOutClick();
    void bCloseFileOutClick();

    /// Fills both grids from the trace rings.
    void RefreshAllMessages();
    /// Empties every non-fixed cell of both grids.
    void ClearMonitorGrids();

protected:
    void showEvent(QShowEvent* e) override;
};

extern TFevery* Fevery;
