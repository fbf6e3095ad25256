// The special mode window and the antenna matching unit dialog against the simulated
// station: the packets, the reset rules, the results and the keying by button and F2.
#include "ParamsFixture.h"
#include "support/WindowCheck.h"

#include "app/TMainForm.h"
#include "params/TFSPC.h"
#include "params/TfAnsu.h"
#include "platform/Errors.h"
#include "voice/TFCall.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>

namespace {

class SpecialModeTest : public TParamsFixture {
protected:
    void SetUp() override {
        TParamsFixture::SetUp();
        w_ = FSPC;
        w_->show(); // without a modal loop; "Выход" and the close box close it as they would
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        w_->hide();
        TParamsFixture::TearDown();
    }
    TFSPC* w_ = nullptr;
};

TEST_F(SpecialModeTest, StartSendsTheThreeNumbersPaddedInOnePacket) {
    EXPECT_EQ(w_->Edit1->text(), "1234");
    EXPECT_EQ(w_->Edit2->text(), "1234567");
    EXPECT_EQ(w_->Edit3->text(), "00000000");
    w_->Edit1->clear();
    Type(w_->Edit1, "7");
    w_->Edit3->setText("123456789");
    EXPECT_EQ(w_->Edit3->text(), "12345678") << "8 digits at most";
    w_->Edit3->setText("12b");
    EXPECT_EQ(w_->Edit3->text(), "120") << "a letter becomes 0";
    w_->BitBtn1->click();
    EXPECT_EQ(Got(30), "EC 80 80 80 80 80 87 80 80 ED EE 81 81 82 83 84 85 86 87 EF "
                       "E0 80 80 80 80 80 81 82 80 E1");
    EXPECT_EQ(TrainNumber, "0007");
    EXPECT_EQ(SpecialInfo, "00000120");
    EXPECT_FALSE(w_->BitBtn1->isEnabled()) << "the run is on";

    // The results of the run: F2 shows a blank for its second digit, each update in the
    // other colour.
    FromStation("F2 81 82 83 84 85 86 87 88 F3", [this] { return !w_->EResult2->text().isEmpty(); });
    EXPECT_EQ(w_->EResult2->text(), "1 345678");
    EXPECT_EQ(w_->ResultColour(1), QColor(Qt::black));
    FromStation("F2 81 82 83 84 85 86 87 88 F3", [this] { return w_->ResultColour(1) == QColor(Qt::blue); });
    FromStation("F0 8A 8B 80 80 80 80 80 81 F1", [this] { return !w_->EResult1->text().isEmpty(); });
    EXPECT_EQ(w_->EResult1->text(), "AB000001");
    EXPECT_EQ(w_->ResultColour(0), QColor(Qt::black));
    EXPECT_TRUE(w_->EResult1->isReadOnly());
    EXPECT_TRUE(w_->EResult2->isReadOnly());
    EXPECT_THROW(w_->ShowResult(2, "1"), ERangeError);
    EXPECT_THROW(w_->ShowResult(-1, "1"), ERangeError);

    w_->BitBtn3->click();
    EXPECT_EQ(Got(1), "D0");
    EXPECT_TRUE(w_->BitBtn1->isEnabled());
    EXPECT_TRUE(w_->EResult1->text().isEmpty());
    EXPECT_TRUE(w_->EResult2->text().isEmpty());
    w_->BitBtn3->click();
    EXPECT_EQ(Got(1), "D0") << "a reset while idle still goes out";
}

TEST_F(SpecialModeTest, ClosingStopsARunOnceAndAnIdleCloseSendsNothing) {
    w_->BitBtn1->click();
    Got(30);
    w_->EResult1->setText("X");
    w_->BitBtn2->click();
    EXPECT_FALSE(w_->isVisible());
    EXPECT_EQ(Got(1), "D0");
    EXPECT_TRUE(w_->BitBtn1->isEnabled());
    EXPECT_EQ(w_->EResult1->text(), "X") << "closing keeps the results";

    w_->show();
    EXPECT_TRUE(w_->EResult1->text().isEmpty()) << "showing empties the results";
    w_->close();
    EXPECT_TRUE(NothingSent());

    // The menu opens the window only for the mechanic with the access code.
    MainForm->N31->setEnabled(true);
    MechanicNumber = "6093";
    When([this] { return w_->isVisible(); }, [this] { w_->BitBtn2->click(); });
    MainForm->N31->trigger();
    EXPECT_FALSE(w_->isVisible());
    EXPECT_TRUE(dialogs_.isEmpty());
    EXPECT_TRUE(NothingSent());
    MechanicNumber = "0093";
    MainForm->N31->trigger();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "У Вас нет разрешения на выполнение этого режима");
}

