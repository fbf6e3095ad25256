// Every item of the main window's menus and tool bar, and the panel buttons, used as the
// operator uses them against the simulated station: each must be reachable under the access
// rule that unlocks it and have its visible effect.
#include "Station.h"

#include "app/TMainForm.h"
#include "app/TShape.h"
#include "link/Transport.h"
#include "link/TxBuffer.h"
#include "platform/Clock.h"
#include "runs/JournalWriters.h"
#include "runs/TestRun.h"
#include "state/Options.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <chrono>
#include <functional>

namespace {

using vesksim::TBytes;

// Takes the files the program opens with the desktop's viewer.
class TFileOpener : public QObject {
    Q_OBJECT
public:
    TFileOpener() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~TFileOpener() override { QDesktopServices::unsetUrlHandler("file"); }
    Q_INVOKABLE void Open(const QUrl& url) { Opened << url.fileName(); }
    QStringList Opened;
};

// What the operator sees change after one command, one fact a line.
struct TSeen {
    QStringList Facts;
    std::string Text() const { return Facts.join(" | ").toStdString(); }
};

// A control as the operator reaches it.
struct TControl {
    QString Name;
    std::function<void()> Use;
};

class MenuCommandsTest : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        clock_.SetStep(20); // the port commands wait 300 ms on this clock
        SetClock(&clock_);
        if (!station_.StartSerial(root_.path().toStdString())) {
            if (station_.Error().rfind("pseudo-terminal", 0) == 0)
                GTEST_SKIP() << station_.Error();
            FAIL() << station_.Error();
        }
        Start();
        ASSERT_TRUE(ComPortOpen());
        ASSERT_TRUE(station_.WaitForCount(2, std::chrono::seconds(5))); // the start-up resets
        // The operator who holds the service code, as the parameters window applies it.
        MechanicNumber = ServiceAccessCode;
        MainForm->UpdateServiceMenus(true);
        // A station in use: both journals hold a result.
        ASSERT_TRUE(AppendTests1Row(JournalFolder(), "Тест 1", "0000000", "Норма").Ok);
        ASSERT_TRUE(AppendTest23Row(JournalFolder(), "Тест 2", "0000000", "Норма", "От ВЕСК").Ok);
        QFile help("Vesk_Help.hlp");
        ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    }
    void TearDown() override {
        MechanicNumber.clear();
        DeviceTcpPort = 4001;
        TAppFixture::TearDown();
    }

    // The menu that holds an item; none for a menu of the menu bar.
    static QMenu* MenuOf(const QAction* a) {
        for (QMenu* menu : MainForm->findChildren<QMenu*>())
            if (menu->actions().contains(a))
                return menu;
        return nullptr;
    }
    // A menu item: clicked only when it and every menu above it are shown and enabled.
    static TControl Item(QAction* a) {
        return {a->text(), [a] {
                    for (QAction* step = a; step; step = MenuOf(step) ? MenuOf(step)->menuAction() : nullptr)
                        ASSERT_TRUE(step->isVisible() && step->isEnabled())
                            << "not reachable: " << step->text().toStdString();
                    a->trigger();
                }};
    }
    // A tool button: clicked on the bar, where its picture shows whether it is usable.
    static TControl Tool(QAction* a, const QString& name) {
        return {name, [a] {
                    auto* b = qobject_cast<QToolButton*>(MainForm->ToolBar1->widgetForAction(a));
                    ASSERT_NE(b, nullptr);
                    // The bar shows a button made visible only once it has laid itself out again.
                    ASSERT_TRUE(PumpUntil([&] {
                        return b->isEnabled() == a->isEnabled() && b->isVisible() == a->isVisible();
                    }));
                    ASSERT_TRUE(b->isVisible() && b->isEnabled()) << "not reachable";
                    b->click();
                }};
    }
    static TControl Button(QPushButton* b, const QString& name) {
        return {name, [b] {
                    ASSERT_TRUE(b->isVisible() && b->isEnabled()) << "not reachable";
                    b->click();
                }};
    }

    // Uses a control and tells what changed: windows shown (a modal one is closed, a test's
    // dialog cancelled, a wait ended with the panel's button), bytes on the line, dialogs
    // asked, the message grid, the measurements, the panel title, the port title, the
    // status bar, the periodic timer and the help file opened.
    TSeen Use(const TControl& c) {
        MainForm->AddMessageRow("до команды", false);
        MainForm->ELevm->setText("3,5");
        MainForm->Timer1->start(2000);
        dialogs_.clear();
        station_.Clear();
        tcp_->Clear();
        const QString title = MainForm->Label25->text();
        const QString port = MainForm->IPort->title();
        const QString status = MainForm->StatusText(0);
        QSet<QWidget*> before;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                before << w;

        TSeen seen;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                seen.Facts << "modal " + modal->objectName() + " \"" + modal->windowTitle() + "\"";
                QMetaObject::invokeMethod(modal, "reject");
            } else if (TestWaitRunning()) {
                for (QPushButton* b : {MainForm->BitBtn3, MainForm->BitBtn4, MainForm->BitBtn5})
                    if (b->isVisible()) {
                        seen.Facts << "wait on " + b->parentWidget()->objectName();
                        b->click();
                    }
            }
        });
        watcher.start(5);
        c.Use();
        QCoreApplication::processEvents();
        watcher.stop();

        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && !before.contains(w) && !qobject_cast<QMenu*>(w)) {
                seen.Facts << "window " + w->objectName();
                w->hide();
            }
        seen.Facts << "line " + line();
        for (const TDialogRecord& d : dialogs_)
            seen.Facts << "dialog " + d.Caption + ": " + d.Text;
        if (MessageCount == 0)
            seen.Facts << "grid cleared";
        if (MainForm->ELevm->text().isEmpty())
            seen.Facts << "measurements cleared";
        if (MainForm->Label25->text() != title)
            seen.Facts << "title " + MainForm->Label25->text();
        if (MainForm->IPort->title() != port)
            seen.Facts << "port " + MainForm->IPort->title();
        if (MainForm->StatusText(0) != status)
            seen.Facts << "status " + MainForm->StatusText(0);
        if (!MainForm->Timer1->isActive() || MainForm->Timer1->interval() != 2000)
            seen.Facts << "timer " + (MainForm->Timer1->isActive()
                                          ? QString::number(MainForm->Timer1->interval())
                                          : QString("off"));
        for (const QString& f : opener_.Opened)
            seen.Facts << "opened " + f;
        opener_.Opened.clear();
        // No hourly test of an item ticked here starts during a later command.
        MainForm->mPeriodicTest2->setChecked(false);
        MainForm->mPeriodicTest3->setChecked(false);
        MainForm->Timer1->stop();
        return seen;
    }
    // What the program sent for the command: everything up to a marker sent after it over
    // the link in use (none: what the serial station got).
    QString line() {
        vesksim::TStation& peer = TcpConnected ? *tcp_ : station_;
        if (TcpConnected || (ComPortOpen() && !TcpSelected)) {
            TTxLock lock(TxMutex());
            TxBuffer.Len = 0;
            PutTxByte(0x55);
            PutTxByte(0x2A);
            SendBuffer(TxBuffer, TxSent);
            if (!peer.WaitFor({0x55, 0x2A}, std::chrono::seconds(5)))
                return "no marker";
        }
        TBytes got = peer.Received();
        if (TcpConnected || (ComPortOpen() && !TcpSelected))
            got.resize(got.size() - 2);
        return got.empty() ? QString("-") : QString::fromStdString(vesksim::ToHex(got));
    }

    TFakeClock clock_;
    vesksim::TStation station_;
    vesksim::TStation* tcp_ = &station_; // the station on TCP, when a test has one
    TFileOpener opener_;
};

