#include "app/TMainForm.h"
#include "app/TMessageGrid.h"

#include "app/TActionGate.h"
#include "app/TGauge.h"
#include "app/TPaintLimiter.h"
#include "app/TShape.h"
#include "state/UVesk.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>

TMainForm* MainForm = nullptr;

namespace {

QAction* item(QMenu* menu, const char* name, const QString& caption) {
    auto* a = menu->addAction(caption);
    a->setObjectName(name);
    return a;
}

QAction* separator(QMenu* menu, const char* name) {
    auto* a = menu->addSeparator();
    a->setObjectName(name);
    return a;
}

QMenu* submenu(QWidget* owner, QMenuBar* bar, QMenu* parent, const char* name, const QString& caption) {
    auto* m = new QMenu(caption, owner);
    m->setObjectName(name);
    if (parent)
        parent->addMenu(m);
    else
        bar->addMenu(m);
    return m;
}

QFrame* panel(QWidget* parent, const char* name, const QRect& geometry) {
    auto* p = new QFrame(parent);
    p->setObjectName(name);
    p->setFrameShape(QFrame::Panel);
    p->setFrameShadow(QFrame::Raised);
    p->setGeometry(geometry);
    return p;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y, int w = -1, int h = 16) {
    auto* l = new QLabel(text, parent);
    if (name)
        l->setObjectName(name);
    if (w < 0)
        w = l->sizeHint().width();
    l->setGeometry(x, y, w, std::max(h, l->fontMetrics().height())); // a taller font gets its line
    return l;
}

// The title band along the top of a result panel.
TTitleLabel* title(QWidget* parent, const char* name, const QString& text) {
    auto* l = new TTitleLabel(parent);
    l->setObjectName(name);
    l->setGeometry(2, 2, 331, std::max(20, l->fontMetrics().height()));
    l->setText(text);
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name, int x, int y, int w, bool readOnly = true) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(readOnly);
    e->setGeometry(x, y, w, 20);
    return e;
}

TShape* shape(QWidget* parent, const char* name, int x, int y) {
    auto* s = new TShape(parent);
    s->setObjectName(name);
    s->move(x, y);
    return s;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QRect& g) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(g);
    return b;
}

void setBold(QWidget* w, const QColor& color, const QColor& back = QColor()) {
    QFont f = w->font();
    f.setBold(true);
    w->setFont(f);
    QString css = QString("color: %1;").arg(color.name());
    if (back.isValid())
        css += QString(" background-color: %1;").arg(back.name());
    w->setStyleSheet(css);
}

// A panel that only shows values: no click, key or focus reaches it, yet its values keep
// their normal colours. The one field that is disabled by itself keeps the disabled look.
void showOnly(QWidget* panel, QWidget* disabledField) {
    const QPalette normal = panel->palette();
    QPalette shown = normal;
    QPalette greyed = normal;
    for (int r = 0; r < QPalette::NColorRoles; ++r) {
        const auto role = QPalette::ColorRole(r);
        shown.setColor(QPalette::Disabled, role, normal.color(QPalette::Active, role));
        greyed.setColor(QPalette::Disabled, role, normal.color(QPalette::Disabled, role));
    }
    panel->setPalette(shown);
    disabledField->setPalette(greyed);
    panel->setEnabled(false);
}

// Widens a button that its caption does not fit, keeping its right edge.
void fitRight(QWidget* b) {
    const int w = std::max(b->width(), b->sizeHint().width());
    b->setGeometry(b->geometry().right() + 1 - w, b->y(), w, b->height());
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainForm");
    setWindowTitle("ВЕСК-4ТЦ");
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint);
    buildMenus();
    buildToolBar();
    buildPanels();
    // Received bytes change the panels hundreds of times a second: the window shows
    // them once a frame.
    new TPaintLimiter(this);
    auto* actionGate = new TActionGate(this);
    actionGate->Watch(menuBar());
    actionGate->Watch(ToolBar1);
    for (QAction* a : ToolBar1->actions())
        actionGate->Watch(ToolBar1->widgetForAction(a));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        auto* l = new QLabel(StatusBar1);
        l->setObjectName(QString("StatusPanel%1").arg(i));
        // The last panel takes the rest of the bar, as status bars do.
        if (i == 0)
            l->setFixedWidth(200);
        else
            l->setMinimumWidth(50);
        l->setFrameShape(QFrame::StyledPanel);
        StatusBar1->addWidget(l, i);
    }
    setStatusBar(StatusBar1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(2000);
    Timer1->start(); // the periodic-test timer polls from the start
    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");

    connectHandlers();
    MessageCount = 0;
    LastMessageTime = QTime();
    // The panels take 392 pixels; the bars above and below as much as their font asks.
    setFixedSize(680, std::max(447, ToolBar1->sizeHint().height() + 392 + StatusBar1->sizeHint().height()) +
                          menuBar()->sizeHint().height());
}

