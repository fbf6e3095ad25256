#include "params/TFParam.h"

#include "link/Builders.h"
#include "link/FrameDecoder.h"
#include "params/ParamSet.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "runs/TestRules.h"
#include "state/LinkView.h"
#include "state/MainView.h"
#include "state/UVesk.h"
#include "voice/TFCall.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>

TFParam* FParam = nullptr;

namespace {

QLabel* label(QWidget* parent, const QString& text, const QRect& g) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(g);
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name, int maxLength, int tag, const QRect& g) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(maxLength);
    e->setProperty("tag", tag);
    e->setGeometry(g);
    return e;
}

QComboBox* list(QWidget* parent, const char* name, int count, const QRect& g) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    for (int i = 1; i <= count; ++i)
        c->addItem(QString::number(i));
    c->setGeometry(g);
    return c;
}

QCheckBox* check(QWidget* parent, const char* name, const QString& text, const QRect& g) {
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(name);
    c->setGeometry(g);
    return c;
}

QPushButton* push(QWidget* parent, const char* name, const QString& text, const QRect& g) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(g);
    b->setAutoDefault(false); // Enter in an edit sends nothing
    return b;
}

QToolButton* sendButton(QWidget* parent, const char* name, int tag, const QString& hint, const QRect& g) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setProperty("tag", tag);
    b->setToolTip(hint);
    b->setIcon(parent->style()->standardIcon(QStyle::SP_ArrowRight));
    b->setGeometry(g);
    return b;
}

QWidget* CallChild(const char* name) {
    return FCall ? FCall->findChild<QWidget*>(QLatin1String(name)) : nullptr;
}

void SetCallSquelchEnabled(bool on) {
    if (QWidget* group = CallChild("gbPSH"))
        group->setEnabled(on);
}

// PshUiReady is false while the squelch controls are set by code, and true again
// afterwards even when a control's handler raises.
class TPshUiBusy {
public:
    TPshUiBusy() { PshUiReady = false; }
    ~TPshUiBusy() { PshUiReady = true; }
    TPshUiBusy(const TPshUiBusy&) = delete;
    TPshUiBusy& operator=(const TPshUiBusy&) = delete;
};

} // namespace

TFParam::TFParam(QWidget* parent) : QDialog(parent) {
    setObjectName("FParam");
    setWindowTitle("Параметры ВЕСК");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(666, 513);
    QFont f("MS Sans Serif");
    f.setPointSize(8);
    setFont(f);

    label(this, "Электромеханик :", QRect(8, 12, 118, 18));
    MaskEdit1 = edit(this, "MaskEdit1", 12, 7, QRect(130, 10, 110, 22));
    label(this, "Версия программы:", QRect(8, 40, 118, 18));
    Edit1 = edit(this, "Edit1", 32767, 0, QRect(130, 38, 110, 22));
    Edit1->setReadOnly(true);

    buildServiceWord();
    buildThresholds();
    buildChannels();
    gbPSH_mv = buildSquelch({"gbPSH_mv", "tbPSH_MV", "sePSH_mv", "cbPSH_off_mv"}, "Регулировка ПШ МВ ", 238,
                            tbPSH_MV, sePSH_mv, cbPSH_off_mv);
    gbPHS_gmv = buildSquelch({"gbPHS_gmv", "tbPSH_GMV", "sePSH_gmv", "cbPSH_off_gmv"}, "Регулировка ПШ ГМВ ",
                             330, tbPSH_GMV, sePSH_gmv, cbPSH_off_gmv);

    bPshAuto = push(this, "bPshAuto", "Авторегулировка ПШ", QRect(340, 424, 170, 27));
    bsave = push(this, "bsave", "Сохранить", QRect(8, 478, 110, 27));
    bUnSave = push(this, "bUnSave", "Считать", QRect(126, 478, 110, 27));
    BitBtn1 = push(this, "BitBtn1", " Отправить всё", QRect(488, 478, 170, 27));
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    BitBtn1->setProperty("tag", SendAllTag);

    connectHandlers();
}

