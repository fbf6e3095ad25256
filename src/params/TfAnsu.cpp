#include "params/TfAnsu.h"

#include "link/Builders.h"
#include "platform/Clock.h"
#include "state/MainView.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

TfAnsu* fAnsu = nullptr;

TfAnsu::TfAnsu(QWidget* parent) : QDialog(parent) {
    setObjectName("fAnsu");
    setWindowTitle("Настройка АНСУ");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(236, 112);
    QFont f("MS Sans Serif");
    f.setPointSize(8);
    setFont(f);

    auto* label = new QLabel("Диапазон:", this);
    label->setGeometry(12, 16, 76, 18);
    cbDiap = new QComboBox(this);
    cbDiap->setObjectName("cbDiap");
    cbDiap->addItems({"ГМВ0", "ГМВ1", "ГМВ2", "МВ1", "МВ2", "МВ3"});
    cbDiap->setCurrentIndex(0);
    cbDiap->setGeometry(92, 14, 132, 22);
    sbTg = new QPushButton("Тангента (F2)", this);
    sbTg->setObjectName("sbTg");
    sbTg->setCheckable(true);
    sbTg->setAutoDefault(false);
    sbTg->setGeometry(12, 52, 212, 44);
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(260);

    f2_ = new TPushKey(this, sbTg, Qt::Key_F2, [this] { sbTgClick(); });
    connect(cbDiap, &QComboBox::currentIndexChanged, this, &TfAnsu::cbDiapChanhe);
    connect(sbTg, &QPushButton::clicked, this, &TfAnsu::sbTgClick);
    connect(Timer1, &QTimer::timeout, this, &TfAnsu::Timer1Timer);
    // The dialog sees F2 before the control that has the focus.
    for (QWidget* w :
         {static_cast<QWidget*>(this), static_cast<QWidget*>(cbDiap), static_cast<QWidget*>(sbTg)})
        w->installEventFilter(this);
    Timer1->start();
}

void TfAnsu::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void TfAnsu::FormShow() {
    MainView().ComboChange(cbDiap);
}

void TfAnsu::cbDiapChanhe() {
    MainView().ComboChange(cbDiap);
}

void TfAnsu::sbTgClick() {
    if (inSequence_)
        return; // the running sequence ends first; the loop below then follows the button
    inSequence_ = true;
    struct TEnd {
        bool& flag;
        ~TEnd() { flag = false; }
    } end{inSequence_};
    while (sbTg->isChecked() != keyed_) {
        keyed_ = sbTg->isChecked();
        if (keyed_) {
            // The timer that runs from the dialog's creation would cut this press short at a
            // moment of its own; a press is ended by its release only.
            Timer1->stop();
            SendCmd(0xD3);
            SendCmd(0xD3);
            Delay(10);
        } else {
            Timer1->stop();
            Delay(10);
            SendCmd(0xD4);
            SendCmd(0xD4);
        }
    }
}

void TfAnsu::FormKeyDown(int key, bool autoRepeat) {
    if (key == Qt::Key_F2 && !autoRepeat)
        f2_->Press();
}

void TfAnsu::FormKeyUp(int key, bool autoRepeat) {
    if (key == Qt::Key_F2 && !autoRepeat)
        f2_->Release();
}

void TfAnsu::Timer1Timer() {
    if (!sbTg->isChecked())
        return;
    sbTg->setChecked(false);
    sbTgClick();
}

bool TfAnsu::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
        const auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_F2) {
            if (e->type() == QEvent::KeyPress)
                FormKeyDown(k->key(), k->isAutoRepeat());
            else
                FormKeyUp(k->key(), k->isAutoRepeat());
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}