TMainForm::~TMainForm() {
    if (MainForm == this) {
        SetMainView(nullptr);
        MainForm = nullptr;
    }
}

void TMainForm::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");

    iDevice = submenu(this, bar, nullptr, "iDevice", "Интерфейс");
    auto* ifaceGroup = new QActionGroup(this);
    iTCPselect = item(iDevice, "iTCPselect", "TCP");
    iComSelect = item(iDevice, "iComSelect", "COM-порт");
    for (QAction* a : {iTCPselect, iComSelect}) {
        a->setCheckable(true);
        ifaceGroup->addAction(a);
    }
    iComSelect->setChecked(true);
    iDevice->menuAction()->setVisible(false);

    iTCP = submenu(this, bar, nullptr, "iTCP", "TCP");
    iConnect = item(iTCP, "iConnect", "Соединиться");
    iDisconnect = item(iTCP, "iDisconnect", "Отключиться");

    IPort = submenu(this, bar, nullptr, "IPort", "Порт");
    inom = submenu(this, bar, IPort, "inom", "Выбор порта");
    COM11 = item(inom, "COM11", "COM1");
    COM11->setCheckable(true);
    N8 = item(IPort, "N8", "Перезапуск");
    mClosePort = item(IPort, "mClosePort", "Прервать соединение");

    IVesk = submenu(this, bar, nullptr, "IVesk", "Управление");
    IReset = item(IVesk, "IReset", "Сброс ВЕСК");
    N2 = item(IVesk, "N2", "Параметры");
    N1 = separator(IVesk, "N1");
    ICall1 = item(IVesk, "ICall1", "Вызов ТЧМ");
    ICall2 = item(IVesk, "ICall2", "Вызов ДСП");
    ICall2->setProperty("tag", 1);

    ITest = submenu(this, bar, nullptr, "ITest", "Тест");
    N14 = item(ITest, "N14", "Самотест ВЕСК");
    ITest1 = item(ITest, "ITest1", "Тест1");
    ITest2 = item(ITest, "ITest2", "Тест2");
    ITest3 = item(ITest, "ITest3", "Тест3");

    IDB = submenu(this, bar, nullptr, "IDB", "Результаты");
    N11 = item(IDB, "N11", "Результаты самотеста ВЕСК");
    N231 = item(IDB, "N231", "Результаты тестов 2 и 3");

    N5 = submenu(this, bar, nullptr, "N5", "Инструменты");
    iBlockNum = item(N5, "iBlockNum", "Данные о заводских номерах");
    iBlockNum->setVisible(false);
    iBlockNum->setEnabled(false);
    N13 = separator(N5, "N13");
    N6 = item(N5, "N6", "Все сообщения");
    N6->setEnabled(false);
    N7 = separator(N5, "N7");
    N9 = item(N5, "N9", "Технологический режим 1");
    N31 = item(N5, "N31", "Технологический режим 2");
    N31->setEnabled(false);
    N15 = separator(N5, "N15");
    mPeriodicTest2 = item(N5, "mPeriodicTest2", "Тест 2 раз в час");
    mPeriodicTest3 = item(N5, "mPeriodicTest3", "Тест 3 раз в час");
    mAnsu = item(N5, "mAnsu", "Настройка АНСУ");
    N12 = item(N5, "N12", "Данные о локомотивных РС");
    mPeriodicTest2->setCheckable(true);
    mPeriodicTest3->setCheckable(true);
    for (QAction* a : {mPeriodicTest2, mPeriodicTest3, mAnsu, N12})
        a->setEnabled(false);

    N4 = submenu(this, bar, nullptr, "N4", "Справка");
    N3 = item(N4, "N3", "Помощь");
    N3->setVisible(false);
    N3->setEnabled(false);
    N10 = item(N4, "N10", "О программе");
}

