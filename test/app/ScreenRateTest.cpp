// The main window under a fast stream: the message grid keeps its header, fits its panel
// and reaches its view once a frame; the bars follow busy and free at the frame rate.
#include "Station.h"

#include "app/TGauge.h"
#include "app/TMainForm.h"
#include "app/TMessageGrid.h"
#include "app/TPaintLimiter.h"
#include "link/Receiver.h"
#include "link/RxPump.h"
#include "platform/Clock.h"
#include "platform/FrameGate.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"
#include "voice/TFCall.h"

#include <QAbstractItemModel>
#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <cstring>
#include <memory>

namespace {

// What Qt's model checker finds wrong in a model (rows announced that it does not have,
// indexes out of range), each finding a line.
QStringList modelFaults;
QtMessageHandler passOn = nullptr;
void TakeModelFaults(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (context.category && std::strcmp(context.category, "qt.modeltest") == 0)
        modelFaults << text;
    else if (passOn)
        passOn(type, context, text);
}

class ScreenRateTest : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        clock_.SetNow(QDateTime(QDate(2026, 3, 1), QTime(10, 0, 0)));
        SetClock(&clock_);
        // A line open to a station that says nothing: the test commands follow it.
        ASSERT_TRUE(line_.StartSerial(root_.path().toStdString())) << line_.Error();
        Start();
        grid_ = MainForm->StringGrid1;
        // The view is told of every change of the grid's model exactly as the model makes it.
        modelFaults.clear();
        passOn = qInstallMessageHandler(TakeModelFaults);
        modelCheck_ = std::make_unique<QAbstractItemModelTester>(
            grid_->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    }
    void TearDown() override {
        modelCheck_.reset();
        qInstallMessageHandler(passOn);
        EXPECT_TRUE(modelFaults.isEmpty()) << modelFaults.join('\n').toStdString();
        SetClock(nullptr);
        TAppFixture::TearDown();
    }
    void addRows(int n, const QString& text = "Наличие КС") {
        for (int i = 0; i < n; ++i)
            MainForm->AddMessageRow(text, true);
    }
    // Shows the grid's changes and lets the view lay itself out.
    void settle() {
        grid_->showChanges();
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    int columnsWidth() const { return grid_->columnWidth(0) + grid_->columnWidth(1) + grid_->columnWidth(2); }
    vesksim::TStation line_;
    TFakeClock clock_;
    TMessageGrid* grid_ = nullptr;
    std::unique_ptr<QAbstractItemModelTester> modelCheck_;
};

TEST_F(ScreenRateTest, GridKeepsItsHeaderAndFitsItsPanel) {
    settle();
    QHeaderView* header = grid_->horizontalHeader();
    ASSERT_TRUE(header->isVisible());
    EXPECT_EQ(GridCell(grid_, 0, 2), " Сообщение ");
    EXPECT_EQ(grid_->model()->headerData(1, Qt::Horizontal).toString(), " Канал ");
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(header->sectionResizeMode(c), QHeaderView::Interactive) << c;
        EXPECT_GE(grid_->columnWidth(c), header->sectionSizeHint(c)) << "title of column " << c << " is cut";
    }
    EXPECT_FALSE(grid_->horizontalScrollBar()->isVisible()) << "an empty grid fits its panel";
    EXPECT_EQ(columnsWidth(), grid_->viewport()->width());

    // Rows scroll under the header; the last one is in view.
    const int headerTop = header->geometry().top();
    addRows(100);
    settle();
    EXPECT_TRUE(header->isVisible());
    EXPECT_EQ(header->geometry().top(), headerTop);
    const QRect last = grid_->visualRect(grid_->model()->index(99, 2));
    EXPECT_TRUE(grid_->viewport()->rect().contains(last)) << "the new row is scrolled to";

    // The operator widens the number column: the message column gives way.
    header->resizeSection(0, grid_->columnWidth(0) + 30);
    EXPECT_EQ(columnsWidth(), grid_->viewport()->width());

