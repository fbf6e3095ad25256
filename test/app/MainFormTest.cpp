// State routines and simple commands of the main window.
#include "Station.h"

#include "app/TAboutBox.h"
#include "app/TGauge.h"
#include "app/TMainForm.h"
#include "app/TShape.h"
#include "link/Builders.h"
#include "link/FrameDecoder.h"
#include "link/Receiver.h"
#include "params/TfAnsu.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "runs/TFTestDlg.h"
#include "state/LinkView.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"
#include "voice/TFCall.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace {

// Takes the links the program opens instead of the desktop.
class TUrlRecorder : public QObject {
    Q_OBJECT
public:
    TUrlRecorder() {
        for (const char* scheme : {"mailto", "https"})
            QDesktopServices::setUrlHandler(scheme, this, "Open");
    }
    ~TUrlRecorder() override {
        for (const char* scheme : {"mailto", "https"})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    Q_INVOKABLE void Open(const QUrl& url) { Opened << url.toString(); }
    QStringList Opened;
};

class MainFormTest : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        clock_.SetNow(QDateTime(QDate(2026, 3, 1), QTime(10, 0, 0)));
        SetClock(&clock_);
        // A line open to a station that says nothing: the test commands follow it.
        ASSERT_TRUE(line_.StartSerial(root_.path().toStdString())) << line_.Error();
        Start();
    }
    void addRows(int n) {
        for (int i = 0; i < n; ++i)
            MainForm->AddMessageRow("Строка", false);
    }
    QString cell(int row, int column) const { return GridCell(MainForm->StringGrid1, row, column); }
    vesksim::TStation line_;
    TFakeClock clock_;
};