void TMainForm::buildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setIconSize(QSize(20, 20));
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    QStyle* st = style();
    auto button = [&](const char* name, QStyle::StandardPixmap icon, const QString& hint) {
        auto* a = ToolBar1->addAction(st->standardIcon(icon), hint);
        a->setObjectName(name);
        a->setToolTip(hint);
        return a;
    };
    auto sep = [&](const char* name) {
        auto* a = ToolBar1->addSeparator();
        a->setObjectName(name);
        return a;
    };
    ToolButton1 = button("ToolButton1", QStyle::SP_MediaPlay, "");
    ToolButton2 = button("ToolButton2", QStyle::SP_MediaSeekForward, "");
    ToolButton3 = button("ToolButton3", QStyle::SP_MediaSkipForward, "");
    ToolButton5 = sep("ToolButton5");
    ToolButton6 = button("ToolButton6", QStyle::SP_DialogYesButton, "Вызов 1");
    ToolButton6->setProperty("tag", 0);
    ToolButton7 = button("ToolButton7", QStyle::SP_DialogApplyButton, "Вызов 2");
    ToolButton7->setProperty("tag", 1);
    ToolButton9 = sep("ToolButton9");
    ToolButton8 = button("ToolButton8", QStyle::SP_BrowserReload, "Сброс");
    ToolButton4 = sep("ToolButton4");
    ToolButton10 =
        button("ToolButton10", QStyle::SP_FileDialogDetailedView, "Таблица результатов самотеста ВЕСК ");
    ToolButton11 = button("ToolButton11", QStyle::SP_FileDialogListView,
                          "Таблица результатов тестирования РВ (Тест2,3)");
    ToolButton12 = sep("ToolButton12");
    ToolButton13 = button("ToolButton13", QStyle::SP_DialogHelpButton, "");
    ToolButton13->setVisible(false);
    ToolButton13->setEnabled(false);
    for (QAction* a : ToolBar1->actions())
        if (!a->isSeparator())
            ToolBar1->widgetForAction(a)->setFixedSize(60, 25);
}

