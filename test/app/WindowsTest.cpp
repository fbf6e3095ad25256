// Every window of the program as the operator first sees it: each text fits its room, the
// captions are the program's own, Qt's own texts are Russian. Each window is also saved
// as a PNG in the build tree for a look.
#include "app/Application.h"
#include "app/TAboutBox.h"
#include "app/TMainForm.h"
#include "app/TShape.h"
#include "journal/AttenuationEdit.h"
#include "journal/BlockNumTable.h"
#include "journal/DBNavigator.h"
#include "journal/TFDB.h"
#include "journal/TFDB23.h"
#include "journal/TFDBRV.h"
#include "journal/TFSelectDlg.h"
#include "journal/TForm2.h"
#include "journal/TfBlockNum.h"
#include "link/TFevery.h"
#include "link/TraceRing.h"
#include "params/TFParam.h"
#include "params/TFSPC.h"
#include "params/TfAnsu.h"
#include "platform/Clock.h"
#include "platform/DialogPresenter.h"
#include "platform/Dialogs.h"
#include "runs/JournalWriters.h"
#include "runs/TFTestDlg.h"
#include "state/Options.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"
#include "support/WindowCheck.h"
#include "voice/TFCall.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class WindowsTest : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        clock_.SetNow(QDateTime(QDate(2026, 6, 5), QTime(9, 7, 3)));
        SetClock(&clock_);
        Start();
    }
    /// Shows a window, checks its texts and that none of its controls stands on another,
    /// and saves its picture as <name>.png.
    QStringList Look(QWidget* w, const QString& name, const QSet<QString>& skip = {}) {
        w->show();
        QCoreApplication::processEvents();
        QStringList wrong = TextsThatDoNotFit(w, skip) + OverlappingChildren(w);
        for (QString& line : wrong)
            line.prepend(name + ": ");
        EXPECT_TRUE(w->grab().save(QString(VESK_BINARY_DIR) + "/window-" + name + ".png"))
            << name.toStdString();
        w->hide();
        QCoreApplication::processEvents();
        return wrong;
    }
    TFakeClock clock_;
};

TEST_F(WindowsTest, EveryTextOfEveryWindowFits) {
    // Rows in the journals and the factory-number table, so that their cells are checked too.
    LocoNumber = "1234567";
    ASSERT_TRUE(AppendTests1Row(JournalFolder(), "Тест 1", "0000000", "Норма").Ok);
    ASSERT_TRUE(AppendTest23Row(JournalFolder(), "Тест 2", "0000000", "Норма", "От ВЕСК").Ok);
    QStringList blocks;
    for (int i = 0; i < 8; ++i)
        blocks << QString("%1").arg(8888888888880000LL + i, 16, 10, QChar('0'));
    ASSERT_TRUE(SaveBlockNums("1234567", KindFromDevice, clock_.Now(), blocks));
    FDBRV->NavigatorClick(TNavButton::Insert);
    QAbstractItemModel* rv = FDBRV->DBGrid1->model();
    for (int c = 0; c < 3; ++c)
        rv->setData(rv->index(FDBRV->Table1->CurrentIndex(), c), QStringList{"8888888", "-88", "-88"}[c]);
    FDBRV->NavigatorClick(TNavButton::Post);
    ASSERT_EQ(rv->rowCount(), 1) << dialogs_.value(0).Text.toStdString();
    // A full monitor: every byte cell holds two hex digits, "DD" among the widest.
    for (int i = 0; i < 1000; ++i)
        RxTraceRing.Put(uint8_t(0xD0 + i % 16));

    QStringList wrong;
    // The report options dialog alone has no caption, by design.
    for (QWidget* w : QList<QWidget*>{MainForm, FParam, Fevery, FTestDlg, AboutBox, FSPC, FCall, FDB, FDB23,
                                      FSelectDlg, FDBRV, fBlockNum, fAnsu})
        if (w->windowTitle().isEmpty())
            wrong << w->objectName() +
                         ": no caption of its own (the window system would show the program name)";
    MainForm->AddMessageRow("ВЕСК свободен", false);
    MainForm->LDataErr->show(); // as when wrong settings have come
    wrong << Look(MainForm, "main", {});
    MainForm->LDataErr->hide();
    wrong << Look(FParam, "parameters");
    wrong << Look(Fevery, "monitor");
    wrong << Look(FTestDlg, "test-dialog");
    wrong << Look(AboutBox, "about");
    wrong << Look(FSPC, "special-mode");
    wrong << Look(FCall, "call");
    wrong << Look(Form2, "report-options");
    wrong << Look(FDB, "browser-tests1");
    wrong << Look(FDB23, "browser-tests23");
    wrong << Look(FSelectDlg, "record-selection");
    wrong << Look(FDBRV, "attenuation");
    wrong << Look(fBlockNum, "factory-numbers");
    wrong << Look(fAnsu, "antenna");
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join("\n").toStdString();
}

