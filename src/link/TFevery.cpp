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
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <cmath>

TFevery* Fevery = nullptr;

namespace {

constexpr int GridColumns = 11;
constexpr int GridRows = 101;
constexpr int CellSize = 20;

// The room a cell's text gives up: the item margins on both sides and the grid line.
int CellMargin(const QTableWidget* g) {
    return 2 * (g->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, g) + 1) + 1;
}

// Cells of at least 20 by 20 pixels, wider or taller when the font needs it, so that every
// byte shows its two hex digits and every row heading its number whatever font is installed.
QSize CellSizeFor(const QTableWidget* g) {
    const QFontMetricsF fm(g->font());
    qreal widest = 0;
    for (int b = 0; b < 256; ++b)
        widest = std::max(widest, fm.horizontalAdvance(ByteToHex(uint8_t(b))));
    return {std::max(CellSize, int(std::ceil(widest)) + CellMargin(g)),
            std::max(CellSize, int(std::ceil(fm.height())) + 4)};
}

QTableWidget* MakeGrid(QWidget* parent, const char* name, int x, int y) {
    auto* g = new QTableWidget(GridRows, GridColumns, parent);
    g->setObjectName(name);
    g->horizontalHeader()->hide();
    g->verticalHeader()->hide();
    const QSize cell = CellSizeFor(g);
    const int heading = std::max(
        2 * CellSize, int(std::ceil(QFontMetricsF(g->font()).horizontalAdvance("9990"))) + CellMargin(g));
    g->horizontalHeader()->setMinimumSectionSize(cell.width());
    g->verticalHeader()->setMinimumSectionSize(cell.height());
    g->horizontalHeader()->setDefaultSectionSize(cell.width());
    g->verticalHeader()->setDefaultSectionSize(cell.height());
    g->setColumnWidth(0, heading);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int scrollBar = g->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, g);
    const int frame = 2 * g->frameWidth();
    g->setGeometry(x, y, heading + 10 * cell.width() + scrollBar + frame, 14 * cell.height() + frame);
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

// A button at least 90 pixels wide and as wide and tall as its caption needs.
QPushButton* Button(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    const QSize hint = b->sizeHint();
    b->setGeometry(x, y, std::max(90, hint.width()), std::max(25, hint.height()));
    return b;
}

int RightOf(const QWidget* w) {
    return w->geometry().right() + 7;
}

} // namespace

TFevery::TFevery(QWidget* parent) : QDialog(parent) {
    setObjectName("Fevery");
    setWindowTitle(QStringLiteral("Команды и сообщения"));
    setModal(false);

    const int lineHeight = fontMetrics().height() + 2;
    Label1 = new QLabel(QStringLiteral("Принятые сообщения"), this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(8, 6, Label1->sizeHint().width(), lineHeight);
    StringGrid1 = MakeGrid(this, "StringGrid1", 8, Label1->geometry().bottom() + 3);
    const int filesY = StringGrid1->geometry().bottom() + 7;
    bOpebFileIn = Button(this, "bOpebFileIn", QStringLiteral("Открыть файл"), 8, filesY);
    bCloseFileIn = Button(this, "bCloseFileIn", QStringLiteral("Закрыть файл"), RightOf(bOpebFileIn), filesY);

    const int right = std::max(StringGrid1->geometry().right(), bCloseFileIn->geometry().right()) + 12;
    Label2 = new QLabel(QStringLiteral("Посланные команды"), this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(right, 6, Label2->sizeHint().width(), lineHeight);
    StringGrid2 = MakeGrid(this, "StringGrid2", right, StringGrid1->y());
    bOpenFileOut = Button(this, "bOpenFileOut", QStringLiteral("Открыть файл"), right, filesY);
    bCloseFileOut =
        Button(this, "bCloseFileOut", QStringLiteral("Закрыть файл"), RightOf(bOpenFileOut), filesY);

    const int controlsY = bOpebFileIn->geometry().bottom() + 12;
    Button1 = Button(this, "Button1", QStringLiteral("Обновить"), 8, controlsY);
    Button2 = Button(this, "Button2", QStringLiteral("Сброс"), RightOf(Button1), controlsY);
    cbAutoRepaint = new QCheckBox(QStringLiteral("Автообновление"), this);
    cbAutoRepaint->setObjectName("cbAutoRepaint");
    const QSize check = cbAutoRepaint->sizeHint();
    cbAutoRepaint->setGeometry(RightOf(Button2) + 6, controlsY + (Button2->height() - check.height()) / 2,
                               check.width(), check.height());
    cbAutoRepaint->setChecked(true);
    BitBtn1 = Button(this, "BitBtn1", QStringLiteral("Закрыть"), 0, controlsY);
    BitBtn1->move(StringGrid2->geometry().right() - BitBtn1->width() + 1, controlsY);
    BitBtn1->setDefault(true);
    const int width = std::max(StringGrid2->geometry().right(), bCloseFileOut->geometry().right()) + 9;
    setFixedSize(width, BitBtn1->geometry().bottom() + 10);

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