TEST_F(MenuCommandsTest, EveryMenuItemAndToolButtonHasItsEffect) {
    TMainForm* m = MainForm;
    const struct {
        TControl control;
        const char* seen;
    } rows[] = {
        {Item(m->IReset), "line D0 | grid cleared | measurements cleared"},
        {Tool(m->ToolButton8, "Сброс"), "line D0 | grid cleared | measurements cleared"},
        {Button(m->BitBtn1, "Очистить таблицу"), "line - | grid cleared"},
        {Button(m->BitBtn2, "Очистить измерения"), "line - | measurements cleared"},
        {Item(m->N2), "window FParam | line - | timer off"},
        {Item(m->ICall1), "modal FCall \"Вызов ТЧМ\" | line D0"},
        {Item(m->ICall2), "modal FCall \"Вызов ДСП\" | line D0"},
        {Tool(m->ToolButton6, "Вызов 1"), "modal FCall \"Вызов ТЧМ\" | line D0"},
        {Tool(m->ToolButton7, "Вызов 2"), "modal FCall \"Вызов ДСП\" | line D0"},
        {Item(m->N14),
         "wait on Panel4 | line E2 80 80 80 80 80 80 80 81 E3 | grid cleared | measurements cleared"},
        {Item(m->ITest1),
         "modal FTestDlg \"Параметры теста\" | line - | grid cleared | measurements cleared"},
        {Tool(m->ToolButton1, "Тест1"),
         "modal FTestDlg \"Параметры теста\" | line - | grid cleared | measurements cleared"},
        {Item(m->ITest2),
         "modal FTestDlg \"Параметры теста\" | line - | grid cleared | measurements cleared"},
        {Tool(m->ToolButton2, "Тест2"),
         "modal FTestDlg \"Параметры теста\" | line - | grid cleared | measurements cleared"},
        {Item(m->ITest3),
         "modal FTestDlg \"Параметры теста\" | line - | grid cleared | measurements cleared"},
        {Tool(m->ToolButton3, "Тест3"),
         "modal FTestDlg \"Параметры теста\" | line - | grid cleared | measurements cleared"},
        {Item(m->N11), "window FDB | line -"},
        {Tool(m->ToolButton10, "Таблица самотеста"), "window FDB | line -"},
        {Item(m->N231), "window FDB23 | line -"},
        {Tool(m->ToolButton11, "Таблица тестов 2,3"), "window FDB23 | line -"},
        {Item(m->N6), "window Fevery | line -"},
        {Item(m->N9), "line E2 80 80 80 80 80 80 80 85 E3 | grid cleared | measurements cleared | title "
                      "Технологический режим 1: измерение "
                      "девиации"},
        {Item(m->N31), "modal FSPC \"Спецрежим\" | line -"},
        {Item(m->mPeriodicTest2), "line - | timer 1000"},
        {Item(m->mPeriodicTest3), "line - | timer 1000"},
        {Item(m->mAnsu), "modal fAnsu \"Настройка АНСУ\" | line -"},
        {Item(m->N12), "modal FDBRV \"Данные о локомотивных РС\" | line -"},
        {Item(m->N10), "modal AboutBox \"Сведения о программе\" | line -"},
        {Item(m->N8), "line D0"},
        {Item(m->mClosePort), "line - | port Порт"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.control.Name.toStdString());
        EXPECT_EQ(Use(row.control).Text(), row.seen);
        if (HasFatalFailure())
            return;
    }

    // The port list is made when the menu opens; choosing the station's port opens it again.
    m->IPort->popup(QPoint());
    m->IPort->hide();
    QAction* port = m->inom->findChild<QAction*>("port_ttyUSB0");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(Use(Item(port)).Text(), "line D0 | port Порт ttyUSB0");

    // Help, hidden by design, opens the help file once it is there to be shown.
    for (QAction* help : {m->N3, m->ToolButton13}) {
        help->setVisible(true);
        help->setEnabled(true);
    }
    EXPECT_EQ(Use(Item(m->N3)).Text(), "line - | opened Vesk_Help.hlp");
    EXPECT_EQ(Use(Tool(m->ToolButton13, "Справка")).Text(), "line - | opened Vesk_Help.hlp");
}