TEST_F(WindowsTest, DevicePanelOnlyShowsAndKeepsItsValuesLegible) {
    MainForm->eRange->setText("МВ1");
    MainForm->eRange->setFocus();
    QCoreApplication::processEvents();
    EXPECT_FALSE(MainForm->eRange->isEnabled()) << "no input reaches the device panel";
    EXPECT_FALSE(MainForm->eRange->hasFocus());
    EXPECT_FALSE(MainForm->Edit5->isEnabled());
    // Its values are drawn in the normal colours; the fixed "MB2" alone looks disabled.
    const QPalette shown = MainForm->eRange->palette();
    EXPECT_EQ(shown.color(QPalette::Disabled, QPalette::Text), shown.color(QPalette::Active, QPalette::Text));
    EXPECT_EQ(shown.color(QPalette::Disabled, QPalette::Base), shown.color(QPalette::Active, QPalette::Base));
    const QPalette greyed = MainForm->Edit1->palette();
    EXPECT_NE(greyed.color(QPalette::Disabled, QPalette::Text),
              greyed.color(QPalette::Active, QPalette::Text));
    // The rest of the main window still takes input.
    EXPECT_TRUE(MainForm->BitBtn1->isEnabled());
}

TEST_F(WindowsTest, MonitorShowsEveryColumnOfBothGridsWhole) {
    Fevery->show();
    QCoreApplication::processEvents();
    for (QTableWidget* g : {Fevery->StringGrid1, Fevery->StringGrid2}) {
        SCOPED_TRACE(g->objectName().toStdString());
        EXPECT_FALSE(g->horizontalScrollBar()->isVisible());
        EXPECT_LE(g->columnViewportPosition(10) + g->columnWidth(10), g->viewport()->width());
        EXPECT_GE(g->viewport()->height(), 10 * g->rowHeight(1)) << "ten rows at least";
        EXPECT_TRUE(Fevery->rect().contains(g->geometry()));
    }
    Fevery->hide();
}

// The lamps as the screen shows them, not a fresh rendering of the lamp: each new colour
// must reach the window's picture.
TEST_F(WindowsTest, LampsShowEachNewColourOnScreen) {
    QCoreApplication::processEvents();
    const auto onScreen = [](const TShape* lamp) {
        QWidget* window = lamp->window();
        const QImage shot = window->screen()->grabWindow(window->winId()).toImage();
        const QPointF centre = QPointF(lamp->mapTo(window, lamp->rect().center())) * shot.devicePixelRatio();
        return shot.pixelColor(centre.toPoint());
    };
    for (TShape* lamp : {MainForm->Shape2, MainForm->Shape3, MainForm->shPusk, MainForm->shStatMsg,
                         MainForm->shSaveSound, MainForm->shUnSaveSound})
        for (const QColor& colour : {QColor(Qt::red), QColor(0, 128, 0), QColor(Qt::white)}) {
            lamp->SetBrushColor(colour);
            if (!PumpUntil([&] { return onScreen(lamp) == colour; }, 3000)) {
                ADD_FAILURE() << lamp->objectName().toStdString() << " still shows "
                              << onScreen(lamp).name().toStdString() << ", not "
                              << colour.name().toStdString();
                break;
            }
        }
}

// The self-test and the tests 2/3 result panels, as a test shows them: every text fits,
// nothing stands on anything else, the OK button inside its panel.
TEST_F(WindowsTest, ResultPanelsShowWhole) {
    for (QFrame* panel : {MainForm->Panel4, MainForm->Panel5}) {
        MainForm->Panel6->hide();
        panel->show();
        QCoreApplication::processEvents();
        const QString name = panel->objectName();
        EXPECT_TRUE(TextsThatDoNotFit(MainForm).isEmpty())
            << TextsThatDoNotFit(MainForm).join("\n").toStdString();
        EXPECT_TRUE(OverlappingChildren(panel).isEmpty())
            << OverlappingChildren(panel).join("\n").toStdString();
        EXPECT_TRUE(MainForm->grab().save(QString(VESK_BINARY_DIR) + "/window-main-" + name + ".png"));
        panel->hide();
    }
    MainForm->Panel6->show();
}