    // A message wider than the panel takes more lines of a taller row; the columns stay.
    const QString wide = "ГМВ:Прием № локомотива и передача ППНЛ, очень длинное сообщение станции";
    addRows(1, wide);
    settle();
    EXPECT_EQ(columnsWidth(), grid_->viewport()->width());
    EXPECT_GT(grid_->rowHeight(100), 21);
    EXPECT_FALSE(grid_->horizontalScrollBar()->isVisible());
    MainForm->ClearMessageGrid();
    settle();
    EXPECT_EQ(grid_->rowHeight(0), 21) << "cleared, the rows are a line high again";
}

// The view shows the grid's rows and no more: 19 empty rows at the start, five more each time
// the rows run out, 19 again once the grid is cleared.
TEST_F(ScreenRateTest, TheViewShowsTheGridsRowsAndNoMore) {
    const struct {
        bool clear;
        int add;
        int shown;
    } steps[] = {{false, 0, 19}, {false, 19, 19}, {false, 1, 24},
                 {false, 6, 29}, {true, 0, 19},   {false, 21, 24}};
    for (const auto& s : steps) {
        if (s.clear)
            MainForm->ClearMessageGrid();
        addRows(s.add);
        settle();
        EXPECT_EQ(grid_->model()->rowCount(), s.shown) << MessageCount << " rows";
    }
}

TEST_F(ScreenRateTest, NewRowIsHighlightedInItsMessageCell) {
    addRows(30);
    settle();
    const QModelIndex current = grid_->selectionModel()->currentIndex();
    EXPECT_EQ(current.row(), 29);
    EXPECT_EQ(current.column(), 2);
    EXPECT_TRUE(grid_->selectionModel()->isSelected(current));
    EXPECT_FALSE(grid_->selectionModel()->isSelected(grid_->model()->index(29, 0)));
    EXPECT_TRUE(grid_->grab().save(QString(VESK_BINARY_DIR) + "/message-grid.png"));
}

TEST_F(ScreenRateTest, RowsReachTheViewInOneInsertionAFrame) {
    settle();
    int insertions = 0, moves = 0;
    QObject::connect(grid_->model(), &QAbstractItemModel::rowsInserted, [&] { ++insertions; });
    QObject::connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, [&] { ++moves; });
    addRows(500);
    EXPECT_EQ(grid_->rowCount(), 505);
    EXPECT_EQ(GridCell(grid_, 500, 0), "500");
    EXPECT_EQ(insertions, 0) << "nothing reaches the view before the frame";
    ASSERT_TRUE(PumpUntil([&] { return grid_->model()->rowCount() == 504; }));
    EXPECT_EQ(insertions, 1);
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(grid_->selectionModel()->currentIndex().row(), 499);
}

TEST_F(ScreenRateTest, EditedShownRowsReachTheViewInOneChange) {
    addRows(30);
    settle();
    std::vector<std::pair<int, int>> changes;
    QObject::connect(grid_->model(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& from, const QModelIndex& to) {
                         changes.push_back({from.row(), to.row()});
                     });
    grid_->setCellText(1, 2, "первая");
    grid_->setCellText(4, 2, "четвертая");
    grid_->setCellText(2, 2, "вторая");
    settle();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0], std::make_pair(0, 3)) << "rows 1 to 4 of the grid";
    EXPECT_EQ(grid_->model()->index(3, 2).data().toString(), "четвертая");
    settle();
    EXPECT_EQ(changes.size(), 1u) << "a frame without edits changes nothing";
}

