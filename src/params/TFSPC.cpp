#include "params/TFSPC.h"

#include "link/Builders.h"
#include "link/TxBuffer.h"
#include "platform/Errors.h"
#include "runs/TestRules.h"
#include "state/UVesk.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

TFSPC* FSPC = nullptr;

namespace {

QLineEdit* field(QWidget* parent, const char* name, const QString& caption, int maxLength, int y) {
    auto* l = new QLabel(caption, parent);
    l->setGeometry(12, y + 2, 130, 18);
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(maxLength);
    e->setGeometry(150, y, 110, 22);
    return e;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, QStyle::StandardPixmap icon,
                    int x) {
    auto* b = new QPushButton(parent->style()->standardIcon(icon), text, parent);
    b->setObjectName(name);
    b->setGeometry(x, 180, 84, 27);
    b->setAutoDefault(false);
    return b;
}

void DigitFilter(QLineEdit* e) {
    const QString filtered = ReplaceNonDigits(e->text());
    if (filtered != e->text()) {
        const int cursor = e->cursorPosition();
        e->setText(filtered);
        e->setCursorPosition(cursor);
    }
}

} // namespace

TFSPC::TFSPC(QWidget* parent) : QDialog(parent) {
    setObjectName("FSPC");
    setWindowTitle("Спецрежим");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(284, 219);
    QFont f("MS Sans Serif");
    f.setPointSize(8);
    setFont(f);

    Edit1 = field(this, "Edit1", "Номер поезда", 4, 12);
    Edit2 = field(this, "Edit2", "Номер локомотива", 7, 40);
    Edit3 = field(this, "Edit3", "Информация", 8, 68);
    EResult1 = field(this, "EResult1", "Результат 1:", 8, 108);
    EResult2 = field(this, "EResult2", "Результат 2:", 8, 136);
    EResult1->setReadOnly(true);
    EResult2->setReadOnly(true);
    BitBtn1 = button(this, "BitBtn1", "Старт", QStyle::SP_MediaPlay, 8);
    BitBtn3 = button(this, "BitBtn3", "Сброс", QStyle::SP_BrowserReload, 100);
    // Esc presses "Выход": a key pressed by habit never starts the mode.
    BitBtn2 = button(this, "BitBtn2", "Выход", QStyle::SP_DialogCloseButton, 192);

    for (QLineEdit* e : {Edit1, Edit2, Edit3})
        connect(e, &QLineEdit::textChanged, this, [e] { DigitFilter(e); });
    connect(BitBtn1, &QPushButton::clicked, this, &TFSPC::BitBtn1Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TFSPC::BitBtn3Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TFSPC::reject);
}

void TFSPC::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
}

void TFSPC::FormShow() {
    Edit1->setText(TrainNumber);
    Edit2->setText(LocoNumber);
    Edit3->setText(SpecialInfo);
    EResult1->clear();
    EResult2->clear();
}

void TFSPC::BitBtn1Click() {
    BitBtn1->setEnabled(false);
    TrainNumber = PadLeftZeros(Edit1->text(), 4);
    LocoNumber = PadLeftZeros(Edit2->text(), 7);
    SpecialInfo = PadLeftZeros(Edit3->text(), 8);
    TTxLock lock(TxMutex());
    TxBuffer.Len = 0;
    PutTrainFrame();
    PutLocoFrame();
    PutCodeFrame();
    SendBuffer(TxBuffer, TxSent);
}

void TFSPC::BitBtn3Click() {
    EResult1->clear();
    EResult2->clear();
    BitBtn1->setEnabled(true);
    SendReset();
}

void TFSPC::FormClose() {
    if (BitBtn1->isEnabled())
        return;
    BitBtn1->setEnabled(true);
    SendReset();
}

void TFSPC::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TFSPC::ShowResult(int index, const QString& text) {
    if (index < 0 || index > 1)
        throw ERangeError(QStringLiteral("Номер результата спецрежима вне диапазона"));
    QLineEdit* e = index == 0 ? EResult1 : EResult2;
    e->setText(text);
    colour_[index] = colour_[index] == QColor(Qt::black) ? QColor(Qt::blue) : QColor(Qt::black);
    QPalette p = e->palette();
    p.setColor(QPalette::Text, colour_[index]);
    e->setPalette(p);
}

QColor TFSPC::ResultColour(int index) const {
    const QLineEdit* e = index == 0 ? EResult1 : EResult2;
    return e->palette().color(QPalette::Text);
}
