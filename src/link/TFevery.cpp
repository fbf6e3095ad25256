#include "link/TFevery.h"

#include "link/Builders.h"
#include "link/HexLog.h"
#include "link/TraceRing.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "state/LinkView.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

TFevery* Fevery = nullptr;

namespace {

constexpr int GridColumns = 11;
constexpr int GridRows = 101;
constexpr int CellSize = 20;

QTableWidget* MakeGrid(QWidget* parent, const char* name, int x, int y) {
    auto* g = new QTableWidget(GridRows, GridColumns, parent);
    g->setObjectName(name);
    g->horizontalHeader()->hide();
    g->verticalHeader()->hide();
    g->horizontalHeader()->setMinimumSectionSize(CellSize);
    g->verticalHeader()->setMinimumSectionSize(CellSize);
    g->horizontalHeader()->setDefaultSectionSize(CellSize);
    g->verticalHeader()->setDefaultSectionSize(CellSize);
    g->setColumnWidth(0, 2 * CellSize);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setGeometry(x, y, 2 * CellSize + 10 * CellSize + 20, 300);
    return g;
}

void SetCell(QTableWidget* g, int row, int column, const QString& text) {
    if (QTableWidgetItem* it = g->item(row, column)) {
        if (it->text() != text)
            it->setText(text);
    } else {
        g->setItem(row, column, new QTableWidgetItem(text));
    }
}

void FillGrid(QTableWidget* g, const TTraceRing& ring) {
    const QByteArray bytes = TraceSnapshot(ring);
    const int shown = std::min<int>(int(bytes.size()), (GridRows - 1) * 10);
    for (int k = 0; k < shown; ++k)
        SetCell(g, k / 10 + 1, k % 10 + 1, ByteToHex(uint8_t(bytes[k])));
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, int x, int y, int w = 90) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(x, y, w, 25);
    return b;
}

} // namespace

TFevery::TFevery(QWidget* parent) : QDialog(parent) {
    setObjectName("Fevery");
    setWindowTitle(QStringLiteral("Команды и сообщения"));
    setModal(false);

    Label1 = new QLabel(QStringLiteral("Принятые сообщения"), this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(8, 6, 200, 16);
    StringGrid1 = MakeGrid(this, "StringGrid1", 8, 24);
    bOpebFileIn = Button(this, "bOpebFileIn", QStringLiteral("Открыть файл"), 8, 330);
    bCloseFileIn = Button(this, "bCloseFileIn", QStringLiteral("Закрыть файл"), 104, 330);

    const int right = StringGrid1->geometry().right() + 12;
    Label2 = new QLabel(QStringLiteral("Посланные команды"), this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(right, 6, 200, 16);
    StringGrid2 = MakeGrid(this, "StringGrid2", right, 24);
    bOpenFileOut = Button(this, "bOpenFileOut", QStringLiteral("Открыть файл"), right, 330);
    bCloseFileOut = Button(this, "bCloseFileOut", QStringLiteral("Закрыть файл"), right + 96, 330);

    Button1 = Button(this, "Button1", QStringLiteral("Обновить"), 8, 368);
    Button2 = Button(this, "Button2", QStringLiteral("Сброс"), 104, 368);
    cbAutoRepaint = new QCheckBox(QStringLiteral("Автообновление"), this);
    cbAutoRepaint->setObjectName("cbAutoRepaint");
    cbAutoRepaint->setGeometry(204, 370, 140, 20);
    cbAutoRepaint->setChecked(true);
    BitBtn1 = Button(this, "BitBtn1", QStringLiteral("Закрыть"), right + 96, 368);
    BitBtn1->setDefault(true);
    setFixedSize(right + StringGrid2->width() + 8, 402);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(200);

    connect(Button1, &QPushButton::clicked, this, &TFevery::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFevery::Button2Click);
    // The modeless window closes on its OK button.
    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    connect(bOpebFileIn, &QPushButton::clicked, this, &TFevery::bOpebFileInClick);
    connect(bCloseFileIn, &QPushButton::clicked, this, &TFevery::bCloseFileInClick);
    connect(bOpenFileOut, &QPushButton::clicked, this, &TFevery::bOpenFileOutClick);
    connect(bCloseFileOut, &QPushButton::clicked, this, &TFevery::bCloseFileOutClick);
    connect(Timer1, &QTimer::timeout, this, &TFevery::Timer1Timer);

    FormCreate();
    Timer1->start();
}

void TFevery::FormCreate() {
    for (QTableWidget* g : {StringGrid1, StringGrid2}) {
        for (int c = 1; c < GridColumns; ++c)
            SetCell(g, 0, c, QString::number(c - 1));
        for (int r = 1; r < GridRows; ++r)
            SetCell(g, r, 0, QString::number((r - 1) * 10));
        for (int r = 0; r < GridRows; ++r)
            for (int c = 0; c < GridColumns; ++c)
                if ((r == 0 || c == 0) && g->item(r, c)) {
                    g->item(r, c)->setBackground(palette().button());
                    g->item(r, c)->setFlags(Qt::ItemIsEnabled);
                }
    }
}

void TFevery::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void TFevery::FormShow() {
    RefreshAllMessages();
}

void TFevery::Button1Click() {
    RefreshAllMessages();
}

void TFevery::Button2Click() {
    ResetTraceRings();
    ClearMonitorGrids();
    RefreshAllMessages();
}

void TFevery::Timer1Timer() {
    if (cbAutoRepaint->isChecked())
        RefreshAllMessages();
}

void TFevery::RefreshAllMessages() {
    FillGrid(StringGrid1, RxTraceRing);
    FillGrid(StringGrid2, TxTraceRing);
}

void TFevery::ClearMonitorGrids() {
    for (QTableWidget* g : {StringGrid1, StringGrid2})
        for (int r = 1; r < GridRows; ++r)
            for (int c = 1; c < GridColumns; ++c)
                if (QTableWidgetItem* it = g->item(r, c))
                    it->setText(QString());
}

void TFevery::bOpebFileInClick() {
    LinkView().OpenReceiveLog();
}

void TFevery::bCloseFileInClick() {
    LinkView().CloseReceiveLog();
}

void TFevery::bOpenFileOutClick() {
    try {
        TxLog.Open();
    } catch (const std::exception& e) {
        ShowError(ExceptionText(e), this);
    }
}

void TFevery::bCloseFileOutClick() {
    TxLog.Close();
}