TEST_F(MainFormTest, MessageGridClearsOnlyWhenFullOrOldAndFull) {
    addRows(200);
    clock_.Advance(120'000);
    MainForm->AddMessageRow("после паузы", true);
    EXPECT_EQ(MessageCount, 201) << "200 rows never clear on age alone";
    EXPECT_EQ(cell(201, 0), "201");
    EXPECT_EQ(cell(201, 1), "ГМВ1");

    clock_.Advance(60'000);
    MainForm->AddMessageRow("ровно 60 с", false);
    EXPECT_EQ(MessageCount, 202) << "exactly 60 s is not old";
    EXPECT_TRUE(cell(202, 1).isEmpty());

    clock_.Advance(61'000);
    MainForm->AddMessageRow("61 с", false);
    EXPECT_EQ(MessageCount, 1);
    EXPECT_EQ(cell(1, 2), "61 с");
    EXPECT_EQ(MainForm->StringGrid1->rowCount(), 20);

    MainForm->AddMessageRow("", true);
    EXPECT_EQ(MessageCount, 1) << "an empty text adds nothing";
}

TEST_F(MainFormTest, MessageGridClearsAfterThousandRowsAndGrowsByFive) {
    EXPECT_EQ(MainForm->StringGrid1->rowCount(), 20);
    addRows(19);
    EXPECT_EQ(MainForm->StringGrid1->rowCount(), 20);
    addRows(1);
    EXPECT_EQ(MainForm->StringGrid1->rowCount(), 25);
    addRows(5);
    EXPECT_EQ(MainForm->StringGrid1->rowCount(), 30);

    addRows(1001 - MessageCount);
    EXPECT_EQ(MessageCount, 1001);
    addRows(1);
    EXPECT_EQ(MessageCount, 1);
}

// The channel column names the current channel, ДМВ (0) too; an unknown one leaves it empty.
TEST_F(MainFormTest, ChannelColumnNamesEveryChannel) {
    const char* const names[] = {"ДМВ", "ГМВ1", "ГМВ2", "МВ1", "МВ2", "МВ3", "МВ4", ""};
    for (int channel = 0; channel < 8; ++channel) {
        CurrentChannel = uint8_t(channel);
        MainForm->AddMessageRow("Наличие КС", true);
        EXPECT_EQ(cell(MessageCount, 1), names[channel]) << channel;
    }
}

TEST_F(MainFormTest, MessageAgeIsCountedAcrossMidnight) {
    clock_.SetNow(QDateTime(QDate(2026, 3, 1), QTime(23, 59, 50)));
    addRows(201);
    clock_.Advance(30'000); // 00:00:20
    addRows(1);
    EXPECT_EQ(MessageCount, 202) << "30 s across midnight is not old";
    clock_.Advance(61'000);
    addRows(1);
    EXPECT_EQ(MessageCount, 1);

    // 23:59:30 to 00:00:40 is 70 s: old.
    clock_.SetNow(QDateTime(QDate(2026, 3, 2), QTime(23, 59, 30)));
    MainForm->ClearMessageGrid();
    addRows(201);
    clock_.Advance(70'000);
    addRows(1);
    EXPECT_EQ(MessageCount, 1);
}

TEST_F(MainFormTest, AccessRuleNeedsFlagAndExactMechanicNumber) {
    const auto privileged = {
        MainForm->N31,           MainForm->N6, MainForm->mAnsu, MainForm->N12, MainForm->mPeriodicTest2,
        MainForm->mPeriodicTest3};
    const struct {
        const char* mechanic;
        bool flag;
        bool unlocked;
    } cases[] = {{"6093", true, true}, {"6093", false, false}, {"06093", true, false},
                 {"609", true, false}, {"", true, false},      {"6094", true, false}};
    for (const auto& c : cases) {
        MechanicNumber = c.mechanic;
        MainForm->UpdateServiceMenus(c.flag);
        for (QAction* a : privileged)
            EXPECT_EQ(a->isEnabled(), c.unlocked) << c.mechanic << " " << a->objectName().toStdString();
        EXPECT_EQ(MainForm->mPeriodicTest2->isVisible(), c.unlocked);
        EXPECT_EQ(MainForm->mPeriodicTest3->isVisible(), c.unlocked);
        EXPECT_FALSE(MainForm->iBlockNum->isVisible());
    }
    // Showing the main window unlocks them for the service code.
    MechanicNumber = "6093";
    MainForm->UpdateServiceMenus(false);
    MainForm->FormShow();
    EXPECT_TRUE(MainForm->N31->isEnabled());
    MechanicNumber.clear();
}

TEST_F(MainFormTest, TestAndLinkSwitchesWorkByToolBarPosition) {
    MechanicNumber = "6093";
    MainForm->EnableLinkMenus(true);
    MainForm->EnableTestControls(false);
    for (int pos = 0; pos <= 5; ++pos)
        EXPECT_FALSE(MainForm->ToolPositionEnabled(pos)) << pos;
    EXPECT_TRUE(MainForm->ToolPositionEnabled(7)) << "the reset button stays usable during a test";
    EXPECT_TRUE(MainForm->ToolPositionEnabled(9));
    EXPECT_FALSE(MainForm->ITest->menuAction()->isEnabled());
    EXPECT_FALSE(MainForm->IVesk->menuAction()->isEnabled());
    EXPECT_FALSE(MainForm->IPort->menuAction()->isEnabled());
    EXPECT_TRUE(MainForm->IDB->menuAction()->isEnabled());
    EXPECT_FALSE(MainForm->N9->isEnabled());
    EXPECT_FALSE(MainForm->N31->isEnabled()) << "privileged items are off while a test runs";

    MainForm->EnableTestControls(true);
    EXPECT_TRUE(MainForm->N31->isEnabled());
    EXPECT_TRUE(MainForm->ToolPositionEnabled(5));

    MainForm->EnableLinkMenus(false);
    for (int pos = 0; pos <= 7; ++pos)
        EXPECT_FALSE(MainForm->ToolPositionEnabled(pos)) << pos;
    EXPECT_TRUE(MainForm->ToolPositionEnabled(9));
    EXPECT_TRUE(MainForm->ToolPositionEnabled(10));
    EXPECT_TRUE(MainForm->IPort->menuAction()->isEnabled());
    EXPECT_FALSE(MainForm->N5->menuAction()->isEnabled());
    MechanicNumber.clear();
}

TEST_F(MainFormTest, ResetCommandClearsErrorsGridMeasurementsAndWait) {
    DataErrorFlags = 0x0C;
    MainForm->LDataErr->show();
    for (TGauge* g : {MainForm->Gauge2, MainForm->Gauge3, MainForm->Gauge4})
        g->SetProgress(50);
    MainForm->ELevm->setText("3,5");
    MeasuredDeviation[1] = "35";
    SensMv = {'1', "12"};
    SensGmv = {'1', "34"};
    addRows(3);
    TestWaiting = true;
    MainForm->SetStatusText(1, "Начат");
    MainForm->EnableTestControls(false);

    MainForm->IResetClick();
    EXPECT_EQ(DataErrorFlags, 0u);
    EXPECT_FALSE(MainForm->LDataErr->isVisible());
    for (TGauge* g : {MainForm->Gauge2, MainForm->Gauge3, MainForm->Gauge4})
        EXPECT_EQ(g->Progress(), 0) << g->objectName().toStdString();
    EXPECT_TRUE(MainForm->ELevm->text().isEmpty());
    EXPECT_EQ(MeasuredDeviation[1], "00");
    EXPECT_EQ(QString(SensMv.Flag) + SensMv.Osl + SensGmv.Flag + SensGmv.Osl, "000000");
    EXPECT_EQ(MessageCount, 0);
    EXPECT_FALSE(TestWaiting);
    EXPECT_TRUE(MainForm->StatusText(1).isEmpty());
    EXPECT_TRUE(cell(3, 2).isEmpty()) << "the last row too";
    EXPECT_TRUE(MainForm->ITest->menuAction()->isEnabled());
    EXPECT_EQ(MainForm->shPusk->BrushColor(), QColor(Qt::red));
}

// The device panel as the decoders drive it through the main window's view.
TEST_F(MainFormTest, DevicePanelFollowsTheStation) {
    for (uint8_t b : {0xA1, 0xA2})
        ReceiveByte(b);
    EXPECT_EQ(MainForm->Shape2->BrushColor(), QColor(Qt::red)) << "МВ transmitter";
    EXPECT_EQ(MainForm->Shape3->BrushColor(), QColor(Qt::red)) << "ГМВ transmitter";
    ReceiveByte(0xA4);
    EXPECT_EQ(MainForm->Shape2->BrushColor(), QColor(Qt::white));
    EXPECT_EQ(MainForm->Shape3->BrushColor(), QColor(Qt::red));

    // A blocked band leaves the test and call windows one band list: that of the other band.
    auto shownLists = [] {
        QStringList names;
        for (QWidget* w :
             {static_cast<QWidget*>(FTestDlg->ComboBox1), static_cast<QWidget*>(FTestDlg->ComboBoxMW),
              static_cast<QWidget*>(FTestDlg->ComboBoxGMW), static_cast<QWidget*>(FCall->cbDiap),
              static_cast<QWidget*>(FCall->cbDiapMV), static_cast<QWidget*>(FCall->cbDiapGMV)})
            if (!w->isHidden())
                names << w->objectName();
        return names.join(' ');
    };
    ConfigWord = "02111111"; // МВ band blocked
    ShowConfig();
    EXPECT_FALSE(MainForm->ELevm->isEnabled());
    EXPECT_FALSE(MainForm->Edit2->isEnabled());
    EXPECT_TRUE(MainForm->ELevg->isEnabled());
    EXPECT_EQ(shownLists(), "ComboBoxGMW cbDiapGMV");
    ConfigWord = "04111111"; // ГМВ band blocked
    ApplyGmvBlock();
    EXPECT_EQ(shownLists(), "ComboBoxMW cbDiapMV");
    ConfigWord = "01111111";
    ShowConfig();
    EXPECT_TRUE(MainForm->ELevm->isEnabled());
    ApplyGmvBlock();
    EXPECT_EQ(shownLists(), "ComboBox1 cbDiap");

    // The working event lights the start lamp green.
    ReceiveByte(0xCA);
    EXPECT_EQ(MainForm->shPusk->BrushColor(), QColor(0, 128, 0));

    // A call made while an amplifier alarm shows clears the alarm (and repeats the call).
    clock_.SetStep(100); // the call waits 500 ms for the alarm
    for (QLabel* alarm : {MainForm->LBadUM_MW, MainForm->LBadUM_GMW}) {
        alarm->show();
        SendCall(0);
        EXPECT_TRUE(alarm->isHidden()) << alarm->objectName().toStdString();
    }
    clock_.SetStep(0);

    // The free event puts the result panel back after technological mode 1.
    MainForm->N9Click();
    MainForm->LBadUM_MW->show();
    ReceiveByte(0xC0);
    EXPECT_EQ(MainForm->Label25->text(), "Результаты тестирования");
    EXPECT_TRUE(MainForm->LBadUM_MW->isHidden());

    LinkView().SetSoundLamps(TLamp::White, TLamp::Green, TLamp::Red);
    EXPECT_EQ(MainForm->shStatMsg->BrushColor(), QColor(255, 255, 255));
    EXPECT_EQ(MainForm->shSaveSound->BrushColor(), QColor(0, 128, 0));
    EXPECT_EQ(MainForm->shUnSaveSound->BrushColor(), QColor(255, 0, 0));
}

// Every result turns the panel's button into a cancel button and back into an OK button: the
// two icons are made once, not rebuilt from their files by each of a run's many results.
TEST_F(MainFormTest, ResultsSwitchThePanelButtonWithoutMakingNewIcons) {
    qint64 okIcon = 0;
    for (uint8_t test : {2, 3}) {
        for (uint8_t b : {0xE2, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80 + test, 0xE3})
            ReceiveByte(uint8_t(b));
        ASSERT_TRUE(PumpUntil([] { return RunningTest == 0 && MainForm->BitBtn4->text() == "OK"; }));
        if (okIcon == 0)
            okIcon = MainForm->BitBtn4->icon().cacheKey();
        EXPECT_EQ(MainForm->BitBtn4->icon().cacheKey(), okIcon) << "test " << int(test);
    }
}

TEST_F(MainFormTest, DataErrorBitsByChannelSetAndKind) {
    DataErrorFlags = 0;
    MainForm->Err_kan(1, 1);
    MainForm->Err_kan(2, 2);
    MainForm->Err_kan(3, 1);
    MainForm->Err_kan(4, 1);
    MainForm->Err_kan(1, 3);
    EXPECT_EQ(DataErrorFlags, 4u | 32u | 64u);
}

TEST_F(MainFormTest, RightsCheckRefusesWithWarningAndCancelOnly) {
    MechanicNumber = "1111";
    MainForm->N31Click();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Caption, QString("Предупреждение"));
    EXPECT_EQ(dialogs_[0].Text, QString("У Вас нет разрешения на выполнение этого режима"));
    EXPECT_EQ(dialogs_[0].Buttons, int(mbCancel));
    MechanicNumber.clear();
}

TEST_F(MainFormTest, ParametersCommandSwitchesTheHourlyTimerByConfigWord) {
    ConfigWord = "01111111";
    MainForm->Timer1->start(2000);
    MainForm->N2Click();
    EXPECT_FALSE(MainForm->Timer1->isActive());

    ConfigWord = "01211111";
    MainForm->N2Click();
    EXPECT_TRUE(MainForm->Timer1->isActive());
    EXPECT_EQ(MainForm->Timer1->interval(), 1500);

    MainForm->Timer1->setInterval(3'600'000);
    MainForm->N2Click();
    EXPECT_EQ(MainForm->Timer1->interval(), 3'600'000) << "a running timer keeps its interval";
}

TEST_F(MainFormTest, ChannelChoiceFromCombos) {
    FCall->cbDiapMV->setCurrentIndex(1);
    MainForm->ComboChange(FCall->cbDiapMV);
    EXPECT_EQ(CurrentChannel, 4);
    EXPECT_EQ(MainForm->eRange->text(), "МВ2");
    FCall->cbDiap->setCurrentIndex(0);
    MainForm->ComboChange(FCall->cbDiap);
    EXPECT_EQ(CurrentChannel, 1);
    EXPECT_THROW(MainForm->ComboChange(MainForm), EVeskError);

    // In the receiver-settings window the list's index is the channel: no index, no channel.
    fAnsu->show();
    FCall->cbDiap->setCurrentIndex(-1);
    const uint8_t before = CurrentChannel;
    EXPECT_THROW(MainForm->ComboChange(FCall->cbDiap), ERangeError);
    EXPECT_EQ(CurrentChannel, before);
    fAnsu->hide();
}

TEST_F(MainFormTest, CallWithNoBandLeavesTheBandUnchosen) {
    CurrentChannel = 0;
    QTimer::singleShot(0, FCall, &QDialog::reject);
    MainForm->ICall1Click(MainForm->ICall2);
    EXPECT_EQ(FCall->cbDiap->currentIndex(), -1);
    EXPECT_EQ(FCall->windowTitle(), "Вызов ДСП");
    EXPECT_EQ(FCall->bCall->property("tag").toInt(), 1);
}

TEST_F(MainFormTest, AboutWindowShowsTheProgramVersion) {
    AboutBox->FormShow();
    EXPECT_EQ(AboutBox->Version->text(), QString("Версия : " VESK_VERSION));
    EXPECT_FALSE(AboutBox->ProgramIcon->pixmap().isNull());

    // The links open on a click only, not on every event that reaches them; Enter closes.
    TUrlRecorder urls;
    AboutBox->open();
    ASSERT_TRUE(PumpUntil([] { return AboutBox->isVisible(); }));
    for (QLabel* link : {AboutBox->Label2, AboutBox->Label3}) {
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(link, &release);
    }
    QApplication::processEvents();
    EXPECT_EQ(urls.Opened, QStringList({"mailto:support@vesk.example", "https://vesk.example"}));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(AboutBox, &enter);
    EXPECT_FALSE(AboutBox->isVisible());
    EXPECT_EQ(AboutBox->result(), QDialog::Accepted);
}

// Every window made at start-up carries its name.
TEST_F(MainFormTest, EveryWindowMadeAtStartUpHasItsName) {
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets())
        names << w->objectName();
    for (const QWidget* w : MainForm->findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
        names << w->objectName();
    for (const char* name : {"MainForm", "FParam", "Fevery", "FTestDlg", "AboutBox", "FSPC", "FCall", "FDB",
                             "FDB23", "FSelectDlg", "FDBRV", "Form2", "fBlockNum", "fAnsu"})
        EXPECT_TRUE(names.contains(name)) << name;
}

// The pie gauge fills clockwise from twelve o'clock: a quarter is the upper right.
TEST(Gauge, PieFillsClockwiseFromTheTop) {
    TGauge g(TGauge::Pie);
    g.resize(42, 42);
    g.SetBackColor(Qt::yellow);
    g.SetForeColor(QColor(0, 128, 0));
    g.SetMaxValue(20);
    g.SetProgress(5);
    const QImage img = g.grab().toImage();
    const auto at = [&](int x, int y) { return img.pixelColor(x * img.width() / 42, y * img.height() / 42); };
    EXPECT_EQ(at(29, 12), QColor(0, 128, 0)) << "upper right";
    EXPECT_EQ(at(12, 12), QColor(Qt::yellow)) << "upper left";
    EXPECT_EQ(at(12, 29), QColor(Qt::yellow)) << "lower left";
    g.SetProgress(20);
    const QImage full = g.grab().toImage();
    EXPECT_EQ(full.pixelColor(12 * full.width() / 42, 29 * full.height() / 42), QColor(0, 128, 0));
}

// The needle dial: a framed half circle, the needle from the left end (minimum) over the
// top (half) to the right end (maximum).
TEST(Gauge, NeedleSwingsFromLeftOverTheTopToTheRight) {
    TGauge g(TGauge::Needle);
    g.resize(80, 44); // the needle turns about (40, 41) with a radius of 36
    g.SetBackColor(Qt::white);
    g.SetForeColor(Qt::red);
    const auto red = [](const QImage& img, int x, int y) {
        const QColor c = img.pixelColor(x * img.width() / 80, y * img.height() / 44);
        return c.red() > 200 && c.green() < 100;
    };
    const auto dark = [](const QImage& img, int x, int y) {
        return qGray(img.pixel(x * img.width() / 80, y * img.height() / 44)) < 200;
    };
    g.SetProgress(50);
    QImage img = g.grab().toImage();
    EXPECT_TRUE(red(img, 40, 20)) << "half: straight up";
    EXPECT_TRUE(dark(img, 0, 22) && dark(img, 79, 22) && dark(img, 40, 0) && dark(img, 40, 43)) << "framed";
    g.SetProgress(0);
    img = g.grab().toImage();
    EXPECT_TRUE(red(img, 20, 41)) << "minimum: left";
    EXPECT_FALSE(red(img, 60, 41));
    g.SetProgress(100);
    img = g.grab().toImage();
    EXPECT_TRUE(red(img, 60, 41)) << "maximum: right";
}

// A lamp is a whole circle of its own small square, whatever room its panel would give it.
TEST(Shape, LampIsAWholeCircle) {
    QWidget panel;
    panel.resize(200, 100);
    auto* lamp = new TShape(&panel);
    lamp->SetBrushColor(Qt::red);
    panel.show();
    EXPECT_EQ(lamp->width(), lamp->height());
    EXPECT_LE(lamp->width(), 20);
    const QImage img = lamp->grab().toImage();
    const auto red = [&](int x, int y) {
        const QColor c = img.pixelColor(x * img.width() / lamp->width(), y * img.height() / lamp->height());
        return c.red() > 200 && c.green() < 100;
    };
    const int side = lamp->width();
    EXPECT_TRUE(red(side / 2, side / 2));
    for (const QPoint& edge :
         {QPoint(side / 2, 0), QPoint(side / 2, side - 1), QPoint(0, side / 2), QPoint(side - 1, side / 2)})
        EXPECT_FALSE(red(edge.x(), edge.y())) << "outlined at " << edge.x() << "," << edge.y();
}

TEST_F(MainFormTest, EveryNamedComponentExistsAndTheWindowRenders) {
    for (const char* name :
         {"Label7",    "Gauge1",     "eRange",   "Edit1",     "LDataErr",    "Edit5",         "Edit6",
          "Shape2",    "Shape3",     "shPusk",   "shStatMsg", "shSaveSound", "shUnSaveSound", "StringGrid1",
          "BitBtn1",   "ELevm",      "ELevg",    "Edit2",     "Edit3",       "BitBtn2",       "Panel4",
          "RichEdit1", "Gauge2",     "Panel5",   "Gauge3",    "RichEdit2",   "Panel6",        "Gauge4",
          "BitBtn5",   "StatusBar1", "ToolBar1", "Timer1",    "Timer2",      "IPort",         "IVesk",
          "ITest",     "IDB",        "N2",       "ICall1",    "ICall2",      "N14",           "N9",
          "ITest1",    "ITest2",     "ITest3",   "IReset",    "iComSelect",  "iTCPselect"})
        EXPECT_NE(MainForm->findChild<QObject*>(name), nullptr) << name;
    // The monitor window has a Timer1 too: the main window's own timers carry their names.
    for (QTimer* t : {MainForm->Timer1, MainForm->Timer2})
        EXPECT_EQ(MainForm->findChild<QTimer*>(t->objectName(), Qt::FindDirectChildrenOnly), t);
    EXPECT_EQ(MainForm->Timer1->objectName(), "Timer1");
    for (QAction* a : MainForm->ToolBar1->actions()) {
        if (!a->isSeparator()) {
            EXPECT_EQ(MainForm->ToolBar1->widgetForAction(a)->size(), QSize(60, 25))
                << a->objectName().toStdString();
        }
    }
    EXPECT_EQ(QStringList({cell(0, 0), cell(0, 1), cell(0, 2)}),
              QStringList({" № ", " Канал ", " Сообщение "}));
    EXPECT_EQ(MainForm->Edit1->text(), "MB2");
    EXPECT_EQ(MainForm->Label7->text(), "ВЕСК свободен");
    EXPECT_TRUE(MainForm->Panel6->isVisible());
    EXPECT_FALSE(MainForm->Panel4->isVisible());
    addRows(3);
    MainForm->StringGrid1->showChanges();
    const QString png = QString(VESK_BINARY_DIR) + "/main-window.png";
    EXPECT_TRUE(MainForm->grab().save(png));
}

} // namespace

namespace {

TEST_F(MainFormTest, ErrorEscapingAHandlerIsShownAndTheProgramGoesOn) {
    // The channel choice raises for a sender that is not a combo box.
    QTimer::singleShot(0, MainForm, [] { MainForm->ComboChange(MainForm); });
    QTimer::singleShot(0, MainForm, [] { MainForm->AddMessageRow("дальше", false); });
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Caption, QString("Ошибка"));
    EXPECT_EQ(dialogs_[0].Text, QString("Неверный источник выбора канала"));
    EXPECT_EQ(MessageCount, 1) << "the next handler still runs";

    // Something that is no error object at all is still caught and shown.
    QTimer::singleShot(0, MainForm, [] { throw 42; });
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs_.size(), 2);
    EXPECT_EQ(dialogs_[1].Text, QString("Внутренняя ошибка программы"));
}

} // namespace

#include "MainFormTest.moc"
