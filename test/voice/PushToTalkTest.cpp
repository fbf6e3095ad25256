// F2 on the two windows that key the station's transmitter, the call window and "Настройка
// АНСУ", against the simulated station on the serial port: a key still held keys nothing once
// its press has been released otherwise, and a press made by F2 ends when the window loses the
// keyboard focus to another application or a screen locker. Runs under with-xvfb.sh on an X
// server of its own.
#include "CallFixture.h"
#include "support/TestUtil.h"
#include "support/X11Screen.h"

#include "params/TfAnsu.h"
#include "state/UVesk.h"
#include "voice/TFCall.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

/// One of the windows, with what a press and a release of its button put on the line
/// (channel 1).
struct TPttWindow {
    const char* Name;
    QWidget* (*Window)();
    QAbstractButton* (*Button)();
    QString Keyed;
    QString Released;
    bool Limit; // the window ends a press after 60 s
};

const TPttWindow windows[] = {
    {"CallWindow", [] { return static_cast<QWidget*>(FCall); },
     [] { return static_cast<QAbstractButton*>(FCall->sbTg); }, QString("91 D3 91 D3 ") + Cmd0,
     QString(Cmd15) + " " + Cmd15 + " 91 D4", true},
    {"AntennaDialog", [] { return static_cast<QWidget*>(fAnsu); },
     [] { return static_cast<QAbstractButton*>(fAnsu->sbTg); }, "91 D3 91 D3", "91 D4 91 D4", false},
};

void PrintTo(const TPttWindow& w, std::ostream* os) {
    *os << w.Name;
}