void TMainForm::buildPanels() {
    auto* central = new QWidget(this);
    central->setObjectName("ClientArea");
    setCentralWidget(central);

    // Device state.
    Panel1 = panel(central, "Panel1", QRect(0, 0, 345, 178));
    Label7 = label(Panel1, "Label7", "ВЕСК свободен", 6, 6, 130, 20);
    Label7->setAlignment(Qt::AlignCenter);
    setBold(Label7, QColor(0, 255, 0), Qt::black);
    Gauge1 = new TGauge(TGauge::Needle, Panel1);
    Gauge1->setObjectName("Gauge1");
    Gauge1->setProperty("tag", 1);
    Gauge1->setGeometry(140, 4, 60, 30);
    Gauge1->SetBackColor(Qt::yellow);
    Gauge1->SetForeColor(QColor(0, 128, 0));
    label(Panel1, nullptr, "Текущий канал: ", 6, 40);
    eRange = edit(Panel1, "eRange", 110, 38, 60);
    {
        QLabel* l =
            label(Panel1, nullptr, "Канал запроса при тестировании радиостанций в МВ: ", 6, 64, 270, 30);
        l->setWordWrap(true);
        l->resize(l->width(), std::max(30, l->heightForWidth(l->width())));
    }
    Edit1 = edit(Panel1, "Edit1", 276, 66, 44);
    Edit1->setText("MB2");
    Edit1->setEnabled(false);
    // Beside the gauge, in two lines if the bold text needs them.
    LDataErr = label(Panel1, "LDataErr", "Пришли Неверные настройки", 0, 0);
    setBold(LDataErr, Qt::red);
    LDataErr->setWordWrap(true);
    {
        const int x = Gauge1->geometry().right() + 5;
        const int w = Panel1->width() - x - 3;
        LDataErr->setGeometry(x, 1, w, LDataErr->heightForWidth(w));
    }
    LDataErr->hide();
    // Rows of a label followed by its field: each widget goes right after the previous one.
    auto row = [](int y, std::initializer_list<QWidget*> widgets) {
        int x = 6;
        for (QWidget* w : widgets) {
            w->move(x, y + (qobject_cast<QLabel*>(w) ? 2 : (w->height() < 20 ? 2 : 0)));
            x += w->width() + 3;
        }
    };
    Edit5 = edit(Panel1, "Edit5", 0, 0, 22);
    Edit5->setText("1");
    Edit6 = edit(Panel1, "Edit6", 0, 0, 22);
    Edit6->setText("1");
    row(98, {label(Panel1, nullptr, "Каналы дежурного приема  ВЕСК   МВ:", 0, 0), Edit5,
             label(Panel1, nullptr, "ГМВ:", 0, 0), Edit6});
    Shape2 = shape(Panel1, "Shape2", 0, 0);
    Shape3 = shape(Panel1, "Shape3", 0, 0);
    row(126, {label(Panel1, nullptr, "Включение передачи МВ:", 0, 0), Shape2,
              label(Panel1, nullptr, "ГМВ:", 0, 0), Shape3});
    shPusk = shape(Panel1, "shPusk", 0, 0);
    shStatMsg = shape(Panel1, "shStatMsg", 0, 0);
    shSaveSound = shape(Panel1, "shSaveSound", 0, 0);
    shUnSaveSound = shape(Panel1, "shUnSaveSound", 0, 0);
    row(152, {shPusk, label(Panel1, nullptr, "СБРОС-РАБОТА", 0, 0), shStatMsg,
              label(Panel1, nullptr, "НЧ-П", 0, 0), shSaveSound, label(Panel1, nullptr, "НЧ-З", 0, 0),
              shUnSaveSound, label(Panel1, nullptr, "НЧ-В", 0, 0)});
    showOnly(Panel1, Edit1);

    // Received messages.
    Panel2 = panel(central, "Panel2", QRect(0, 178, 345, 214));
    label(Panel2, nullptr, "Принимаемые сообщения:", 6, 4);
    StringGrid1 = new TMessageGrid(20, 3, Panel2);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setGeometry(4, 22, 337, 188);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setDefaultSectionSize(21);
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setShowGrid(true);
    StringGrid1->setFillColumn(2);
    BitBtn1 = button(Panel2, "BitBtn1", "", QRect(315, 2, 22, 20));
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    BitBtn1->setToolTip("Очистить таблицу");

    // Measurements.
    Panel3 = panel(central, "Panel3", QRect(345, 0, 335, 82));
    label(Panel3, nullptr, "Результаты оценки", 6, 2);
    const QString hint = "'Приведенная' девиация";
    label(Panel3, nullptr, "МВ", 92, 18);
    label(Panel3, nullptr, "ГМВ", 150, 18);
    label(Panel3, nullptr, "Девиация:", 6, 36)->setToolTip(hint);
    ELevm = edit(Panel3, "ELevm", 80, 34, 50);
    ELevg = edit(Panel3, "ELevg", 140, 34, 50);
    label(Panel3, nullptr, "кГц", 196, 36)->setToolTip(hint);
    label(Panel3, nullptr, "RSSI:", 6, 58)->setToolTip(hint);
    Edit2 = edit(Panel3, "Edit2", 80, 56, 50);
    Edit3 = edit(Panel3, "Edit3", 140, 56, 50);
    label(Panel3, nullptr, "мкВ", 196, 58)->setToolTip(hint);
    BitBtn2 = button(Panel3, "BitBtn2", "", QRect(305, 4, 22, 20));
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    BitBtn2->setToolTip("Очистить измерения");

    const QRect resultArea(345, 82, 335, 310);
    const QColor activeCaption = palette().color(QPalette::Highlight);

    // Device self-test result.
    Panel4 = panel(central, "Panel4", resultArea);
    Label24 = title(Panel4, "Label24", "Тест ВЕСК : результаты тестирования");
    setBold(Label24, Qt::white, activeCaption);
    LSoob1 = label(Panel4, "LSoob1", "Результат теста:", 6, 28);
    LResult = label(Panel4, "LResult", "ТестВЕСК:", 120, 28, 155);
    Gauge2 = new TGauge(TGauge::Pie, Panel4);
    Gauge2->setObjectName("Gauge2");
    Gauge2->setGeometry(280, 24, 40, 40);
    Gauge2->SetBackColor(Qt::yellow);
    Gauge2->SetForeColor(QColor(0, 128, 0));
    LTest1 = label(Panel4, "LTest1", "", 6, 50, 270);
    RichEdit1 = new QTextEdit(Panel4);
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setReadOnly(true);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setGeometry(4, 70, 327, 204);
    BitBtn3 = button(Panel4, "BitBtn3", "OK", QRect(255, 280, 70, 25));
    fitRight(BitBtn3);
    Panel4->hide();

    // Tests 2 and 3 result.
    Panel5 = panel(central, "Panel5", resultArea);
    Label19 = title(Panel5, "Label19", "");
    setBold(Label19, Qt::white, activeCaption);
    Label20 = label(Panel5, "Label20", "Результат", 6, 26, 270);
    Gauge3 = new TGauge(TGauge::Pie, Panel5);
    Gauge3->setObjectName("Gauge3");
    Gauge3->setGeometry(280, 24, 40, 40);
    Gauge3->SetBackColor(Qt::yellow);
    Gauge3->SetForeColor(QColor(0, 128, 0));
    Gauge3->hide();
    Label21 = label(Panel5, "Label21", "Результат теста:", 6, 44, 270);
    Label22 = label(Panel5, "Label22", "", 6, 62, 270);
    Label23 = label(Panel5, "Label23", "", 6, 80, 270);
    RichEdit2 = new QTextEdit(Panel5);
    RichEdit2->setObjectName("RichEdit2");
    RichEdit2->setReadOnly(true);
    RichEdit2->setGeometry(4, 100, 327, 174);
    BitBtn4 = button(Panel5, "BitBtn4", "OK", QRect(255, 280, 70, 25));
    fitRight(BitBtn4);
    Panel5->hide();

    // Test 1 and alarms.
    Panel6 = panel(central, "Panel6", resultArea);
    Label25 = title(Panel6, "Label25", "Результаты тестирования");
    setBold(Label25, Qt::white, activeCaption);
    LLIU = label(Panel6, "LLIU", "ЛИУ ГМВ:", 6, 34);
    ELIU = edit(Panel6, "ELIU", 80, 32, 80);
    LLIU->hide();
    ELIU->hide();
    LBadSch_MW = label(Panel6, "LBadSch_MW", "Авария СЧ МВ", 6, 70, 200, 18);
    LBadUM_MW = label(Panel6, "LBadUM_MW", "Авария УМ МВ", 6, 92, 200, 18);
    LBadUM_GMW = label(Panel6, "LBadUM_GMW", "Авария УМ ГМВ", 6, 114, 200, 18);
    for (QLabel* l : {LBadSch_MW, LBadUM_MW, LBadUM_GMW}) {
        setBold(l, Qt::red);
        l->hide();
    }
    Gauge4 = new TGauge(TGauge::Pie, Panel6);
    Gauge4->setObjectName("Gauge4");
    Gauge4->setGeometry(280, 30, 50, 50);
    Gauge4->SetBackColor(QColor(192, 220, 192));
    Gauge4->SetForeColor(QColor(0, 128, 0));
    Gauge4->hide();
    Label27 = label(Panel6, "Label27", "", 6, 150, 330, 18);
    QFont f = Label27->font();
    f.setBold(true);
    Label27->setFont(f);
    Label27->hide();
    BitBtn5 = button(Panel6, "BitBtn5", "Отмена", QRect(245, 280, 80, 25));
    BitBtn5->hide();
}