// The special mode window: its five rows one below another in their order, each caption
// level with its field, the buttons below them, nothing drawn over anything else.
TEST_F(WindowsTest, SpecialModeRowsStandOneBelowAnother) {
    FSPC->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(FSPC->grab().save(QString(VESK_BINARY_DIR) + "/window-special-mode-rows.png"));
    EXPECT_TRUE(OverlappingChildren(FSPC).isEmpty()) << OverlappingChildren(FSPC).join("\n").toStdString();
    const auto caption = [](const QString& text) {
        for (QLabel* l : FSPC->findChildren<QLabel*>())
            if (l->text() == text)
                return l->geometry();
        ADD_FAILURE() << "no caption " << text.toStdString();
        return QRect();
    };
    const struct {
        const char* caption;
        QLineEdit* field;
    } rows[] = {{"Номер поезда", FSPC->Edit1},
                {"Номер локомотива", FSPC->Edit2},
                {"Информация", FSPC->Edit3},
                {"Результат 1:", FSPC->EResult1},
                {"Результат 2:", FSPC->EResult2}};
    int above = 0;
    for (const auto& row : rows) {
        const QRect c = caption(row.caption);
        const QRect f = row.field->geometry();
        EXPECT_NEAR(c.center().y(), f.center().y(), 3) << row.caption << ": caption off its field's row";
        EXPECT_LT(c.right(), f.left()) << row.caption;
        EXPECT_GE(std::min(c.top(), f.top()), above) << row.caption << ": over the row above";
        above = std::max(c.bottom(), f.bottom()) + 1;
    }
    for (QPushButton* b : {FSPC->BitBtn1, FSPC->BitBtn3, FSPC->BitBtn2})
        EXPECT_GE(b->y(), above) << b->text().toStdString();
    FSPC->hide();
}

/// Runs a real dialog of the program and looks at it while it waits for the operator.
class DialogsLookTest : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        SetDialogHook(nullptr);
        InitApplication();
    }
    /// Starts the look at the next modal dialog; run the dialog right after this.
    void LookAtNextDialog(const QString& name) {
        auto* timer = new QTimer(qApp);
        auto* waited = new QElapsedTimer;
        waited->start();
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, [=, this] {
            QWidget* d = QApplication::activeModalWidget();
            if (!d && waited->elapsed() < 20'000)
                return;
            timer->stop();
            timer->deleteLater();
            delete waited;
            if (!d) {
                ADD_FAILURE() << name.toStdString() << ": no dialog came";
                return;
            }
            captions_ << d->windowTitle();
            wrong_ << TextsThatDoNotFit(d);
            EXPECT_TRUE(d->grab().save(QString(VESK_BINARY_DIR) + "/dialog-" + name + ".png"));
            if (auto* box = qobject_cast<QMessageBox*>(d); box && box->escapeButton())
                box->escapeButton()->click();
            else
                qobject_cast<QDialog*>(d)->reject();
        });
        timer->start();
    }
    QStringList captions_, wrong_;
};

TEST_F(DialogsLookTest, MessageDialogsFitAndCarryOnlyTheirOwnCaption) {
    LookAtNextDialog("error");
    ShowError("Не удалось открыть порт /dev/ttyUSB0: Отказано в доступе", MainForm);
    LookAtNextDialog("question");
    MessageDlg("Соединение установлено. Разорвать?", TMsgDlgType::Warning, mbYes | mbNo, MainForm);
    LookAtNextDialog("three-buttons");
    MessageDlg("Сохранить изменения?", TMsgDlgType::Confirmation, mbYes | mbNo | mbCancel, MainForm);
    LookAtNextDialog("input");
    QString address = "192.168.0.10";
    InputQuery("Enter IP", "", address, MainForm);
    EXPECT_EQ(captions_, QStringList({"Ошибка", "Предупреждение", "Подтверждение", "Enter IP"}));
    EXPECT_TRUE(wrong_.isEmpty()) << wrong_.join("\n").toStdString();

    // The window system adds the display name to every caption when one is set; the
    // program sets only its name, so the captions stay as they are.
    EXPECT_EQ(QApplication::applicationName(), "ВЕСК-4ТЦ");
    QApplication::setApplicationName("другое имя");
    EXPECT_EQ(QApplication::applicationDisplayName(), "другое имя") << "no display name is pinned";
    QApplication::setApplicationName("ВЕСК-4ТЦ");
    EXPECT_EQ(MainForm->windowTitle(), "ВЕСК-4ТЦ");
    EXPECT_EQ(AboutBox->windowTitle(), "Сведения о программе");
}

TEST_F(DialogsLookTest, QtsOwnTextsAreRussian) {
    ASSERT_TRUE(InstallQtTranslations()) << "Qt's Russian translations are installed with the program";
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Save);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "Отмена");
    EXPECT_EQ(buttons.button(QDialogButtonBox::Save)->text(), "Сохранить");

    QLineEdit edit("текст");
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList items;
    for (QAction* a : menu->actions())
        items << a->text().remove('&');
    EXPECT_TRUE(items.join('|').contains("Копировать")) << items.join('|').toStdString();
    EXPECT_TRUE(items.join('|').contains("Вставить")) << items.join('|').toStdString();
}

} // namespace