TEST_F(ScreenRateTest, StreamingRowsStepTheViewAFewTimesASecondAndTheLastRowShows) {
    settle();
    int steps = 0;
    QObject::connect(grid_->model(), &QAbstractItemModel::rowsInserted, [&] { ++steps; });
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 600) {
        addRows(1);
        QCoreApplication::processEvents(); // each turn would scroll the view again
        QThread::msleep(1);                // fewer rows than make the grid start over
    }
    const qint64 ms = elapsed.elapsed();
    EXPECT_LE(steps, 2 + ms / GridStreamMs) << ms << " ms";
    const int rows = MessageCount;
    ASSERT_TRUE(PumpUntil([&] { return grid_->selectionModel()->currentIndex().row() == rows - 1; }))
        << "the stream's last row is shown";
    EXPECT_TRUE(grid_->viewport()->rect().contains(grid_->visualRect(grid_->model()->index(rows - 1, 2))));
}

TEST_F(ScreenRateTest, BusyAndFreeAlternatingChangeTheToolButtonsOnceAFrame) {
    QWidget* button = MainForm->ToolBar1->widgetForAction(MainForm->ToolBar1->actions().at(0));
    ASSERT_NE(button, nullptr);
    int changes = 0;
    struct TCounter : QObject {
        int* count;
        explicit TCounter(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            *count += e->type() == QEvent::EnabledChange;
            return false;
        }
    } counter(&changes);
    button->installEventFilter(&counter);
    for (int i = 0; i < 500; ++i) {
        ReceiveByte(0xC9);
        ReceiveByte(0xC0);
    }
    ReceiveByte(0xC9);
    EXPECT_FALSE(MainForm->ToolPositionEnabled(0)) << "the action itself follows at once";
    EXPECT_LE(changes, 2) << "the button follows once a frame, not per event";
    ASSERT_TRUE(PumpUntil([&] { return !button->isEnabled() && MainForm->Label7->text() == "ВЕСК занят"; }));
    button->removeEventFilter(&counter);
}

// A burst of busy and free bytes delivered together switches each test control (and the
// privileged items that follow them) only when its state changes: off at the first busy
// byte, on again once, at the delivery's end, when the burst ends free.
TEST_F(ScreenRateTest, BusyAndFreeInOneDeliverySwitchEachControlOnlyWhenItsStateChanges) {
    MechanicNumber = ServiceAccessCode;
    MainForm->EnableTestControls(true);
    QAction* const watched[] = {MainForm->ToolButton1, MainForm->N9, MainForm->ITest->menuAction(),
                                MainForm->N31};
    QObject scope;
    int changes = 0;
    for (QAction* a : watched)
        QObject::connect(a, &QAction::enabledChanged, &scope, [&] { ++changes; });
    const struct {
        uint8_t last;
        bool enabled;
        int changes;
    } bursts[] = {{0xC0, true, 8}, {0xC9, false, 4}, {0xC0, true, 4}};
    for (const auto& b : bursts) {
        std::vector<uint8_t> bytes;
        for (int i = 0; i < 500; ++i)
            bytes.insert(bytes.end(), {0xC9, 0xC0});
        bytes.push_back(b.last);
        changes = 0;
        PushReceivedBytes(bytes.data(), bytes.size());
        DeliverPendingBytes();
        EXPECT_EQ(changes, b.changes) << "burst ending " << int(b.last);
        for (QAction* a : watched)
            EXPECT_EQ(a->isEnabled(), b.enabled) << a->objectName().toStdString();
    }
    MechanicNumber.clear();
}

// Counts the paint events of a widget.
struct TPaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(ScreenRateTest, WindowRepaintsOnceAFrameWhileItsWidgetsChange) {
    TGauge* gauge = MainForm->Gauge1;
    PumpUntil([] { return false; }, 2 * ScreenFrameMs); // the first show's paints are done
    TPaintCounter counter;
    gauge->installEventFilter(&counter);
    QElapsedTimer elapsed;
    elapsed.start();
    for (int i = 0; i < 200; ++i) {
        gauge->SetProgress(i % 2 ? 40 : 60);
        QCoreApplication::processEvents(); // each turn would paint the gauge again
    }
    const qint64 ms = elapsed.elapsed();
    EXPECT_LE(counter.paints, 2 + ms / ScreenFrameMs) << ms << " ms";
    gauge->SetProgress(50);
    const int before = counter.paints;
    EXPECT_TRUE(PumpUntil([&] { return counter.paints > before; })) << "the last change is painted";
    gauge->removeEventFilter(&counter);
}

