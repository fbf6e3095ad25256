// Test runs against the simulated station on the pseudo-terminal: the bytes on the line,
// the rows in the journal, and the results the station starts by itself.
#include "ResultBurst.h"
#include "Script.h"
#include "Station.h"
#include "TestRunSupport.h"
#include "support/TestUtil.h"

#include "app/TGauge.h"
#include "app/TShape.h"
#include "link/RxPump.h"
#include "link/Transport.h"
#include "platform/DialogPresenter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <atomic>
#include <thread>

using vesksim::FromHex;
using vesksim::TStation;
using vesksim::TUnit;

namespace {

// A wait clock that stands still while the port is open and runs a second a reading once it
// is closed: a wait can only time out after the program has seen the line go.
class TLineClock : public TFakeClock {
public:
    qint64 MonotonicMs() const override {
        if (!ComPortOpen())
            mono_ += 1000;
        return mono_;
    }

private:
    mutable qint64 mono_ = 0;
};

class SimulatorRunTest : public TTestRunFixture {
protected:
    void SetUp() override {
        TTestRunFixture::SetUp();
        ASSERT_TRUE(ComPortOpen());
        // The station answers slowly in real time; the wait clock moves 0.1 s a reading.
        clock_.SetStep(100);
        station_.SetHandler(vesksim::StationAnswers);
        ASSERT_TRUE(PumpUntil([] { return MainForm->Label7->text() == "ВЕСК свободен"; }));
        PumpUntil([] { return false; }, 200); // the answers to the start-up resets
        MainForm->EnableTestControls(true);
        MessageCount = 0;
        station_.Clear();
        ResetToneFlags();
    }
    bool Sent(const char* hex) const { return station_.WaitFor(FromHex(hex), std::chrono::seconds(5)); }
};

TEST_F(SimulatorRunTest, TestTwoOnChannelThreeForLocomotiveSendsTheCommandAndWritesTheRow) {
    AnswerDialog(1, "1234567", 2);
    MainForm->ITest2->trigger();
    EXPECT_TRUE(Sent("93 EE 81 81 82 83 84 85 86 87 EF E2 80 80 80 80 80 80 80 82 E3"));
    const QList<TRow> rows = Rows23();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(RowFields(rows[0], {2, 3, 6, 7, 8, 9, 10, 11}),
              "Тест 2|От ВЕСК|1234567|Норма|0000000|02|35|19");
    EXPECT_EQ(rows[0][16].toString(), "11111") << "ДМВ tone flags of the session";
    EXPECT_EQ(rows[0][18].toString(), "11111") << "МВ tone flags";
    EXPECT_EQ(ToneFlagsD, "00000");
    EXPECT_EQ(MainForm->Label20->text(), "Тест2:НОРМА");
    EXPECT_EQ(MainForm->Label21->text(), "Результат теста: 0000000");
    EXPECT_EQ(MainForm->Label23->text(), "№ локомотива: 1234567");
    EXPECT_EQ(MainForm->BitBtn4->text(), "OK");
    EXPECT_EQ(MainForm->Gauge3->Progress(), 115);
    EXPECT_EQ(LastGridText(), QString(52, '*'));
    EXPECT_TRUE(MainForm->StatusText(1).startsWith("Начат 01.03.2026"));
    EXPECT_EQ(RunningTest, 0);
    EXPECT_TRUE(MainForm->ITest->menuAction()->isEnabled());

    // The factory numbers of the session, saved although the free event came first.
    TTable t(journal_, BlockNumFileName, TBlockNumTable::Fields(), TBlockNumTable::KeyFields());
    t.Open();
    ASSERT_EQ(t.AllRows().size(), 1);
    EXPECT_EQ(RowFields(t.AllRows()[0], {bnLoko, bnBlock1, bnKind}),
              QString("1234567|1234567800000000|%1").arg(KindFromDevice));
    EXPECT_TRUE(BlockNumDigits.IsEmpty());
}

// The factory numbers of a test the station started come while the operator types a row of
// the factory-numbers window: Esc or the close box on the question asks it again, the row
// kept; "Да" (Enter) saves the row, then the station's set.
TEST_F(SimulatorRunTest, EscOnTheFactoryNumbersQuestionAsksAgainAndKeepsTheOperatorsRow) {
    fBlockNum->show();
    fBlockNum->activateWindow();
    ASSERT_TRUE(PumpUntil([] { return QApplication::activeWindow() == fBlockNum; }));
    QTest::mouseClick(fBlockNum->NavigatorButton(TNavButton::Insert), Qt::LeftButton);
    QTest::keyClicks(QApplication::focusWidget(), "1111111\t");
    ASSERT_EQ(fBlockNum->tblBlockNum->State(), TDataState::Insert);
    SetDialogHook(nullptr);
    InstallDialogPresenter();
    QStringList asked;
    QTimer operatorAt;
    QObject::connect(&operatorAt, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        asked << box->text();
        if (asked.size() == 1)
            QTest::keyClick(box, Qt::Key_Escape);
        else if (asked.size() == 2)
            box->close(); // its close box
        else
            QTest::keyClick(box, Qt::Key_Return);
    });
    operatorAt.start(10);
    station_.Send(FromHex("EE 81 87 86 85 84 83 82 81 EF")); // locomotive 7654321
    station_.Send(vesksim::TestSession(2));
    ASSERT_TRUE(PumpUntil([this] { return Rows23().size() == 1; }));
    PumpUntil([] { return RunningTest == 0 && !TestWaitRunning(); });
    EXPECT_EQ(asked, QStringList(3, "Получены данные со ВЕСК. Необходимо завершить редактирование строки. "
                                    "Сохранить изменения?"));
    QStringList rows; // by hand, then from the station
    for (const TRow& row : Rows(BlockNumFileName, TBlockNumTable::Fields()))
        rows << RowFields(row, {bnLoko, bnBlock1, bnKind});
    EXPECT_EQ(rows.join(';').toStdString(), "1111111||1;7654321|1234567800000000|2");
}

