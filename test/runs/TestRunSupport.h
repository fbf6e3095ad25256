#pragma once
// A started program with a driven clock, a station on its line (silent unless a test
// gives it answers), the journal in the test's folder and helpers that answer the test
// dialog and deliver result frames while a wait runs.

#include "Station.h"

#include "app/TMainForm.h"
#include "journal/TfBlockNum.h"
#include "link/Frame.h"
#include "link/FrameDecoder.h"
#include "link/TxBuffer.h"
#include "platform/Clock.h"
#include "platform/DbAlias.h"
#include "runs/JournalWriters.h"
#include "runs/TFTestDlg.h"
#include "runs/TestRun.h"
#include "runs/TestState.h"
#include "state/Options.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class TTestRunFixture : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        clock_.SetNow(QDateTime(QDate(2026, 3, 1), QTime(10, 0, 0)));
        clock_.SetStep(1000); // every reading of the wait clock moves one second on
        SetClock(&clock_);
        // The station found on the fake serial port: a test runs only over an open line.
        ASSERT_TRUE(station_.StartSerial(root_.path().toStdString())) << station_.Error();
        Start(false);
        journal_ = work_ + "/journal/";
        QDir().mkpath(journal_);
        SetAlias("dbVesk", "PARADOX", journal_);
        delete fBlockNum; // reopened on the test's own folder
        fBlockNum = new TfBlockNum(MainForm);
        ResetTestState();
        RunningTest = 0;
        ClearResultQueue();
        ClearBlockNumDigits();
        MainForm->EnableTestControls(true);
        dialogs_.clear();
    }
    void TearDown() override {
        timers_.clear();
        TAppFixture::TearDown();
    }

    /// Runs f from the event loop once cond holds (polled every pass).
    void When(std::function<bool()> cond, std::function<void()> f) {
        auto t = std::make_unique<QTimer>();
        QTimer* raw = t.get();
        raw->setInterval(0);
        QObject::connect(raw, &QTimer::timeout, [raw, cond, f] {
            if (!cond())
                return;
            raw->stop();
            f();
        });
        raw->start();
        timers_.push_back(std::move(t));
    }
    void WhileWaiting(std::function<void()> f) {
        When([] { return TestWaitRunning(); }, std::move(f));
    }
    /// Answers the next test dialog: number kind, number, item of the full channel list.
    void AnswerDialog(int kind, const QString& number, int channelItem, bool ok = true) {
        When([] { return FTestDlg->isVisible(); },
             [=] {
                 FTestDlg->RadioGroup1->setCurrentIndex(kind);
                 FTestDlg->Edit1->setText(number);
                 FTestDlg->ComboBox1->setCurrentIndex(channelItem);
                 (ok ? FTestDlg->BitBtn1 : FTestDlg->BitBtn2)->click();
             });
    }
    /// A menu item or tool button the operator can use: it and every menu above it shown
    /// and enabled.
    static bool Reachable(QAction* a) {
        for (QAction* step = a; step;) {
            if (!step->isVisible() || !step->isEnabled())
                return false;
            QAction* up = nullptr;
            for (QObject* o : step->associatedObjects())
                if (auto* menu = qobject_cast<QMenu*>(o))
                    up = menu->menuAction();
            step = up;
        }
        return true;
    }
    /// Chooses a menu item as the operator does; a failure when it cannot be reached.
    static void Choose(QAction* a) {
        ASSERT_TRUE(Reachable(a)) << "not reachable: " << a->text().toStdString();
        a->trigger();
    }
    /// A complete frame as the byte receiver hands it to the decoder.
    static TFrame MakeFrame(uint8_t code, std::initializer_list<uint8_t> nibbles) {
        TFrame f;
        f.Code = code;
        f.State = 2;
        f.Count = uint8_t(nibbles.size());
        std::copy(nibbles.begin(), nibbles.end(), f.Nibbles);
        return f;
    }
    static TFrame ResultFrame(const QString& code, int test) {
        TFrame f = MakeFrame(0xE2, {0, 0, 0, 0, 0, 0, 0, uint8_t(test)});
        for (int i = 0; i < 7; ++i)
            f.Nibbles[i] = uint8_t(QString(code[i]).toInt(nullptr, 16));
        return f;
    }
    static void Deliver(const QString& code, int test) {
        TFrame f = ResultFrame(code, test);
        HandleFrame(f);
    }
    static void Handle(uint8_t code, std::initializer_list<uint8_t> nibbles) {
        TFrame f = MakeFrame(code, nibbles);
        HandleFrame(f);
    }
    QList<TRow> Rows23() { return Rows(Test23FileName, Test23Fields()); }
    QList<TRow> Rows1() { return Rows(Tests1FileName, Tests1Fields()); }
    QList<TRow> Rows(const char* file, const QList<TFieldDef>& fields) {
        TTable t(journal_, file, fields);
        if (!t.Exists())
            return {};
        t.Open();
        return t.AllRows();
    }
    /// The first n bytes of the last command, as spaced upper-case hex.
    static QByteArray Sent(int n) {
        return QByteArray(reinterpret_cast<const char*>(TxBuffer.Data), n).toHex(' ').toUpper();
    }
    /// The message grid's last row text.
    static QString LastGridText() { return GridCell(MainForm->StringGrid1, MessageCount, 2); }

    vesksim::TStation station_;
    TFakeClock clock_;
    QString journal_;
    std::vector<std::unique_ptr<QTimer>> timers_;
};
