#pragma once
// The report options dialog: which rows ("Все записи" or "Выделенные") and which format
// ("Сжатый" or "Развернутый"). Shared by both result browsers; it keeps its choices from
// one report to the next.

#include <QDialog>
#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QPushButton;

/// A framed group of radio buttons with one chosen item.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);
    int ItemIndex() const;
    void SetItemIndex(int index);

private:
    QButtonGroup* group_;
};

/// Created once at start-up, hidden until a browser asks for a report.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    TRadioGroup* RadioGroup1; // "Включить в отчет:"
    TRadioGroup* RadioGroup2; // "Формат таблицы"
    QPushButton* bOK;
    QPushButton* bCancel;

protected:
    void showEvent(QShowEvent* e) override;
};

extern TForm2* Form2;