void TFParam::buildServiceWord() {
    gbSS = new QGroupBox("Служебное слово", this);
    gbSS->setObjectName("gbSS");
    gbSS->setGeometry(8, 68, 322, 402);

    label(gbSS, "Тип радиостанции:", QRect(8, 24, 112, 18));
    cbRS = new QComboBox(gbSS);
    cbRS->setObjectName("cbRS");
    cbRS->setEditable(true);
    cbRS->setInsertPolicy(QComboBox::NoInsert);
    cbRS->setCompleter(nullptr); // a typed text is taken as typed
    cbRS->addItems({"РВ-1, РВ 1.1М, РВ-1.1МК", "РВ-1М", "РВС", "РЛСМ", "РВС Метро"});
    cbRS->setGeometry(122, 22, 192, 22);

    label(gbSS, "Группа частот для ТЕСТ3 в МВ", QRect(8, 54, 232, 18));
    ComboBox2 = list(gbSS, "ComboBox2", 8, QRect(250, 52, 64, 22));
    label(gbSS, "Значение канала группы частот\nдля ТЕСТ3 в МВ", QRect(8, 80, 232, 32));
    ComboBox3 = list(gbSS, "ComboBox3", 6, QRect(250, 84, 64, 22));
    label(gbSS, "Канал дежурного приема ГМВ", QRect(8, 120, 232, 18));
    ComboBox5 = list(gbSS, "ComboBox5", 2, QRect(250, 118, 64, 22));
    label(gbSS, "Канал дежурного приема МВ", QRect(8, 148, 232, 18));
    ComboBox6 = list(gbSS, "ComboBox6", 4, QRect(250, 146, 64, 22));

    cbNchInTest = check(gbSS, "cbNchInTest", "Проверка НЧ в тестах 2,3", QRect(8, 178, 300, 20));
    CheckBox5 = check(gbSS, "CheckBox5", "Прием 1000 Гц:", QRect(8, 200, 300, 20));
    cbNchAutonom = check(gbSS, "cbNchAutonom", "Проверка НЧ автономная", QRect(8, 222, 300, 20));
    CheckBox3 = check(gbSS, "CheckBox3", "Блокировка МВ", QRect(8, 244, 300, 20));
    CheckBox4 = check(gbSS, "CheckBox4", "Блокировка ГМВ", QRect(8, 266, 300, 20));
    CheckBox8 = check(gbSS, "CheckBox8", "Самотест раз в час", QRect(8, 288, 300, 20));
    cbTestPsh = check(gbSS, "cbTestPsh", "Проверка ПШ в самотесте", QRect(8, 288, 300, 20));
    cbTestPsh->hide();
    cbTestPsh->setEnabled(false);

    GroupNCH = new QGroupBox(gbSS);
    GroupNCH->setObjectName("GroupNCH");
    GroupNCH->setGeometry(8, 310, 306, 56);
    GroupNCHItems = new QButtonGroup(GroupNCH);
    const char* items[] = {"Проверка НЧ на канале МВ1", "Проверка НЧ на канале МВ2"};
    for (int i = 0; i < 2; ++i) {
        auto* r = new QRadioButton(items[i], GroupNCH);
        r->setGeometry(10, 8 + 22 * i, 290, 20);
        GroupNCHItems->addButton(r, i);
    }
    GroupNCHItems->button(1)->setChecked(true);
    GroupNCH->hide();

    label(gbSS, "Служебное слово:", QRect(8, 374, 112, 18));
    MaskEdit2 = edit(gbSS, "MaskEdit2", 8, 0, QRect(122, 372, 90, 22));
    MaskEdit2->setReadOnly(true);
    MaskEdit2->setEnabled(false);
    MaskEdit2->setFocusPolicy(Qt::NoFocus);
    QFont bold = MaskEdit2->font();
    bold.setBold(true);
    MaskEdit2->setFont(bold);
    SpeedButton1 =
        sendButton(gbSS, "SpeedButton1", 0, "Послать собщение о служебном слове", QRect(220, 371, 28, 24));
}

void TFParam::buildThresholds() {
    auto* group = new QGroupBox("Пороги девиации", this);
    group->setObjectName("gbThresholds");
    group->setGeometry(340, 8, 318, 104);
    label(group, "Нижний", QRect(60, 22, 64, 18))->setAlignment(Qt::AlignCenter);
    label(group, "Верхний", QRect(132, 22, 64, 18))->setAlignment(Qt::AlignCenter);
    label(group, "ГМВ:", QRect(10, 44, 44, 18));
    MaskEdit11 = edit(group, "MaskEdit11", 3, 1, QRect(60, 42, 64, 22));
    MaskEdit5 = edit(group, "MaskEdit5", 3, 1, QRect(132, 42, 64, 22));
    label(group, "кГц", QRect(204, 44, 36, 18));
    label(group, "МВ:", QRect(10, 72, 44, 18));
    MaskEdit10 = edit(group, "MaskEdit10", 3, 1, QRect(60, 70, 64, 22));
    MaskEdit4 = edit(group, "MaskEdit4", 3, 1, QRect(132, 70, 64, 22));
    label(group, "кГц", QRect(204, 72, 36, 18));
    SpeedButton2 =
        sendButton(group, "SpeedButton2", 1, "Послать сообщение о порогах", QRect(272, 54, 32, 26));
}