void TMainForm::connectHandlers() {
    connect(IPort, &QMenu::aboutToShow, this, &TMainForm::IPortClick);
    connect(inom, &QMenu::triggered, this, [this](QAction* a) { ICom4Click(a); });
    connect(N8, &QAction::triggered, this, &TMainForm::N8Click);
    connect(mClosePort, &QAction::triggered, this, &TMainForm::mClosePortClick);
    connect(iTCPselect, &QAction::triggered, this, &TMainForm::iTCPselectClick);
    connect(iComSelect, &QAction::triggered, this, &TMainForm::iComSelectClick);
    connect(iConnect, &QAction::triggered, this, &TMainForm::iConnectClick);
    connect(iDisconnect, &QAction::triggered, this, &TMainForm::iDisconnectClick);
    connect(IReset, &QAction::triggered, this, &TMainForm::IResetClick);
    connect(ToolButton8, &QAction::triggered, this, &TMainForm::IResetClick);
    connect(N2, &QAction::triggered, this, &TMainForm::N2Click);
    for (QAction* a : {ICall1, ICall2, ToolButton6, ToolButton7})
        connect(a, &QAction::triggered, this, [this, a] { ICall1Click(a); });
    connect(N14, &QAction::triggered, this, &TMainForm::ITest1Click);
    connect(ITest1, &QAction::triggered, this, &TMainForm::ToolButton1Click);
    connect(ToolButton1, &QAction::triggered, this, &TMainForm::ToolButton1Click);
    connect(ITest2, &QAction::triggered, this, &TMainForm::ITest2Click);
    connect(ToolButton2, &QAction::triggered, this, &TMainForm::ITest2Click);
    connect(ITest3, &QAction::triggered, this, &TMainForm::ITest3Click);
    connect(ToolButton3, &QAction::triggered, this, &TMainForm::ITest3Click);
    connect(N11, &QAction::triggered, this, &TMainForm::ToolButton10Click);
    connect(ToolButton10, &QAction::triggered, this, &TMainForm::ToolButton10Click);
    connect(N231, &QAction::triggered, this, &TMainForm::ToolButton11Click);
    connect(ToolButton11, &QAction::triggered, this, &TMainForm::ToolButton11Click);
    connect(iBlockNum, &QAction::triggered, this, &TMainForm::iBlockNumClick);
    connect(N6, &QAction::triggered, this, &TMainForm::IEveryClick);
    connect(N9, &QAction::triggered, this, &TMainForm::N9Click);
    connect(N31, &QAction::triggered, this, &TMainForm::N31Click);
    connect(mPeriodicTest2, &QAction::triggered, this, &TMainForm::mPeriodicTest2Click);
    connect(mPeriodicTest3, &QAction::triggered, this, &TMainForm::mPeriodicTest3Click);
    connect(mAnsu, &QAction::triggered, this, &TMainForm::mAnsuClick);
    connect(N12, &QAction::triggered, this, &TMainForm::N12Click);
    connect(N3, &QAction::triggered, this, &TMainForm::N3Click);
    connect(ToolButton13, &QAction::triggered, this, &TMainForm::N3Click);
    connect(N10, &QAction::triggered, this, &TMainForm::N4Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TMainForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TMainForm::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TMainForm::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TMainForm::BitBtn4Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TMainForm::BitBtn5Click);
    connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &TMainForm::Timer2Timer);
}

