#pragma once
// "Сведения о программе": name, version from the program file, maker's contacts.

#include <QDialog>

class QLabel;
class QPushButton;

/// The About window, opened modal from "О программе".
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Label2; // e-mail
    QLabel* Label3; // web address
    QPushButton* OKButton;

    void FormShow();
    void Label2Click();
    void Label3Click();

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
};

extern TAboutBox* AboutBox;