void TFParam::buildChannels() {
    auto* group = new QGroupBox("Номера частот каналов МВ:", this);
    group->setObjectName("gbMvChannels");
    group->setGeometry(340, 118, 318, 112);
    QLineEdit** edits[6] = {&MvEdit0, &MvEdit1, &MvEdit2, &MvEdit3, &MvEdit4, &MvEdit5};
    QToolButton** buttons[3] = {&SpeedButton3, &SpeedButton4, &SpeedButton5};
    for (int n = 0; n < 3; ++n) {
        const int y = 24 + 28 * n;
        const QString channel = QString("МВ%1").arg(n + 1);
        label(group, channel + " ПРМ", QRect(10, y + 2, 64, 18));
        *edits[2 * n] =
            edit(group, qPrintable(QString("MvEdit%1").arg(2 * n)), 3, n + 2, QRect(76, y, 48, 22));
        label(group, channel + " ПРД", QRect(138, y + 2, 64, 18));
        *edits[2 * n + 1] =
            edit(group, qPrintable(QString("MvEdit%1").arg(2 * n + 1)), 3, n + 2, QRect(204, y, 48, 22));
        *buttons[n] = sendButton(group, qPrintable(QString("SpeedButton%1").arg(n + 3)), n + 2,
                                 "Послать сообщение о номерах каналов " + channel, QRect(272, y - 1, 32, 24));
    }
}

QGroupBox* TFParam::buildSquelch(const TSquelchNames& names, const QString& title, int top, QSlider*& bar,
                                 QSpinBox*& spin, QCheckBox*& off) {
    auto* group = new QGroupBox(title, this);
    group->setObjectName(names.group);
    group->setGeometry(340, top, 318, 86);
    bar = new QSlider(Qt::Horizontal, group);
    bar->setObjectName(names.bar);
    bar->setRange(0, 255);
    bar->setPageStep(1);
    bar->setTickInterval(10);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setValue(127);
    bar->setGeometry(10, 22, 200, 30);
    label(group, "0", QRect(10, 54, 24, 16));
    label(group, "255", QRect(180, 54, 30, 16))->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    spin = new QSpinBox(group);
    spin->setObjectName(names.spin);
    spin->setRange(0, 255);
    spin->setValue(127);
    // The arrows only: typed digits would send a frame at every keystroke.
    spin->findChild<QLineEdit*>()->setReadOnly(true);
    // A value is reported only when it changes, so that Enter in the box sends no frame.
    spin->setKeyboardTracking(false);
    spin->setGeometry(224, 24, 80, 24);
    off = check(group, names.off, "Отключить", QRect(224, 54, 90, 20));
    return group;
}