TEST_F(SimulatorRunTest, SilentStationGivesTheNoAnswerRowAndAnAbEndsTheWait) {
    station_.SetHandler(nullptr);
    clock_.SetStep(1000);
    AnswerDialog(1, "1234567", 0);
    const qint64 start = clock_.MonotonicMs();
    MainForm->ITest2->trigger();
    EXPECT_GE(clock_.MonotonicMs() - start, 115'000);
    ASSERT_EQ(Rows23().size(), 1);
    EXPECT_EQ(RowFields(Rows23()[0], {7, 8}), "Брак|?");
    EXPECT_EQ(MainForm->Label20->text(), "Нет ответа");
    EXPECT_EQ(MainForm->RichEdit2->toPlainText(), "Нет ответа");
    EXPECT_NE(LastGridText(), QString(52, '*'));

    station_.SetHandler([](const TUnit& u, TStation& s) {
        if (u.kind == TUnit::Frame && u.code == 0xE2)
            s.Send({0xA9, 0xAB});
    });
    clock_.SetStep(10);
    AnswerDialog(1, "1234567", 0);
    const qint64 second = clock_.MonotonicMs();
    MainForm->ITest3->trigger();
    EXPECT_LT(clock_.MonotonicMs() - second, 115'000) << "0xAB ended the wait";
    ASSERT_EQ(Rows23().size(), 2);
    EXPECT_EQ(Rows23()[1][8].toString(), "?");
}

TEST_F(SimulatorRunTest, CancelWritesNothingAndALateAnswerComesFromTheStation) {
    station_.SetHandler(nullptr);
    AnswerDialog(1, "1234567", 0);
    QString button;
    WhileWaiting([&] {
        button = MainForm->BitBtn4->text();
        MainForm->BitBtn4->click();
    });
    MainForm->ITest2->trigger();
    EXPECT_EQ(button, "Отмена") << "the panel's button cancels during the wait";
    EXPECT_TRUE(Rows23().isEmpty());
    EXPECT_EQ(MessageCount, 0);
    EXPECT_TRUE(MainForm->Panel5->isHidden());
    EXPECT_EQ(RunningTest, 0);
    EXPECT_TRUE(MainForm->ITest->menuAction()->isEnabled());

    clock_.SetStep(1000);
    AnswerDialog(1, "1234567", 0);
    MainForm->ITest2->trigger(); // times out
    ASSERT_EQ(Rows23().size(), 1);
    clock_.SetStep(100);
    station_.Send(vesksim::ResultFrame("0100000", 2));
    ASSERT_TRUE(PumpUntil([this] { return Rows23().size() == 2; }));
    EXPECT_EQ(RowFields(Rows23()[1], {3, 7, 8}), "От РВ|Брак|0100000");
    EXPECT_FALSE(MainForm->Panel5->isHidden());
    EXPECT_EQ(MainForm->Label20->text(), "Тест2:БРАК");
    EXPECT_EQ(RunningTest, 0);
}

TEST_F(SimulatorRunTest, StationStartedSelfTestAndTestsTwoAndThreeWriteTheirRows) {
    station_.Send(FromHex("EE 81 87 86 85 84 83 82 81 EF"));
    station_.Send(vesksim::TestSession(1));
    ASSERT_TRUE(PumpUntil([this] { return Rows1().size() == 1; }));
    EXPECT_EQ(RowFields(Rows1()[0], {2, 5}), "Тест 1|0000000");
    EXPECT_EQ(MainForm->LResult->text(), "Тест ВЕСК:НОРМА");
    PumpUntil([] { return RunningTest == 0 && !TestWaitRunning(); });

    station_.Send(vesksim::TestSession(2));
    ASSERT_TRUE(PumpUntil([this] { return Rows23().size() == 1; }));
    PumpUntil([] { return RunningTest == 0 && !TestWaitRunning(); });
    station_.Send(vesksim::TestSession(3));
    ASSERT_TRUE(PumpUntil([this] { return Rows23().size() == 2; }));
    for (const TRow& r : Rows23())
        EXPECT_EQ(RowFields(r, {3, 6}), "От РВ|7654321");
    EXPECT_EQ(Rows23()[1][2].toString(), "Тест 3");
    EXPECT_EQ(MainForm->Label23->text(), "Номер локомотива: 7654321");
    EXPECT_EQ(MainForm->Label19->text(), "Тест 3");
}

TEST_F(SimulatorRunTest, TenTestsInARowEachFindTheirOwnAnswer) {
    for (int i = 0; i < 10; ++i) {
        // A stale entry left from before the start is not taken, but named.
        ResultQueue[0] = ResultFrame("FFFFFFF", 2);
        ResultCount = 1;
        AnswerDialog(1, "1234567", 0);
        (i % 2 ? MainForm->ITest3 : MainForm->ITest2)->trigger();
    }
    const QList<TRow> rows = Rows23();
    ASSERT_EQ(rows.size(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(RowFields(rows[i], {2, 8}), i % 2 ? "Тест 3|0000000" : "Тест 2|0000000") << i;
    ASSERT_TRUE(PumpUntil([this] { return !dialogs_.isEmpty(); }));
    EXPECT_EQ(dialogs_[0].Text.count("Тест 2 код FFFFFFF"), 10) << dialogs_[0].Text.toStdString();
}

TEST_F(SimulatorRunTest, EveryTestRunsFromTheMenus) {
    MainForm->N14->trigger(); // self-test
    EXPECT_TRUE(Sent("E2 80 80 80 80 80 80 80 81 E3"));
    ASSERT_EQ(Rows1().size(), 1);
    EXPECT_EQ(Rows1()[0][4].toString(), "Норма");
    EXPECT_TRUE(MainForm->RichEdit1->toPlainText().contains("КСВ=1,5")) << "VSWR measured in the session";

    clock_.SetStep(1000);
    AnswerDialog(1, "1234567", 0);
    MainForm->ITest1->trigger(); // test 1: 70 s, then the reset byte
    EXPECT_TRUE(Sent("91 EE 81 81 82 83 84 85 86 87 EF E2 80 80 80 80 80 80 80 86 E3"));
    EXPECT_TRUE(Sent("E3 D0"));
    clock_.SetStep(100);

    AnswerDialog(0, "1234", 1);
    MainForm->ITest2->trigger();
    AnswerDialog(1, "1234567", 4);
    MainForm->ITest3->trigger();
    ASSERT_EQ(Rows23().size(), 2);
    EXPECT_TRUE(Sent("92 EC 80 80 81 82 83 84 80 80 ED E2 80 80 80 80 80 80 80 82 E3"));
    EXPECT_TRUE(Sent("95 EE 81 81 82 83 84 85 86 87 EF E2 80 80 80 80 80 80 80 83 E3"));

    MainForm->N9->trigger();
    EXPECT_TRUE(Sent("E2 80 80 80 80 80 80 80 85 E3"));
    EXPECT_EQ(Rows1().size(), 1);
    EXPECT_EQ(Rows23().size(), 2);
}

} // namespace

namespace {

// A station that reports results faster than the journal takes them: every result is
// journalled in the end, in the order it came. The window thread is held up while the
// first half arrives, as a slow disk would hold it, so the outcome does not depend on
// how fast this machine writes.
TEST_F(SimulatorRunTest, ResultsFasterThanTheJournalAreAllWritten) {
    constexpr int count = 100;
    std::atomic<int> sent = 0;
    std::thread sender([this, &sent] {
        for (int i = 0; i < count; ++i) {
            vesksim::TBytes s = vesksim::Frame(0xF8, {1, 0, 1, 2, uint8_t(i / 10), uint8_t(i % 10), 0, 0});
            const int check = (10 + 12 + i) % 100;
            s[7] = uint8_t(0x80 + check / 10);
            s[8] = uint8_t(0x80 + check % 10);
            const std::string code = QString("%1").arg(i, 7, 10, QChar('0')).toStdString();
            const vesksim::TBytes r = vesksim::ResultFrame(code, 2 + i % 2);
            s.insert(s.end(), r.begin(), r.end());
            station_.Send(s);
            ++sent;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    while (sent < count / 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const bool all = PumpUntil([this] { return Rows23().size() >= count; }, 60000);
    sender.join();
    PumpUntil([] { return RunningTest == 0 && !TestWaitRunning(); }, 20000);
    const QList<TRow> rows = Rows23();
    EXPECT_TRUE(all) << rows.size();
    ASSERT_EQ(rows.size(), count);
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(RowFields(rows[i], {2, 3, 8}),
                  QString("Тест %1|От РВ|%2").arg(2 + i % 2).arg(i, 7, 10, QChar('0')))
            << i;
}

// The line goes while a test waits: the wait ends at once with no verdict and no row, the
// operator reads why, and the test commands stay off until a line is open again.
TEST_F(SimulatorRunTest, LostLineEndsTheTestWithoutAVerdict) {
    station_.SetHandler(nullptr);
    TLineClock clock;
    SetClock(&clock);
    struct TRestore {
        TClock* clock;
        ~TRestore() { SetClock(clock); }
    } restore{&clock_};
    AnswerDialog(1, "1234567", 0);
    WhileWaiting([this] { station_.HangUp(); });
    MainForm->ITest2->trigger();
    EXPECT_FALSE(ComPortOpen());
    EXPECT_TRUE(Rows23().isEmpty()) << "no БРАК for a radio that was never tested";
    EXPECT_LT(clock.MonotonicMs(), 115'000) << "the wait did not run out its time";
    EXPECT_EQ(MainForm->StatusText(1), "Тест прерван: связь со станцией потеряна");
    EXPECT_EQ(MainForm->BitBtn4->text(), "OK");
    EXPECT_EQ(RunningTest, 0);
    EXPECT_FALSE(MainForm->ITest->menuAction()->isEnabled());
    EXPECT_FALSE(MainForm->ToolPositionEnabled(0));
    EXPECT_TRUE(MainForm->IPort->menuAction()->isEnabled()) << "the port can be opened again";

    // The line back through "Перезапуск": the tests follow it, and a self-test cut the same
    // way writes no row either.
    ASSERT_TRUE(station_.StartSerial(root_.path().toStdString())) << station_.Error();
    MainForm->N8Click();
    ASSERT_TRUE(ComPortOpen());
    EXPECT_TRUE(MainForm->ITest->menuAction()->isEnabled());
    EXPECT_TRUE(MainForm->ToolPositionEnabled(0));
    WhileWaiting([this] { station_.HangUp(); });
    MainForm->N14->trigger();
    EXPECT_TRUE(Rows1().isEmpty());
    EXPECT_EQ(MainForm->StatusText(1), "Тест прерван: связь со станцией потеряна");
    EXPECT_FALSE(MainForm->ITest->menuAction()->isEnabled());

    // Test 1 takes no result, but its 70 s end at the loss all the same.
    ASSERT_TRUE(station_.StartSerial(root_.path().toStdString())) << station_.Error();
    MainForm->N8Click();
    MainForm->SetStatusText(1, QString());
    AnswerDialog(1, "1234567", 0);
    WhileWaiting([this] { station_.HangUp(); });
    const qint64 start = clock.MonotonicMs();
    MainForm->ToolButton1->trigger();
    EXPECT_LT(clock.MonotonicMs() - start, 70'000);
    EXPECT_EQ(MainForm->StatusText(1), "Тест прерван: связь со станцией потеряна");
    EXPECT_EQ(RunningTest, 0);
}

// No line is open after the operator's port commands: a restart on an adapter that has gone,
// or "Прервать соединение". The caption and the lamps say so, as after a lost line, and nothing
// the operator can reach starts a test that would wait for an answer that cannot come and then
// journal the radio as faulty.
TEST_F(SimulatorRunTest, NoTestStartsWhileNoLineIsOpen) {
    clock_.SetStep(1000); // a test that did start runs out its time at once
    // The commands that need the station's answer, as far as the operator can reach them.
    const auto reachable = [] {
        QStringList names;
        for (QAction* a :
             {MainForm->N14, MainForm->ITest1, MainForm->ITest2, MainForm->ITest3, MainForm->N9,
              MainForm->IReset, MainForm->ToolButton1, MainForm->ToolButton2, MainForm->ToolButton3})
            if (Reachable(a))
                names << a->objectName();
        return names.join(' ').toStdString();
    };
    const std::string all = "N14 ITest1 ITest2 ITest3 N9 IReset ToolButton1 ToolButton2 ToolButton3";
    // A port that cannot be opened leaves the link menus off, as at start-up; the operator's
    // close leaves the other menus as they were.
    const struct {
        QAction* item;
        bool deviceGone;
        const char* caption;
        bool tools;
    } ways[] = {{MainForm->N8, true, "Порт ", false}, {MainForm->mClosePort, false, "Порт", true}};
    for (const auto& w : ways) {
        SCOPED_TRACE(w.item->text().toStdString());
        station_.Send(FromHex("CA A1 C0"));
        ASSERT_TRUE(PumpUntil([] { return MainForm->Shape2->BrushColor() == QColor(Qt::red); }));
        if (w.deviceGone)
            QFile::remove(dev_ + "/ttyUSB0");
        dialogs_.clear();
        Choose(w.item);
        EXPECT_FALSE(ComPortOpen());
        EXPECT_EQ(dialogs_.size(), w.deviceGone ? 1 : 0);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "no wait cursor once the command is done";
        EXPECT_EQ(MainForm->IPort->title().toStdString(), w.caption);
        EXPECT_EQ(MainForm->Label7->text(), "ВЕСК свободен");
        for (TShape* lamp : {MainForm->shPusk, MainForm->Shape2, MainForm->Shape3})
            EXPECT_EQ(lamp->BrushColor().name().toStdString(), "#ffffff") << lamp->objectName().toStdString();
        EXPECT_EQ(reachable(), "");
        EXPECT_TRUE(Reachable(MainForm->N8)) << "the port can be opened again";
        EXPECT_EQ(MainForm->N5->menuAction()->isEnabled(), w.tools);
        if (Reachable(MainForm->ITest2)) {
            AnswerDialog(1, "1234567", 2);
            MainForm->ITest2->trigger();
        }
        EXPECT_TRUE(Rows23().isEmpty()) << "no БРАК for a radio that was never tested";

        // The line back through "Перезапуск": the station answers the reset, the tests follow.
        ASSERT_TRUE(station_.StartSerial(root_.path().toStdString())) << station_.Error();
        Choose(MainForm->N8);
        ASSERT_TRUE(ComPortOpen());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "no wait cursor once the port is open";
        EXPECT_EQ(MainForm->IPort->title(), "Порт ttyUSB0");
        EXPECT_TRUE(PumpUntil([&] { return reachable() == all; })) << reachable();
    }
}

} // namespace

namespace {

// 1,200 results written to the line at once: the backlog takes 1,000 of them and the rest
// are named in a dialog, which comes between two results, not once the backlog is written
// (on a loaded machine the waits follow one another without a gap a timer finds). The
// dialogs are real message boxes, each closed with its button once read: while the first is
// open the journal goes on writing, and what the station reports meanwhile is named in one
// more dialog, never in one over another. The program has read each burst whole before it
// decodes any of it (a loaded machine hands a line's bytes on slowly), so that the first
// one overflows the backlog whatever the load.
TEST_F(SimulatorRunTest, JournalGoesOnWritingWhileTheOperatorReadsADialog) {
    constexpr int count = 1200, more = 20;
    const auto rows = [this] {
        TTable t(journal_, Test23FileName, Test23Fields());
        if (!t.Exists())
            return qsizetype(0);
        t.Open();
        return qsizetype(t.Select(QString("SELECT count(*) FROM Test23")).value(0).value(0).toLongLong());
    };
    const auto sendWhole = [this](const vesksim::TBytes& bytes) {
        const size_t before = PendingByteCount();
        station_.Send(bytes);
        QElapsedTimer t;
        t.start();
        while (PendingByteCount() < before + bytes.size() && t.elapsed() < 60000)
            QThread::msleep(2);
        return PendingByteCount() >= before + bytes.size();
    };
    int open = 0, deepest = 0, named = 0, dropped = -1, waitingAtOpen = 0;
    bool openedInAWait = false, grewWhileOpen = false, sentWhileOpen = false;
    QMessageBox* shown = nullptr;
    SetDialogHook(nullptr);
    SetDialogPresenter(
        [&](const TDialogRecord& d, QWidget*) {
            dialogs_.append(d);
            deepest = std::max(deepest, ++open);
            openedInAWait = openedInAWait || TestWaitRunning();
            const QRegularExpressionMatch m =
                QRegularExpression("Не записаны в журнал \\((\\d+)\\)").match(d.Text);
            named += m.hasMatch() ? m.captured(1).toInt() : 0;
            QMessageBox box(QMessageBox::Critical, d.Caption, d.Text, QMessageBox::Ok, MainForm);
            shown = &box;
            box.exec();
            shown = nullptr;
            --open;
            return int(mrOk);
        },
        nullptr);
    struct TRestore {
        ~TRestore() { SetDialogPresenter(nullptr, nullptr); }
    } restore;
    // The operator reads the first dialog while the station reports more and the journal
    // goes on, and closes it once every byte is decoded; a later one is closed at once.
    qsizetype rowsAtOpen = -1;
    bool read = false;
    QElapsedTimer reading;
    QTimer eye;
    QObject::connect(&eye, &QTimer::timeout, [&] {
        if (!shown)
            return;
        if (rowsAtOpen < 0) {
            waitingAtOpen = int(ResultBacklog.size());
            rowsAtOpen = rows();
            sentWhileOpen = sendWhole(ResultBurst(more));
            reading.start();
            return;
        }
        if (!read) {
            grewWhileOpen = rows() >= rowsAtOpen + more;
            if (!(grewWhileOpen && PendingByteCount() == 0) && reading.elapsed() < 60000)
                return;
            read = true;
        }
        shown->button(QMessageBox::Ok)->click();
    });
    eye.start(10);
    ASSERT_TRUE(sendWhole(ResultBurst(count)));
    ASSERT_TRUE(PumpUntil([&] { return read && !shown; }, 60000))
        << "dialogs " << dialogs_.size() << ", rows " << rows() << ", waiting " << ResultBacklog.size();
    // What still waits is left out, so that the test need not journal it all; nothing
    // more comes, and no wait runs out here.
    dropped = int(ResultBacklog.size());
    for (int i = 0; i < ResultCount; ++i)
        dropped += ResultQueue[i].State == 2 ? 1 : 0;
    ClearResultQueue();
    EXPECT_TRUE(PumpUntil(
        [&] {
            return named + dropped + rows() >= count + more && !shown && RunningTest == 0 &&
                   !TestWaitRunning();
        },
        60000));
    EXPECT_FALSE(openedInAWait) << "a dialog inside a wait holds the results behind it";
    EXPECT_TRUE(sentWhileOpen);
    EXPECT_TRUE(grewWhileOpen);
    EXPECT_GT(waitingAtOpen, count / 2) << "told at once, not once the whole backlog is journalled";
    EXPECT_EQ(deepest, 1) << "no dialog over another";
    EXPECT_EQ(named + dropped + rows(), count + more) << "every result journalled or named";
}

} // namespace
