#pragma once
// "Выбор записей": the criteria of a result browser, a locomotive number (the tests 2/3
// browser only) and an inclusive range of days. Shared by both browsers; it keeps its
// ticks, text and dates from one use to the next.

#include <QDateTime>
#include <QDialog>

class QCheckBox;
class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

/// Enables a criterion's panel and greys its texts when it is off.
void SetPanelEnabled(QWidget* panel, bool enabled);

/// Created once at start-up, hidden until a browser asks for criteria.
class TFSelectDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFSelectDlg(QWidget* parent = nullptr);

    QCheckBox* CheckBox1;
    QFrame* Panel1;
    QLabel* Label1;
    QLineEdit* Edit1;
    QCheckBox* CheckBox2;
    QFrame* Panel2;
    QLabel* Label2;
    QDateEdit* DTP1;
    QLabel* Label3;
    QDateEdit* DTP2;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

    /// Set by the browser before each showing: 0 the tests 2/3 browser, 1 the self-test one.
    int Tag = 0;

    /// The first day from its start, the last day to its 23:59.
    QDateTime DateTime1() const;
    QDateTime DateTime2() const;

    void FormCreate();
    void FormShow();
    void CheckBox1Click();
    void CheckBox2Click();

protected:
    void showEvent(QShowEvent* e) override;
};

extern TFSelectDlg* FSelectDlg;