void TFParam::connectHandlers() {
    for (QToolButton* b : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton5})
        connect(b, &QToolButton::clicked, this, [this, b] { SpeedButton1Click(b); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { SpeedButton1Click(BitBtn1); });
    connect(bsave, &QPushButton::clicked, this, &TFParam::bsaveClick);
    connect(bUnSave, &QPushButton::clicked, this, &TFParam::bUnSaveClick);
    connect(bPshAuto, &QPushButton::clicked, this, &TFParam::bPshAutoClick);

    // The combos answer the operator's choice only; the refresh sets them silently.
    connect(cbRS, &QComboBox::activated, this, &TFParam::cbRSChange);
    connect(cbRS->lineEdit(), &QLineEdit::textEdited, this, &TFParam::cbRSChange);
    connect(ComboBox2, &QComboBox::activated, this, &TFParam::ComboBox2Change);
    connect(ComboBox3, &QComboBox::activated, this, &TFParam::ComboBox3Change);
    connect(ComboBox5, &QComboBox::activated, this, &TFParam::ComboBox5Change);
    connect(ComboBox6, &QComboBox::activated, this, &TFParam::ComboBox6Change);
    // Check boxes, the radio group and the edits answer changes made by code too.
    connect(cbNchInTest, &QCheckBox::toggled, this, &TFParam::cbNchInTestClick);
    connect(CheckBox5, &QCheckBox::toggled, this, &TFParam::CheckBox5Click);
    connect(cbNchAutonom, &QCheckBox::toggled, this, &TFParam::cbNchAutonomClick);
    connect(cbTestPsh, &QCheckBox::toggled, this, &TFParam::cbTestPshClick);
    connect(CheckBox3, &QCheckBox::toggled, this, &TFParam::CheckBox3Click);
    connect(CheckBox4, &QCheckBox::toggled, this, &TFParam::CheckBox4Click);
    connect(CheckBox8, &QCheckBox::toggled, this, &TFParam::CheckBox8Click);
    connect(GroupNCHItems, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            GroupNCHClick();
    });
    for (QLineEdit* e : {MaskEdit2, MvEdit0, MvEdit1, MvEdit2, MvEdit3, MvEdit4, MvEdit5})
        connect(e, &QLineEdit::textChanged, this, [this, e] { MaskEdit2Change(e); });
    for (QLineEdit* e : {MaskEdit11, MaskEdit5, MaskEdit10, MaskEdit4})
        connect(e, &QLineEdit::textChanged, this, [this, e] { MaskEdit3Change(e); });

    connect(tbPSH_MV, &QSlider::valueChanged, this, &TFParam::tbPSH_MVChange);
    connect(sePSH_mv, &QSpinBox::valueChanged, this, &TFParam::sePSH_mvChange);
    connect(cbPSH_off_mv, &QCheckBox::toggled, this, &TFParam::cbPSH_off_mvClick);
    connect(tbPSH_GMV, &QSlider::valueChanged, this, &TFParam::tbPSH_GMVChange);
    connect(sePSH_gmv, &QSpinBox::valueChanged, this, &TFParam::sePSH_gmvChange);
    connect(cbPSH_off_gmv, &QCheckBox::toggled, this, &TFParam::cbPSH_off_gmvClick);
}

void TFParam::showEvent(QShowEvent* e) {
    const std::optional<QPoint> centre = MainView().Centre();
    if (centre && !placed_) {
        placed_ = true;
        move(*centre - rect().center());
    }
    FormShow();
    QDialog::showEvent(e);
}

void TFParam::FormShow() {
    MaskEdit1->setText(MechanicNumber);
    Edit1->setText(DeviceVersion);
    MaskEdit2->setText(ConfigWord);

    const int type = ConfigDigit(ConfigWord, 4) & 7; // not a digit: 7, no type
    cbRS->setCurrentIndex(type <= 4 ? type : -1);
    const std::pair<QComboBox*, int> lists[] = {
        {ComboBox2, 5}, {ComboBox3, 6}, {ComboBox5, 7}, {ComboBox6, 8}};
    for (const auto& [combo, digit] : lists) {
        const int item = ConfigDigit(ConfigWord, digit) - 1;
        combo->setCurrentIndex(item >= 0 && item < combo->count() ? item : -1);
    }

    // Each box runs its handler, which writes back the same flag.
    cbNchInTest->setChecked(ConfigFlag(ConfigWord, 1, 1));
    CheckBox5->setChecked(ConfigFlag(ConfigWord, 1, 2));
    cbNchAutonom->setChecked(ConfigFlag(ConfigWord, 1, 4));
    CheckBox3->setChecked(ConfigFlag(ConfigWord, 2, 2));
    CheckBox4->setChecked(ConfigFlag(ConfigWord, 2, 4));
    CheckBox8->setChecked(ConfigFlag(ConfigWord, 3, 2));
    cbTestPsh->setChecked(ConfigFlag(ConfigWord, 2, 1));
    setGroupNchItem(ConfigFlag(ConfigWord, 3, 1) ? 0 : 1);

    MaskEdit4->setText(ZapInsert(Thresholds[1]));
    MaskEdit5->setText(ZapInsert(Thresholds[2]));
    MaskEdit10->setText(ZapInsert(Thresholds[4]));
    MaskEdit11->setText(ZapInsert(Thresholds[5]));
    QLineEdit* const channels[6] = {MvEdit0, MvEdit1, MvEdit2, MvEdit3, MvEdit4, MvEdit5};
    for (int i = 0; i < 6; ++i) {
        const TMvChannel& slot = MvChannels[i / 2 + 1];
        channels[i]->setText(i % 2 == 0 ? slot.Prm : slot.Prd);
    }
    ParamsDirty = 0;
    ShowPSHs();
}