class PushToTalkTest : public TCallFixture, public ::testing::WithParamInterface<TPttWindow> {
protected:
    void SetUp() override {
        TCallFixture::SetUp();
        fAnsu->Timer1->stop(); // it may cut only the first press short, at a moment of its own
        fAnsu->cbDiap->setCurrentIndex(1);
        CurrentChannel = 1;
        w_ = GetParam().Window();
        w_->show();
        Activate();
    }
    /// The window takes the keyboard focus (back).
    void Activate() {
        if (x11::OnX11())
            x11::GiveFocus(w_);
        else
            w_->activateWindow();
        ASSERT_TRUE(PumpUntil([this] {
            return QApplication::activeWindow() == w_ && QApplication::focusWidget() &&
                   QApplication::focusWidget()->window() == w_;
        })) << "the window has the focus";
    }
    /// F2 as X11 delivers it: to the widget that has the focus, marked as a repeat or not.
    static void F2(QEvent::Type type, bool autoRepeat = false) {
        QWidget* to = QApplication::focusWidget();
        ASSERT_TRUE(to) << "no widget has the focus";
        QKeyEvent e(type, Qt::Key_F2, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(to, &e);
    }
    /// What reached the station once it holds as many bytes as expected (10 s at most) and a
    /// moment more, so that a byte too many shows too; the line is then taken.
    QString Line(const QString& expected) {
        const size_t count = vesksim::FromHex(expected.toStdString()).size();
        PumpUntil([&] { return station_.Received().size() >= count; });
        PumpUntil([] { return false; }, 60);
        const QString hex = QString::fromStdString(vesksim::ToHex(station_.Received()));
        station_.Clear();
        return hex;
    }
    bool Down() const { return GetParam().Button()->isChecked(); }

    QWidget* w_ = nullptr;
};

TEST_P(PushToTalkTest, AKeyStillHeldKeysNothingOnceItsPressWasReleasedOtherwise) {
    const TPttWindow& w = GetParam();
    struct TWay {
        const char* Why;
        std::function<void()> Release;
    };
    std::vector<TWay> ways{{"a click on the button", [&] { QTest::mouseClick(w.Button(), Qt::LeftButton); }}};
    if (w.Limit)
        ways.push_back({"the 60 s limit", [&] {
                            clock_.Advance(59'000);
                            FCall->Timer2->start(0); // its timer comes due early, as a coarse one may
                            PumpUntil([] { return false; }, 50);
                            EXPECT_TRUE(Down()) << "not before 60 s on the clock";
                            clock_.Advance(1'000);
                        }});
    // A held key's auto-repeat, each way X11 delivers it.
    const std::function<void()> repeats[] = {
        [] { F2(QEvent::KeyRelease), F2(QEvent::KeyPress); },            // pairs Qt could not mark
        [] { F2(QEvent::KeyPress); },                                    // presses alone
        [] { F2(QEvent::KeyRelease, true), F2(QEvent::KeyPress, true); } // marked pairs
    };
    for (const TWay& way : ways) {
        SCOPED_TRACE(way.Why);
        F2(QEvent::KeyPress);
        EXPECT_EQ(Line(w.Keyed), w.Keyed);
        way.Release();
        EXPECT_EQ(Line(w.Released), w.Released);
        for (const auto& repeat : repeats)
            for (int i = 0; i < 4; ++i) {
                repeat();
                PumpUntil([] { return false; }, 5);
            }
        EXPECT_EQ(Line(""), QString()) << "the key still held keys nothing";
        EXPECT_FALSE(Down());

        F2(QEvent::KeyRelease); // the key goes up at last, and stays up a while
        clock_.Advance(50);
        EXPECT_EQ(Line(""), QString());
        F2(QEvent::KeyPress);
        EXPECT_EQ(Line(w.Keyed), w.Keyed) << "the next press is a new press";
        F2(QEvent::KeyRelease);
        EXPECT_EQ(Line(w.Released), w.Released);
    }
}

TEST_P(PushToTalkTest, AnF2PressEndsWhenTheFocusGoesAndAClickedOneStaysDown) {
    if (!x11::OnX11())
        GTEST_SKIP() << "needs an X server (run under with-xvfb.sh)";
    const TPttWindow& w = GetParam();
    for (const bool locked : {false, true}) {
        SCOPED_TRACE(locked ? "the screen locked, the key still down when it is unlocked"
                            : "another application's window, the key let go there");
        F2(QEvent::KeyPress);
        EXPECT_EQ(Line(w.Keyed), w.Keyed);
        {
            x11::TForeignWindow other; // another application, or a screen locker
            if (locked)
                ASSERT_TRUE(other.GrabKeyboard());
            else
                other.TakeFocus();
            const size_t count = vesksim::FromHex(w.Released.toStdString()).size();
            PumpUntil([&] { return station_.Received().size() >= count; });
        }
        EXPECT_EQ(Line(w.Released), w.Released) << "released as the focus went";
        EXPECT_FALSE(Down());
        Activate();
        x11::ScreenPixels(w_).save(QString(VESK_BINARY_DIR "/x11-ptt-%1.png").arg(w.Name));
        if (locked) {
            for (int i = 0; i < 3; ++i) { // its repeats: the first pair marked, then pairs Qt could not mark
                F2(QEvent::KeyRelease, i == 0);
                F2(QEvent::KeyPress, i == 0);
            }
            EXPECT_EQ(Line(""), QString()) << "the key still held keys nothing";
            F2(QEvent::KeyRelease);
        }
        clock_.Advance(1'000);
        F2(QEvent::KeyPress);
        EXPECT_EQ(Line(w.Keyed), w.Keyed) << "the next press is a new press";
        F2(QEvent::KeyRelease);
        EXPECT_EQ(Line(w.Released), w.Released);
    }

    // A press made by a click stays down, whoever takes the focus.
    QTest::mouseClick(w.Button(), Qt::LeftButton);
    EXPECT_EQ(Line(w.Keyed), w.Keyed);
    {
        x11::TForeignWindow other;
        other.TakeFocus();
        EXPECT_TRUE(PumpUntil([this] { return QApplication::activeWindow() != w_; }));
        EXPECT_EQ(Line(""), QString());
    }
    Activate();
    EXPECT_TRUE(Down());
    QTest::mouseClick(w.Button(), Qt::LeftButton);
    EXPECT_EQ(Line(w.Released), w.Released);
}

INSTANTIATE_TEST_SUITE_P(Windows, PushToTalkTest, ::testing::ValuesIn(windows),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