TEST_F(SpecialModeTest, AnAnsweringStationReportsBothResults) {
    station_.SetHandler(vesksim::StationAnswers);
    w_->Edit3->setText("87654321");
    w_->BitBtn1->click();
    ASSERT_TRUE(PumpUntil([this] { return !w_->EResult2->text().isEmpty(); }));
    EXPECT_EQ(w_->EResult1->text(), "87654321");
    EXPECT_EQ(w_->EResult2->text(), "1 000001");
}

TEST_F(SpecialModeTest, EveryTextFits) {
    w_->Edit2->setText("8888888");
    w_->EResult1->setText("WWWWWWWW");
    w_->EResult2->setText("W WWWWWW");
    EXPECT_EQ(TextsThatDoNotFit(w_).join("\n").toStdString(), "");
    EXPECT_TRUE(w_->grab().save(QString(VESK_BINARY_DIR) + "/special-mode-window.png"));
}

// Enter typed into an edit presses no button of the window: the station gets only what a
// click sends afterwards, and "params.txt" is neither saved nor loaded.
class EnterKeyTest : public TParamsFixture {
protected:
    void TearDown() override {
        FSPC->hide();
        FCall->hide();
        TParamsFixture::TearDown();
    }
};

TEST_F(EnterKeyTest, EnterInAnEditOfTheSpecialModeParametersOrCallWindowPressesNoButton) {
    const QString file =
        "02111111\r\n15 25 35 45 \r\n101 102 103 104 105 106 107 108 \r\n200\r\n0\r\n100\r\n0\r\n";
    QFile f(work_ + "/params.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(file.toLatin1());
    f.close();
    const struct {
        QDialog* window;
        std::vector<const char*> edits;
        QAbstractButton* then; // clicked once the keys are in
        size_t count;
        const char* sent; // all that reaches the station
    } cases[] = {
        {FSPC, {"Edit1", "Edit2", "Edit3"}, FSPC->BitBtn3, 1, "D0"},
        {FParam,
         {"MaskEdit1", "cbRS", "MaskEdit11", "MaskEdit5", "MaskEdit10", "MaskEdit4", "MvEdit0", "MvEdit1",
          "MvEdit2", "MvEdit3", "MvEdit4", "MvEdit5", "sePSH_mv", "sePSH_gmv"},
         FParam->SpeedButton4,
         10,
         "E4 80 82 80 80 80 80 80 80 E5"},
        // The call window: Enter places no call; "Вызов" ТЧМ on ГМВ1 places one.
        {FCall, {"cbDiap", "tbPSH", "sePSH", "cbPSH_off"}, FCall->bCall, 2, "91 D1"},
    };
    CurrentChannel = 1;
    FCall->bCall->setProperty("tag", 0);
    for (const auto& c : cases) {
        c.window->show();
        c.window->activateWindow();
        ASSERT_TRUE(PumpUntil([&c] { return c.window->isActiveWindow(); }))
            << c.window->objectName().toStdString();
        for (const char* name : c.edits) {
            auto* edit = c.window->findChild<QWidget*>(name);
            ASSERT_NE(edit, nullptr) << name;
            edit->setFocus();
            QWidget* focused = QApplication::focusWidget();
            ASSERT_TRUE(focused == edit || edit->isAncestorOf(focused)) << name;
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(focused, &enter);
            QKeyEvent keypad(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier);
            QApplication::sendEvent(focused, &keypad);
            EXPECT_TRUE(c.window->isVisible()) << name;
        }
        c.then->click();
        EXPECT_EQ(Got(c.count), c.sent) << c.window->objectName().toStdString();
        c.window->hide();
    }
    EXPECT_TRUE(dialogs_.isEmpty());
    EXPECT_EQ(ReadFile("params.txt"), file) << "not saved";
    EXPECT_EQ(ConfigWord, "01111111") << "not loaded";
    EXPECT_EQ(TrainNumber, "1234");
}

class AntennaDialogTest : public TParamsFixture {
protected:
    void SetUp() override {
        TParamsFixture::SetUp();
        w_ = fAnsu;
        w_->Timer1->stop(); // the ticks are driven by the tests
    }
    void TearDown() override {
        w_->hide();
        TParamsFixture::TearDown();
    }
    void Open() {
        w_->show();
        QCoreApplication::processEvents();
    }
    TfAnsu* w_ = nullptr;
};

TEST_F(AntennaDialogTest, TheBandBecomesTheChannelAndF2KeysItOnce) {
    CurrentChannel = 3;
    Open();
    EXPECT_EQ(CurrentChannel, 0) << "the shown band at once: ГМВ0";
    EXPECT_EQ(MainForm->eRange->text(), "ГМВ0");
    w_->cbDiap->setCurrentIndex(4);
    EXPECT_EQ(CurrentChannel, 4);
    EXPECT_EQ(MainForm->eRange->text(), "МВ2");

    Key(w_->cbDiap, QEvent::KeyPress, Qt::Key_F2);
    EXPECT_TRUE(w_->sbTg->isChecked());
    for (int i = 0; i < 3; ++i) { // a held key repeats press and release
        Key(w_->sbTg, QEvent::KeyRelease, Qt::Key_F2, true);
        Key(w_->sbTg, QEvent::KeyPress, Qt::Key_F2, true);
    }
    Key(w_->cbDiap, QEvent::KeyPress, Qt::Key_F2);
    EXPECT_EQ(Got(4), "94 D3 94 D3") << "the press goes out once";
    Key(w_, QEvent::KeyRelease, Qt::Key_F2);
    EXPECT_TRUE(PumpUntil([this] { return !w_->sbTg->isChecked(); }, 5000)) << "once no press follows";
    EXPECT_EQ(Got(4), "94 D4 94 D4");
    Key(w_, QEvent::KeyRelease, Qt::Key_F2);
    EXPECT_TRUE(NothingSent()) << "no second release";
}

TEST_F(AntennaDialogTest, F2RepeatPairsKeepTheKeyAndKeyingAndUnkeyingAlternate) {
    clock_.SetStep(5);
    Open();
    w_->cbDiap->setCurrentIndex(1);
    Key(w_->cbDiap, QEvent::KeyPress, Qt::Key_F2);
    EXPECT_EQ(Got(4), "91 D3 91 D3");
    for (int i = 0; i < 10; ++i) { // a held key, reported as release/press pairs
        Key(w_, QEvent::KeyRelease, Qt::Key_F2);
        Key(w_, QEvent::KeyPress, Qt::Key_F2);
    }
    EXPECT_TRUE(NothingSent());
    EXPECT_TRUE(w_->sbTg->isChecked());
    Key(w_, QEvent::KeyRelease, Qt::Key_F2);
    clock_.Advance(50);
    Key(w_, QEvent::KeyPress, Qt::Key_F2);
    EXPECT_EQ(Got(8), "91 D4 91 D4 91 D3 91 D3") << "a release, then a new press";

    // A press inside the wait of a release that runs inside the wait of a press.
    w_->sbTg->setChecked(false);
    w_->sbTgClick();
    Got(4);
    QTimer::singleShot(0, [this] {
        QTimer::singleShot(0, [this] {
            w_->sbTg->setChecked(true);
            w_->sbTgClick();
        });
        w_->sbTg->setChecked(false);
        w_->sbTgClick();
    });
    w_->sbTg->setChecked(true);
    w_->sbTgClick();
    // Both changes may fall into the key's 10 ms wait and cancel out; never does a
    // sequence start inside another's wait.
    const QString got = Got(4);
    EXPECT_TRUE(QRegularExpression("^91 D3 91 D3( 91 D4 91 D4 91 D3 91 D3)?$").match(got).hasMatch())
        << got.toStdString();
    EXPECT_TRUE(w_->sbTg->isChecked()) << "the line ends keyed, as the button shows";
    w_->sbTg->click();
    Got(4);
}

TEST_F(AntennaDialogTest, EveryHoldTheFirstIncludedIsOnePressAndOneRelease) {
    clock_.SetStep(5);
    w_->Timer1->start(); // running since the dialog was created, as after a fresh start
    Open();
    w_->activateWindow();
    ASSERT_TRUE(PumpUntil([this] { return QApplication::activeWindow() == w_; }, 5000));
    w_->cbDiap->setCurrentIndex(1);
    bool ticked = false;
    QObject scope;
    QObject::connect(w_->Timer1, &QTimer::timeout, &scope, [&] { ticked = true; });
    const auto f2 = [](QEvent::Type type) { Key(QApplication::focusWidget(), type, Qt::Key_F2); };
    for (int hold = 0; hold < 2; ++hold) {
        f2(QEvent::KeyPress);
        EXPECT_FALSE(w_->Timer1->isActive()) << "nothing cuts a hold short";
        PumpUntil([&] { return ticked; }, 400);
        for (int i = 0; i < 3; ++i) { // the held key repeats, as release/press pairs
            f2(QEvent::KeyRelease);
            f2(QEvent::KeyPress);
        }
        f2(QEvent::KeyRelease);
        EXPECT_TRUE(PumpUntil([this] { return !w_->sbTg->isChecked(); }, 5000));
        EXPECT_EQ(Got(8).toStdString(), "91 D3 91 D3 91 D4 91 D4") << "hold " << hold;
    }

    w_->sbTg->click();
    EXPECT_EQ(Got(4), "91 D3 91 D3");
    Key(MainForm, QEvent::KeyPress, Qt::Key_F2); // tapped where another window has the keys
    Key(MainForm, QEvent::KeyRelease, Qt::Key_F2);
    EXPECT_TRUE(PumpUntil([this] { return !w_->sbTg->isChecked(); }, 5000)) << "F2 let go anywhere lets go";
    EXPECT_EQ(Got(4), "91 D4 91 D4");
    w_->sbTg->click();
    EXPECT_EQ(Got(4), "91 D3 91 D3");
    w_->hide();
    Key(MainForm, QEvent::KeyRelease, Qt::Key_F2); // F2 elsewhere is not this dialog's
    EXPECT_TRUE(NothingSent()) << "closing sends nothing";
    EXPECT_EQ(CurrentChannel, 1) << "the band stays the current channel";
    Open();
    EXPECT_TRUE(w_->sbTg->isChecked());
    w_->sbTg->click();
    EXPECT_EQ(Got(4), "91 D4 91 D4");
}

TEST_F(AntennaDialogTest, OpensFromTheMenuAndEveryTextFits) {
    MainForm->mAnsu->setEnabled(true);
    When([this] { return w_->isVisible(); },
         [this] {
             EXPECT_EQ(TextsThatDoNotFit(w_).join("\n").toStdString(), "");
             EXPECT_TRUE(w_->grab().save(QString(VESK_BINARY_DIR) + "/antenna-dialog.png"));
             w_->close();
         });
    MainForm->mAnsu->trigger();
    EXPECT_FALSE(w_->isVisible());
    EXPECT_EQ(w_->windowTitle(), "Настройка АНСУ");
}

} // namespace
