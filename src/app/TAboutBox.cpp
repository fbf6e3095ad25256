#include "app/TAboutBox.h"

#include "platform/HelpFile.h"
#include "platform/Version.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>

TAboutBox* AboutBox = nullptr;

namespace {
QLabel* link(QWidget* parent, const char* name, const QString& text, int y) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    QFont f = l->font();
    f.setBold(true);
    f.setPointSize(12);
    l->setFont(f);
    l->setStyleSheet("color: blue;");
    l->setCursor(Qt::PointingHandCursor);
    l->setGeometry(8, y, 290, std::max(22, l->fontMetrics().height()));
    return l;
}
} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle("Сведения о программе");
    setFixedSize(324, 292);
    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setGeometry(8, 8, 308, 240);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setGeometry(8, 8, 48, 48);
    ProductName = new QLabel("Программа ВЕСК-4ТЦ", panel);
    ProductName->setObjectName("ProductName");
    ProductName->setGeometry(70, 10, 230, 18);
    Version = new QLabel("Версия ", panel);
    Version->setObjectName("Version");
    Version->setGeometry(70, 32, 230, 18);

    auto* maker = new QLabel("Разработчик испытательного оборудования", panel);
    maker->setObjectName("Label1");
    maker->setGeometry(8, 66, 290, 18);
    auto* address = new QLabel("Адрес предприятия-изготовителя указан в паспорте изделия", panel);
    address->setObjectName("Label4");
    address->setWordWrap(true);
    address->setGeometry(8, 88, 290, 36);
    auto* phone = new QLabel("Телефон и факс: см. паспорт изделия", panel);
    phone->setObjectName("Label5");
    phone->setGeometry(8, 128, 290, 18);
    Label2 = link(panel, "Label2", "support@vesk.example", 160);
    Label3 = link(panel, "Label3", "https://vesk.example", 190);
    Label2->installEventFilter(this);
    Label3->installEventFilter(this);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    const int okWidth = std::max(75, OKButton->sizeHint().width());
    OKButton->setGeometry((324 - okWidth) / 2, 256, okWidth, 25);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::FormShow() {
    Version->setText("Версия : " + GetFileVersionString(ProgramFilePath()));
}

void TAboutBox::Label2Click() {
    ShellOpen("mailto:" + Label2->text());
}

void TAboutBox::Label3Click() {
    ShellOpen(Label3->text());
}

void TAboutBox::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::MouseButtonRelease) {
        if (watched == Label2)
            Label2Click();
        else if (watched == Label3)
            Label3Click();
    }
    return QDialog::eventFilter(watched, e);
}