// The TCP interface: "Enter IP" cancelled connects nowhere; answered, the link comes up on
// the station at that address and the reset goes to it.
TEST_F(MenuCommandsTest, ConnectAsksTheAddressAndCancelConnectsNowhere) {
    vesksim::TStation tcp;
    tcp_ = &tcp;
    const int listening = tcp.ListenTcp(0);
    ASSERT_GT(listening, 0) << tcp.Error();
    DeviceTcpPort = listening;
    bool answer = false;
    SetDialogHook(
        [this](const TDialogRecord& d, QWidget*) {
            dialogs_.append(d);
            return dialogAnswer_;
        },
        [&](const QString& caption, const QString&, QString& value, QWidget*) {
            dialogs_.append({TMsgDlgType::Custom, caption, value, 0});
            value = "127.0.0.1"; // never the station's factory address, whatever the answer
            return answer;
        });
    // The interface menu is hidden by design: the test makes it reachable.
    MainForm->iDevice->menuAction()->setVisible(true);
    EXPECT_EQ(Use(Item(MainForm->iTCPselect)).Text(), "line -");
    EXPECT_EQ(ReadFile("Options.dat"), "TCP\r\n");
    ASSERT_TRUE(MainForm->iTCP->menuAction()->isVisible());

    EXPECT_EQ(Use(Item(MainForm->iConnect)).Text(), "line - | dialog Enter IP: 192.168.0.100 | port Порт");
    EXPECT_FALSE(TcpConnected);
    EXPECT_FALSE(tcp.PeerConnected());

    answer = true;
    EXPECT_EQ(Use(Item(MainForm->iConnect)).Text(),
              "line D0 | dialog Enter IP: 192.168.0.100 | status Соединен с: 127.0.0.1");
    ASSERT_TRUE(TcpConnected);
    EXPECT_EQ(MainForm->StatusText(1).toStdString(), "") << "the search is told on the link's panel";
    tcp.Send({0xCA, 0xA1}); // working, МВ transmitter on
    ASSERT_TRUE(PumpUntil([] { return MainForm->Shape2->BrushColor() == QColor(Qt::red); }));
    EXPECT_EQ(Use(Item(MainForm->iDisconnect)).Text(), "line - | status ");
    EXPECT_FALSE(TcpConnected);
    for (TShape* lamp : {MainForm->shPusk, MainForm->Shape2})
        EXPECT_EQ(lamp->BrushColor().name().toStdString(), "#ffffff") << "disconnected: nothing known";
    // An address where nothing listens: the link's panel says so.
    QTcpServer gone;
    ASSERT_TRUE(gone.listen(QHostAddress::LocalHost));
    DeviceTcpPort = gone.serverPort();
    gone.close();
    EXPECT_EQ(Use(Item(MainForm->iConnect)).Text(),
              "line - | dialog Enter IP: 192.168.0.100 | status Соединение не установлено");

    // Back on the serial interface, the port chosen takes the commands again.
    EXPECT_EQ(Use(Item(MainForm->iComSelect)).Text(), "line -");
    MainForm->IPort->popup(QPoint());
    MainForm->IPort->hide();
    QAction* port = MainForm->inom->findChild<QAction*>("port_ttyUSB0");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(Use(Item(port)).Text(), "line D0 | port Порт ttyUSB0 | status ");
}

} // namespace

#include "MenuCommandsTest.moc"
