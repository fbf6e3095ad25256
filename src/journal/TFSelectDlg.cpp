#include "journal/TFSelectDlg.h"

#include "platform/Clock.h"
#include "platform/DateFormat.h"
#include "state/UVesk.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TFSelectDlg* FSelectDlg = nullptr;

namespace {
void SetTextColour(QWidget* w, bool enabled) {
    QPalette p = w->palette();
    const QPalette standard = QApplication::palette(w);
    const QColor colour =
        standard.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text})
        p.setColor(role, colour);
    w->setPalette(p);
}
} // namespace

void SetPanelEnabled(QWidget* panel, bool enabled) {
    panel->setEnabled(enabled);
    SetTextColour(panel, enabled);
}

TFSelectDlg::TFSelectDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("FSelectDlg");
    setWindowTitle("Выбор записей");
    setProperty("HelpContext", 8);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    CheckBox1 = new QCheckBox("По номеру локомотива", this);
    CheckBox1->setObjectName("CheckBox1");
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::StyledPanel);
    Label1 = new QLabel("Номер локомотива:", Panel1);
    Label1->setObjectName("Label1");
    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName("Edit1");
    auto* p1 = new QHBoxLayout(Panel1);
    p1->addWidget(Label1);
    p1->addWidget(Edit1, 1);

    CheckBox2 = new QCheckBox("По дате", this);
    CheckBox2->setObjectName("CheckBox2");
    Panel2 = new QFrame(this);
    Panel2->setObjectName("Panel2");
    Panel2->setFrameShape(QFrame::StyledPanel);
    Label2 = new QLabel("Даты с", Panel2);
    Label2->setObjectName("Label2");
    Label3 = new QLabel("        по", Panel2);
    Label3->setObjectName("Label3");
    Label3->setTextFormat(Qt::PlainText);
    const QString pickerFormat = ProgramLocale().dateFormat(QLocale::ShortFormat); // the system's
    for (QDateEdit** dtp : {&DTP1, &DTP2}) {
        *dtp = new QDateEdit(Panel2);
        (*dtp)->setCalendarPopup(true);
        (*dtp)->setDisplayFormat(pickerFormat);
        (*dtp)->setMinimumWidth((*dtp)->fontMetrics().horizontalAdvance(QStringLiteral("00.00.00000")) + 40);
    }
    DTP1->setObjectName("DTP1");
    DTP2->setObjectName("DTP2");
    auto* p2 = new QHBoxLayout(Panel2);
    p2->addWidget(Label2);
    p2->addWidget(DTP1);
    p2->addWidget(Label3);
    p2->addWidget(DTP2);
    p2->addStretch();

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Отмена", this);
    BitBtn2->setObjectName("BitBtn2");
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(CheckBox1, &QCheckBox::toggled, this, &TFSelectDlg::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::toggled, this, &TFSelectDlg::CheckBox2Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CheckBox1);
    layout->addWidget(Panel1);
    layout->addSpacing(6);
    layout->addWidget(CheckBox2);
    layout->addWidget(Panel2);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    FormCreate();
    setFixedSize(sizeHint());
}

void TFSelectDlg::FormCreate() {
    CheckBox1->setChecked(false);
    SetPanelEnabled(Panel1, false);
    CheckBox2->setChecked(false);
    SetPanelEnabled(Panel2, false);
    Edit1->setText(LocoNumber);
    const QDate today = Clock().Now().date();
    DTP1->setDate(today);
    DTP2->setDate(today);
}

QDateTime TFSelectDlg::DateTime1() const {
    return QDateTime(DTP1->date(), QTime(0, 0));
}

QDateTime TFSelectDlg::DateTime2() const {
    return QDateTime(DTP2->date(), QTime(23, 59));
}

void TFSelectDlg::CheckBox1Click() {
    SetPanelEnabled(Panel1, CheckBox1->isChecked());
}

void TFSelectDlg::CheckBox2Click() {
    SetPanelEnabled(Panel2, CheckBox2->isChecked());
}

void TFSelectDlg::FormShow() {
    if (Tag == 0) {
        CheckBox1->setEnabled(true);
        SetTextColour(CheckBox1, true);
    } else {
        CheckBox1->setChecked(false); // runs CheckBox1Click: the panel greys
        CheckBox1->setEnabled(false);
        SetTextColour(CheckBox1, false);
    }
}

void TFSelectDlg::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
}