void TFParam::ShowPSHs() {
    TPshUiBusy busy;
    tbPSH_GMV->setValue(PshSettings[0].Level);
    sePSH_gmv->setValue(PshSettings[0].Level);
    cbPSH_off_gmv->setChecked(PshSettings[0].Off);
    tbPSH_MV->setValue(PshSettings[1].Level);
    sePSH_mv->setValue(PshSettings[1].Level);
    cbPSH_off_mv->setChecked(PshSettings[1].Off);
}

void TFParam::EnablePSH() {
    gbPHS_gmv->setEnabled(true);
    gbPSH_mv->setEnabled(true);
    SetCallSquelchEnabled(true);
}

void TFParam::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TFParam::FormClose() {
    MechanicNumber = MaskEdit1->text();
    if (ParamsDirty != 0 && MessageDlg("Параметры изменены и не переданы ВЕСК. Передать?",
                                       TMsgDlgType::Warning, mbYes | mbNo, this) == mrYes)
        SpeedButton1Click(BitBtn1);
    MainView().UpdateServiceMenus(true);
}

void TFParam::TakeMechanicNumber() {
    MechanicNumber = PadLeftZeros(MaskEdit1->text(), 4);
}

void TFParam::TakeConfigWord() {
    ConfigWord = PadLeftZeros(MaskEdit2->text(), 8);
    ShowConfig();
}

void TFParam::TakeThresholds() {
    const std::pair<QLineEdit*, int> edits[] = {
        {MaskEdit4, 1}, {MaskEdit5, 2}, {MaskEdit10, 4}, {MaskEdit11, 5}};
    for (const auto& [e, index] : edits)
        Thresholds[index] = PadLeftZeros(e->text().remove(u',').left(2), 2);
}

void TFParam::TakeChannelNumbers() {
    QLineEdit* const channels[6] = {MvEdit0, MvEdit1, MvEdit2, MvEdit3, MvEdit4, MvEdit5};
    for (int d = 0; d < 6; ++d) {
        TMvChannel& slot = MvChannels[d / 2 + 1];
        (d % 2 == 0 ? slot.Prm : slot.Prd) = PadLeftZeros(channels[d]->text(), 3);
    }
}

void TFParam::TakeAllParams() {
    TakeConfigWord();
    TakeThresholds();
    TakeChannelNumbers();
}

void TFParam::TakeParamPSH() {
    PshSettings[0] = {sePSH_gmv->value(), cbPSH_off_gmv->isChecked()};
    PshSettings[1] = {sePSH_mv->value(), cbPSH_off_mv->isChecked()};
}

void TFParam::SpeedButton1Click(QObject* sender) {
    const int tag = sender ? sender->property("tag").toInt() : -1;
    TakeMechanicNumber();
    switch (tag) {
    case 0:
        TakeConfigWord();
        break;
    case 1:
        TakeThresholds();
        break;
    case 2:
    case 3:
    case 4:
        TakeChannelNumbers();
        break;
    case SendAllTag:
        TakeAllParams();
        break;
    default:
        throw ERangeError(QStringLiteral("Неизвестная группа параметров %1").arg(tag));
    }
    SendParamFrames(tag);
    // The row is written whatever the link did with the bytes.
    MainView().WriteToTable1("Запись", QString(), QString());
}

void TFParam::bsaveClick() {
    TakeAllParams();
    try {
        SaveParamsFile(ParamsFileName);
    } catch (const EFileError& e) {
        ShowError(e.Message(), this);
    }
}

void TFParam::bUnSaveClick() {
    QString reason;
    switch (LoadParamsFile(ParamsFileName, &reason)) {
    case TParamsLoad::NoFile:
        return;
    case TParamsLoad::Refused:
        // Nothing was taken from the file: the window keeps what it shows.
        MessageDlg(QStringLiteral("Не удаётся считать параметры из файла «%1»:\n%2.")
                       .arg(QString::fromLatin1(ParamsFileName), reason),
                   TMsgDlgType::Error, mbOK, this);
        return;
    case TParamsLoad::Loaded:
        FormShow();
        return;
    }
}