TEST_F(ScreenRateTest, ChannelEventsReachTheFieldOnceAFrameAndTheOperatorsChoiceWins) {
    ReceiveByte(0x93);
    EXPECT_EQ(MainForm->eRange->text(), "МВ1") << "a single change shows at once";
    ReceiveByte(0x94);
    ReceiveByte(0x95);
    EXPECT_EQ(CurrentChannel, 5);
    ASSERT_TRUE(PumpUntil([] { return MainForm->eRange->text() == "МВ3"; }));

    // The operator chooses a channel while an event's text waits: the choice is newer.
    ReceiveByte(0x93);
    ReceiveByte(0x96);
    FCall->cbDiapMV->setCurrentIndex(1);
    MainForm->ComboChange(FCall->cbDiapMV);
    PumpUntil([] { return false; }, 3 * ScreenFrameMs);
    EXPECT_EQ(MainForm->eRange->text(), "МВ2");
}

} // namespace

namespace {

// A repaint asked sooner than a frame after the last is held, for the rest of the frame only.
TEST(PaintLimiter, HoldsARepaintForTheRestOfTheFrameOnly) {
    QWidget window;
    window.resize(40, 40);
    TPaintLimiter limiter(&window, 10'000);
    window.show();
    PumpUntil([] { return false; }, 100); // the first show's paints are done
    if (limiter.Paints() == 0)
        window.update();
    ASSERT_TRUE(PumpUntil([&] { return limiter.Paints() == 1; })) << "the first repaint goes through";
    TPaintCounter counter;
    window.installEventFilter(&counter);
    QThread::msleep(20);
    window.update();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0) << "a repaint within the frame waits";
    EXPECT_EQ(limiter.Paints(), 1);
    const QTimer* wait = limiter.findChild<QTimer*>();
    ASSERT_NE(wait, nullptr);
    EXPECT_TRUE(wait->isActive());
    EXPECT_LE(wait->interval(), 9'980) << "the 20 ms gone count against the frame";

    // The held repaint, let through (here a second later, sooner than its frame's end),
    // starts the next frame: the following one waits a whole frame from it.
    QThread::msleep(1000);
    const_cast<QTimer*>(wait)->start(0);
    ASSERT_TRUE(PumpUntil([&] { return counter.paints == 1; }));
    EXPECT_EQ(limiter.Paints(), 2);
    window.update();
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);
    EXPECT_GT(wait->interval(), 9'000) << "the frame counts from the last repaint";
    window.removeEventFilter(&counter);
}

// A change a whole frame after the last runs at once; one sooner waits for the rest of the
// frame only, however long the last change is past.
TEST(FrameGate, RunsAtOnceAFrameLaterAndOtherwiseAtTheFramesEnd) {
    int runs = 0;
    TFrameGate every([&] { ++runs; }, nullptr, 0);
    for (int i = 0; i < 50; ++i)
        every.Request();
    EXPECT_EQ(runs, 50) << "with no frame to wait for, every change runs at once";

    runs = 0;
    TFrameGate gate([&] { ++runs; }, nullptr, 1000);
    gate.Request();
    EXPECT_EQ(runs, 1) << "the first change runs at once";
    QThread::msleep(20);
    gate.Request();
    gate.Request();
    EXPECT_EQ(runs, 1);
    ASSERT_TRUE(gate.Pending());
    const QTimer* wait = gate.findChild<QTimer*>();
    ASSERT_NE(wait, nullptr);
    EXPECT_LE(wait->interval(), 980) << "the 20 ms gone count against the frame";
    gate.Flush();
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(gate.Pending());
    gate.Request();
    gate.Cancel();
    EXPECT_FALSE(gate.Pending());
    EXPECT_EQ(runs, 2);
}

} // namespace