std::optional<QPoint> TMainForm::Centre() const {
    return geometry().center();
}

QString TMainForm::StatusText(int panel) const {
    auto* l = StatusBar1->findChild<QLabel*>(QString("StatusPanel%1").arg(panel));
    return l ? l->text() : QString();
}

void TMainForm::SetStatusText(int panel, const QString& text) {
    if (auto* l = StatusBar1->findChild<QLabel*>(QString("StatusPanel%1").arg(panel)))
        l->setText(text);
}

bool TMainForm::ToolPositionEnabled(int position) const {
    const auto actions = ToolBar1->actions();
    return position >= 0 && position < actions.size() && actions[position]->isEnabled();
}

void TMainForm::setMenuEnabled(QMenu* menu, bool on) {
    menu->menuAction()->setEnabled(on);
}

bool TMainForm::event(QEvent* e) {
    switch (int(e->type()) - int(QEvent::User)) {
    case WM_DEVICE_TEST1:
        Test1();
        return true;
    case WM_DEVICE_TEST23:
        Test2();
        return true;
    case WM_SOCKET_EVENT:
        WMSocketEvent();
        return true;
    default:
        return QMainWindow::event(e);
    }
}

void TMainForm::closeEvent(QCloseEvent* e) {
    FormClose();
    e->accept();
}

void TMainForm::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}