void TFParam::bPshAutoClick() {
    gbPHS_gmv->setEnabled(false);
    gbPSH_mv->setEnabled(false);
    SetCallSquelchEnabled(false);
    SendAutoPsh();
}

void TFParam::showWord() {
    MaskEdit2->setText(ConfigWord);
}

void TFParam::cbRSChange() {
    // Typed text that is not one of the types counts as no type chosen.
    const int item = cbRS->findText(cbRS->currentText(), Qt::MatchExactly);
    SetConfigDigit(4, item < 0 ? u'7' : QChar(u'0' + item));
    if (item == 4)
        CheckBox3->setChecked(true);
    else if (CheckBox3->isChecked())
        CheckBox3->setChecked(false);
    showWord();
}

void TFParam::listChanged(QComboBox* combo, int digit) {
    if (combo->currentIndex() >= 0)
        SetConfigDigit(digit, combo->currentText().at(0));
    showWord();
}

void TFParam::ComboBox2Change() {
    listChanged(ComboBox2, 5);
}

void TFParam::ComboBox3Change() {
    listChanged(ComboBox3, 6);
}

void TFParam::ComboBox5Change() {
    listChanged(ComboBox5, 7);
}

void TFParam::ComboBox6Change() {
    listChanged(ComboBox6, 8);
}

void TFParam::cbNchInTestClick() {
    SetConfigFlag(1, 1, cbNchInTest->isChecked());
    GroupNCH->setVisible(cbNchInTest->isChecked());
    showWord();
}

void TFParam::CheckBox5Click() {
    SetConfigFlag(1, 2, CheckBox5->isChecked());
    showWord();
}

void TFParam::cbNchAutonomClick() {
    SetConfigFlag(1, 4, cbNchAutonom->isChecked());
    showWord();
}

void TFParam::cbTestPshClick() {
    SetConfigFlag(2, 1, cbTestPsh->isChecked());
    showWord();
}

void TFParam::CheckBox3Click() {
    SetConfigFlag(2, 2, CheckBox3->isChecked());
    ApplyMvBlock();
    showWord();
}

void TFParam::CheckBox4Click() {
    SetConfigFlag(2, 4, CheckBox4->isChecked());
    ApplyGmvBlock();
    showWord();
}

void TFParam::CheckBox8Click() {
    SetConfigFlag(3, 2, CheckBox8->isChecked());
    showWord();
}

int TFParam::groupNchItem() const {
    return GroupNCHItems->checkedId();
}

void TFParam::setGroupNchItem(int item) {
    if (QAbstractButton* b = GroupNCHItems->button(item))
        b->setChecked(true);
}

void TFParam::GroupNCHClick() {
    SetConfigFlag(3, 1, groupNchItem() != 1);
    showWord();
}

void TFParam::MaskEdit2Change(QLineEdit* e) {
    ParamsDirty |= DirtyBits[e->property("tag").toInt() & 7];
    const QString filtered = ReplaceNonDigits(e->text());
    if (filtered != e->text())
        e->setText(filtered);
}

void TFParam::MaskEdit3Change(QLineEdit* e) {
    ParamsDirty |= DirtyBits[e->property("tag").toInt() & 7];
    QString filtered = e->text();
    for (QChar& c : filtered)
        if ((c < u'0' || c > u'9') && c != u',')
            c = u'0';
    if (filtered != e->text())
        e->setText(filtered);
}

void TFParam::squelchChanged(uint8_t band) {
    if (!PshUiReady)
        return;
    TakeParamPSH();
    if (FCall)
        FCall->SendPSH(band);
    LinkView().CallShowPshs();
    MainView().ShowPSHs();
}

void TFParam::tbPSH_MVChange() {
    sePSH_mv->setValue(tbPSH_MV->value());
}

void TFParam::sePSH_mvChange() {
    tbPSH_MV->setValue(sePSH_mv->value());
    squelchChanged(1);
}

void TFParam::cbPSH_off_mvClick() {
    squelchChanged(1);
}

void TFParam::tbPSH_GMVChange() {
    sePSH_gmv->setValue(tbPSH_GMV->value());
}

void TFParam::sePSH_gmvChange() {
    tbPSH_GMV->setValue(sePSH_gmv->value());
    squelchChanged(0);
}

void TFParam::cbPSH_off_gmvClick() {
    squelchChanged(0);
}
