// Boxes and dialogs opened over the program's windows, on a real X server: the screen shows
// them at once, and a reader that takes the screen apart window by window (xwd) reads the
// same pixels as the screen holds, wherever they open. Runs under with-xvfb.sh.
#include "app/Application.h"
#include "app/TMainForm.h"
#include "journal/TFDB23.h"
#include "journal/TFSelectDlg.h"
#include "journal/TfBlockNum.h"
#include "params/TFParam.h"
#include "platform/DialogPresenter.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"
#include "support/X11Screen.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <functional>

namespace {

/// What was read of the first box that opened: the screen at its place and xwd's reading.
struct TBoxReading {
    QString Title, Error;
    QImage Screen, Xwd;
};

/// Waits for the next modal box, reads it once the screen shows it (or 10 s have passed),
/// then closes it as Esc would.
class TBoxReader : public QObject {
public:
    TBoxReader(TBoxReading& out, QString name) : out_(out), name_(std::move(name)) {
        connect(&tick_, &QTimer::timeout, this, &TBoxReader::Tick);
        tick_.start(50);
        since_.start();
    }

private:
    void Tick() {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || !box->windowHandle() || !box->windowHandle()->isExposed()) {
            if (since_.elapsed() > 30000)
                tick_.stop();
            return;
        }
        if (!shown_.isValid())
            shown_.start();
        const QImage screen = x11::ScreenPixels(box);
        if (x11::BlackShare(screen) > 0.5 && shown_.elapsed() < 10000)
            return; // not drawn on the screen yet
        tick_.stop();
        out_.Title = box->windowTitle();
        out_.Screen = screen;
        out_.Xwd = x11::XwdPixels(box, &out_.Error);
        screen.save(QString(VESK_BINARY_DIR "/x11-box-%1.png").arg(name_)); // for a look
        QTest::keyClick(box, Qt::Key_Escape);
    }

    TBoxReading& out_;
    const QString name_;
    QTimer tick_;
    QElapsedTimer since_, shown_;
};

struct TBoxCase {
    const char* Name;
    /// Opens the window the box goes over and does what opens the box; returns once the
    /// box is closed.
    std::function<void()> Ask;
};

void OpenBrowser() {
    MainForm->N231->trigger();
    PumpUntil([] { return FDB23->windowHandle() && FDB23->windowHandle()->isExposed(); });
}

const TBoxCase boxCases[] = {
    {"DeletionQuestionOverTheCoveringBrowser",
     [] {
         OpenBrowser();
         QTest::mouseClick(FDB23->bDelSelected, Qt::LeftButton);
     }},
    {"RecordSelectionOverTheBrowser",
     [] {
         OpenBrowser();
         QTest::mouseClick(FDB23->BitBtn2, Qt::LeftButton);
     }},
    {"ReportOptionsOverTheBrowser",
     [] {
         OpenBrowser();
         QTest::mouseClick(FDB23->BitBtn1, Qt::LeftButton);
     }},
    {"RefusedLocomotiveOverTheFactoryNumbers",
     [] {
         fBlockNum->show();
         fBlockNum->activateWindow();
         PumpUntil([] { return QApplication::activeWindow() == fBlockNum; });
         QTest::mouseClick(fBlockNum->NavigatorButton(TNavButton::Insert), Qt::LeftButton);
         QTest::keyClicks(QApplication::focusWidget(), "123456789\t"); // one digit too many
     }},
    {"CloseQuestionOfTheParametersWindow",
     [] {
         MainForm->N2->trigger();
         PumpUntil([] { return FParam->windowHandle() && FParam->windowHandle()->isExposed(); });
         FParam->activateWindow();
         FParam->MaskEdit4->setFocus();
         PumpUntil([] { return QApplication::focusWidget() == FParam->MaskEdit4; });
         QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
         QTest::keyClicks(QApplication::focusWidget(), "1"); // an edit not sent: the question
         QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
     }},
};

void PrintTo(const TBoxCase& c, std::ostream* os) {
    *os << c.Name;
}

class BoxesOnScreenTest : public TAppFixture, public ::testing::WithParamInterface<TBoxCase> {};

TEST_P(BoxesOnScreenTest, TheBoxIsOnTheScreenAndReadsTheSameWindowByWindow) {
    if (!x11::OnX11())
        GTEST_SKIP() << "needs an X server (run under with-xvfb.sh)";
    Start(false);
    ShowMainForm();         // where the program shows it: the browser covers it whole
    SetDialogHook(nullptr); // the program's own boxes, shown
    InstallDialogPresenter();
    MainForm->activateWindow();
    PumpUntil([] { return MainForm->windowHandle()->isExposed(); });

    TBoxReading got;
    {
        TBoxReader reader(got, GetParam().Name);
        GetParam().Ask();
    }
    ASSERT_FALSE(got.Screen.isNull()) << "no box was shown";
    EXPECT_LT(x11::BlackShare(got.Screen), 0.2)
        << got.Title.toStdString() << ": the screen shows a black box";
    ASSERT_FALSE(got.Xwd.isNull()) << got.Error.toStdString();
    EXPECT_GT(x11::SameShare(got.Xwd, got.Screen), 0.98)
        << got.Title.toStdString() << ": xwd reads " << int(100 * x11::BlackShare(got.Xwd))
        << "% black pixels where the screen shows the box";
}

INSTANTIATE_TEST_SUITE_P(Boxes, BoxesOnScreenTest, ::testing::ValuesIn(boxCases),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
