#include "runs/TFTestDlg.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "runs/TestRules.h"
#include "state/MainView.h"
#include "state/UVesk.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

TFTestDlg* FTestDlg = nullptr;

namespace {
QComboBox* combo(QWidget* parent, const char* name, const QStringList& items, const QRect& g) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->addItems(items);
    c->setGeometry(g);
    return c;
}
} // namespace

TFTestDlg::TFTestDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("FTestDlg");
    setWindowTitle("Параметры теста");
    setModal(true);
    setFixedSize(245, 147);
    QFont f("MS Sans Serif");
    f.setPointSize(8);
    setFont(f);

    RadioGroup1 = combo(this, "RadioGroup1", {"Номер поезда", "Номер локомотива"}, QRect(8, 8, 140, 22));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(156, 8, 80, 22);
    Edit1->setMaxLength(4);
    Label2 = new QLabel("Канал:", this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(8, 46, 60, 18);
    const QRect channelPlace(80, 44, 156, 22);
    ComboBox1 = combo(this, "ComboBox1", {"ГМВ1", "ГМВ2", "МВ1", "МВ2", "МВ3"}, channelPlace);
    ComboBoxMW = combo(this, "ComboBoxMW", {"МВ1", "МВ2", "МВ3"}, channelPlace);
    ComboBoxGMW = combo(this, "ComboBoxGMW", {"ГМВ1", "ГМВ2"}, channelPlace);
    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(40, 110, 80, 27);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Отмена", this);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setGeometry(128, 110, 80, 27);

    connect(RadioGroup1, &QComboBox::currentIndexChanged, this, [this] { RadioGroup1Exit(); });
    connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        BitBtn1Click();
        done(QDialog::Accepted);
    });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
    Edit1->installEventFilter(this);
    FormCreate();
}

void TFTestDlg::FormCreate() {
    RadioGroup1->setCurrentIndex(0);
    if (GmvBlocked(ConfigWord)) {
        ComboBox1->hide();
        ComboBoxGMW->hide();
        ComboBoxMW->show();
        ComboBoxMW->setCurrentIndex(0);
    } else if (MvBlocked(ConfigWord)) {
        ComboBox1->hide();
        ComboBoxMW->hide();
        ComboBoxGMW->show();
        ComboBoxGMW->setCurrentIndex(0);
    } else {
        ComboBox1->show();
        ComboBox1->setCurrentIndex(0);
        ComboBoxMW->hide();
        ComboBoxGMW->hide();
    }
    // Every choice in the full list becomes the current channel at once.
    connect(ComboBox1, &QComboBox::activated, this, [this] {
        try {
            MainView().ComboChange(ComboBox1);
        } catch (const std::exception& e) {
            ShowError(ExceptionText(e), this);
        }
    });
    ComboBoxMW->setCurrentIndex(0);
    ComboBoxGMW->setCurrentIndex(0);
}

void TFTestDlg::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
}

bool TFTestDlg::eventFilter(QObject* watched, QEvent* e) {
    // Only the operator moving into the edit counts as entering it: focus that comes back
    // after another window, a message box or the edit's own context menu keeps the text.
    if (watched == Edit1 && e->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            RadioGroup1Exit();
    }
    return QDialog::eventFilter(watched, e);
}

void TFTestDlg::FormShow() {
    // The width goes first: a text longer than the old width would otherwise be cut.
    const bool loco = RadioGroup1->currentIndex() == 1;
    Edit1->setMaxLength(loco ? 7 : 4);
    Edit1->setText(loco ? LocoNumber : TrainNumber);
}

void TFTestDlg::RadioGroup1Exit() {
    if (RadioGroup1->currentIndex() == 1) {
        Edit1->setMaxLength(7);
        Edit1->setText(LocoNumber);
    } else {
        Edit1->setMaxLength(4);
        Edit1->setText(TrainNumber);
    }
}

void TFTestDlg::Edit1Change() {
    const QString filtered = ReplaceNonDigits(Edit1->text());
    if (filtered != Edit1->text()) {
        const int cursor = Edit1->cursorPosition();
        Edit1->setText(filtered);
        Edit1->setCursorPosition(cursor);
    }
}

void TFTestDlg::BitBtn1Click() {
    if (RadioGroup1->currentIndex() == 1)
        LocoNumber = Edit1->text();
    else
        TrainNumber = Edit1->text();
    TrainNumber = PadLeftZeros(TrainNumber, 4);
    LocoNumber = PadLeftZeros(LocoNumber, 7);
}

QComboBox* TFTestDlg::ShownChannelCombo() const {
    for (QComboBox* c : {ComboBox1, ComboBoxGMW, ComboBoxMW})
        if (!c->isHidden())
            return c;
    return nullptr;
}

namespace {
int ChannelOf(const TFTestDlg* d, const QComboBox* c) {
    if (c == d->ComboBoxMW)
        return c->currentIndex() + 3;
    return c->currentIndex() + 1;
}
} // namespace

bool TFTestDlg::FormClose(int result) {
    bool accepted = true;
    QComboBox* shown = ShownChannelCombo();
    if (result == QDialog::Accepted && shown) {
        // The channel the operator sees is the one checked against the blocked bands.
        const TChannelBand band = ChannelBand(ChannelOf(this, shown));
        QString blocked;
        if (band == TChannelBand::Gmv && GmvBlocked(ConfigWord))
            blocked = "ГМВ";
        else if (band == TChannelBand::Mv && MvBlocked(ConfigWord))
            blocked = "МВ";
        if (!blocked.isEmpty()) {
            MessageDlg("Диапазон " + blocked + " заблокирован. Выполнение теста невозможно.",
                       TMsgDlgType::Warning, mbYes | mbNo, this);
            accepted = false;
            shown->setFocus();
        }
    }
    RadioGroup1->setEnabled(true);
    if (!ComboBox1->isHidden())
        CurrentChannel = uint8_t(ComboBox1->currentIndex() + 1);
    if (!ComboBoxGMW->isHidden())
        CurrentChannel = uint8_t(ComboBoxGMW->currentIndex() + 1);
    if (!ComboBoxMW->isHidden())
        CurrentChannel = uint8_t(ComboBoxMW->currentIndex() + 3);
    return accepted;
}

void TFTestDlg::done(int result) {
    if (!FormClose(result))
        return;
    QDialog::done(result);
}
