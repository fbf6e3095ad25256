// The result browsers as an operator works them: every column choice within reach, the
// current row apart from the selection, no key press that deletes by accident, and
// errors that say what is wrong with which file.
#include "journal/JournalModel.h"
#include "journal/TFDB.h"
#include "journal/TFDB23.h"
#include "journal/TFSelectDlg.h"
#include "journal/TForm2.h"
#include "platform/Clock.h"
#include "platform/DialogPresenter.h"
#include "platform/Table.h"
#include "runs/JournalWriters.h"
#include "runs/TestState.h"
#include "state/Options.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlError>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class BrowserControlsTest : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        clock_.SetNow(QDateTime(QDate(2026, 6, 5), QTime(9, 7, 3)));
        SetClock(&clock_);
        Start();
        ResetTestState();
    }
    void RadioRows(int n) {
        for (int i = 0; i < n; ++i) {
            LocoNumber = QString("000000%1").arg(i);
            ASSERT_TRUE(AppendTest23Row(JournalFolder(), "Тест 2", "0000000", "Норма", "От ВЕСК").Ok);
            clock_.Advance(60'000);
        }
    }
    static void Click(QTableView* grid, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QPoint at = grid->visualRect(grid->model()->index(row, 2)).center();
        const QPointF global = grid->viewport()->mapToGlobal(at);
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, modifiers);
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, modifiers);
        QApplication::sendEvent(grid->viewport(), &press);
        QApplication::sendEvent(grid->viewport(), &release);
    }
    static void Key(QWidget* w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
    TFakeClock clock_;
};

TEST_F(BrowserControlsTest, EveryColumnChoiceIsVisibleInTwoColumnsFilledTopToBottom) {
    for (TResultBrowser* b : {static_cast<TResultBrowser*>(FDB), static_cast<TResultBrowser*>(FDB23)}) {
        b->show();
        b->PageControl1->setCurrentWidget(b->TabSheet2);
        QCoreApplication::processEvents();
        const QListWidget* list = b->clbViewFields;
        const QRect room = list->viewport()->rect();
        QList<int> columns;
        for (int i = 0; i < list->count(); ++i) {
            const QRect r = list->visualRect(list->model()->index(i, 0));
            EXPECT_TRUE(room.contains(r)) << b->objectName().toStdString() << " item " << i << " of "
                                          << list->count() << " lies outside the list";
            if (!columns.contains(r.x()))
                columns.append(r.x());
            if (i > 0) {
                const QRect before = list->visualRect(list->model()->index(i - 1, 0));
                EXPECT_TRUE(r.x() == before.x() ? r.y() > before.y() : r.x() > before.x())
                    << "item " << i << " follows item " << i - 1 << " down, then in the next column";
            }
        }
        EXPECT_EQ(columns.size(), 2) << b->objectName().toStdString();
        EXPECT_TRUE(list->horizontalScrollBar()->isHidden() || !list->horizontalScrollBar()->isVisible());
        b->grab().save(QString(VESK_BINARY_DIR) + "/browser-fields-" + b->objectName() + ".png");
    }
}

TEST_F(BrowserControlsTest, MovingChangesTheCurrentRowOnlyAndCtrlOrShiftSelect) {
    RadioRows(5);
    FDB23->show();
    QTableView* grid = FDB23->DBGrid1;
    grid->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(FDB23->CurrentRow(), 0);
    EXPECT_TRUE(FDB23->SelectedRows().isEmpty()) << "opening selects nothing";

    FDB23->NavigatorClick(TNavButton::Next);
    EXPECT_EQ(FDB23->CurrentRow(), 1);
    EXPECT_TRUE(FDB23->SelectedRows().isEmpty()) << "the navigator moves only";
    Key(grid, Qt::Key_Down);
    EXPECT_EQ(FDB23->CurrentRow(), 2);
    EXPECT_TRUE(FDB23->SelectedRows().isEmpty()) << "the arrow keys move only";
    Click(grid, 3);
    EXPECT_EQ(FDB23->CurrentRow(), 3);
    EXPECT_TRUE(FDB23->SelectedRows().isEmpty()) << "a plain click moves only";

    Click(grid, 1, Qt::ControlModifier);
    EXPECT_EQ(FDB23->SelectedRows(), QList<int>{1});
    Click(grid, 3, Qt::ShiftModifier);
    EXPECT_EQ(FDB23->SelectedRows(), (QList<int>{1, 2, 3}));
    Click(grid, 2, Qt::ControlModifier);
    EXPECT_EQ(FDB23->SelectedRows(), (QList<int>{1, 3}));
    Key(grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(FDB23->SelectedRows(), (QList<int>{1, 2, 3})) << "Shift extends from the row last clicked";
    FDB23->NavigatorClick(TNavButton::First);
    EXPECT_EQ(FDB23->SelectedRows().size(), 3) << "the navigator keeps the selection";
    Click(grid, 4);
    EXPECT_TRUE(FDB23->SelectedRows().isEmpty()) << "a plain click drops the selection";
    Key(grid, Qt::Key_Space);
    EXPECT_EQ(FDB23->SelectedRows(), QList<int>{4}) << "the space bar selects the current row";
    Key(grid, Qt::Key_Up);
    EXPECT_TRUE(FDB23->SelectedRows().isEmpty());
    grid->setCurrentIndex(grid->model()->index(2, 1)); // as a typed search moves
    EXPECT_EQ(FDB23->CurrentRow(), 2);
    EXPECT_TRUE(FDB23->SelectedRows().isEmpty());

    // With nothing selected the report takes every row and deleting deletes nothing.
    QTimer::singleShot(0, [] { Form2->bCancel->click(); });
    Form2->RadioGroup1->SetItemIndex(1);
    FDB23->BitBtn1Click();
    EXPECT_FALSE(Form2->RadioGroup1->isEnabled());
    EXPECT_EQ(Form2->RadioGroup1->ItemIndex(), 0);
    dialogAnswer_ = mrYes;
    FDB23->bDelSelected->click();
    ASSERT_EQ(dialogs_.size(), 1) << "it still asks";
    EXPECT_EQ(dialogs_[0].DefaultButton, mbNo) << "a question that deletes offers No";
    EXPECT_EQ(FDB23->DBGrid1->model()->rowCount(), 5);

    dialogs_.clear();
    dialogAnswer_ = mrOk;
    FDB23->NavigatorClick(TNavButton::Delete);
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].DefaultButton, mbCancel);
    EXPECT_EQ(FDB23->DBGrid1->model()->rowCount(), 4) << "the navigator deletes the current row";
}

TEST_F(BrowserControlsTest, EnterRightAfterOpeningPressesNothingAndTheDeleteQuestionOffersNo) {
    RadioRows(3);
    ASSERT_TRUE(AppendTests1Row(JournalFolder(), "Тест 1", "0000000", "Норма").Ok);
    for (TResultBrowser* b : {static_cast<TResultBrowser*>(FDB), static_cast<TResultBrowser*>(FDB23)}) {
        b->show();
        QCoreApplication::processEvents();
        for (QPushButton* p : b->findChildren<QPushButton*>())
            EXPECT_FALSE(p->isDefault() || p->autoDefault()) << p->objectName().toStdString();
        Key(b->focusWidget() ? b->focusWidget() : b, Qt::Key_Return);
        Key(b, Qt::Key_Enter);
        EXPECT_TRUE(dialogs_.isEmpty()) << b->objectName().toStdString();
    }
    EXPECT_EQ(FDB23->DBGrid1->model()->rowCount(), 3);

    // The two glyph buttons answer the mouse.
    FSelectDlg->Tag = 0;
    QTimer::singleShot(0, [] { FSelectDlg->reject(); });
    FDB->BitBtn2->click();
    EXPECT_EQ(FSelectDlg->Tag, 1) << "the self-test browser's selection";
    QTimer::singleShot(0, [] { Form2->reject(); });
    FDB->BitBtn1->click();
    EXPECT_FALSE(Form2->isVisible());

    // The real dialog: Enter on the question keeps the rows.
    SetDialogHook(nullptr);
    InstallDialogPresenter();
    FDB23->DBGrid1->selectAll();
    QString pressed;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible())
                continue;
            poll.stop();
            pressed = box->defaultButton() ? box->defaultButton()->text() : QStringLiteral("(none)");
            Key(box, Qt::Key_Return);
            if (box->isVisible())
                box->done(0);
        }
    });
    poll.start(10);
    FDB23->bDelSelected->click();
    EXPECT_EQ(pressed, "&Нет");
    EXPECT_EQ(FDB23->DBGrid1->model()->rowCount(), 3);
}

TEST_F(BrowserControlsTest, JournalErrorsNameTheFileAndTheirCauseInRussian) {
    // A damaged file.
    QFile damaged(QDir(JournalFolder()).filePath(Test23FileName));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();
    FDB23->show();
    ASSERT_EQ(dialogs_.size(), 1);
    const QString text = dialogs_[0].Text;
    EXPECT_TRUE(text.startsWith("Не удается прочитать данные: Не удалось открыть таблицу Test23.DB: "))
        << text.toStdString();
    EXPECT_TRUE(text.contains("повреждён")) << text.toStdString();
    EXPECT_TRUE(text.contains(damaged.fileName())) << "the whole path";
    EXPECT_TRUE(text.contains("\nПодробности: file is not a database")) << "the engine's words last";

    // Its report is refused for what it is.
    dialogs_.clear();
    FDB23->BitBtn1Click();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_TRUE(dialogs_[0].Text.startsWith("Отчет не построен: таблица Test23.DB не открыта."))
        << dialogs_[0].Text.toStdString();
    EXPECT_TRUE(dialogs_[0].Text.contains("повреждён"));

    // A folder where the self-test journal should be.
    dialogs_.clear();
    ASSERT_TRUE(QDir(JournalFolder()).mkpath(Tests1FileName));
    FDB->show();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_TRUE(dialogs_[0].Text.contains("находится папка")) << dialogs_[0].Text.toStdString();
    EXPECT_FALSE(dialogs_[0].Text.contains("не найден"));

    // A link that leads nowhere is told, not taken for a journal not made yet.
    dialogs_.clear();
    FDB23->close();
    ASSERT_TRUE(damaged.remove() && QFile::link(damaged.fileName() + ".gone", damaged.fileName()));
    FDB23->show();
    EXPECT_EQ(dialogs_.size(), 1);

    // The causes the engine reports by code.
    const auto reason = [](int code, const char* engine, bool writing = true) {
        return SqlErrorReason(QSqlError("", engine, QSqlError::StatementError, QString::number(code)),
                              "/data/Test23.DB", writing);
    };
    EXPECT_TRUE(reason(13, "database or disk is full").startsWith("диск заполнен, файл /data/Test23.DB"));
    EXPECT_TRUE(reason(11, "database disk image is malformed").contains("повреждён"));
    EXPECT_TRUE(reason(5, "database is locked").contains("занят другой программой"));
    EXPECT_TRUE(
        SqlErrorReason(QSqlError("", "attempt to write a readonly database", QSqlError::StatementError, "8"),
                       damaged.fileName(), true)
            .contains("только для чтения"));
    EXPECT_TRUE(reason(14, "unable to open database file", false).contains("папка /data не найдена"));
    // The engine's code decides when its words are not the usual ones; extended codes too.
    EXPECT_TRUE(reason(11, "x").contains("повреждён"));
    EXPECT_TRUE(reason(26, "x").contains("повреждён"));
    EXPECT_TRUE(reason(13, "x").startsWith("диск заполнен"));
    EXPECT_TRUE(reason(10, "x").startsWith("ошибка чтения или записи диска"));
    EXPECT_TRUE(reason(10 | (1 << 8), "x").startsWith("ошибка чтения или записи диска")) << "a failed read";
    EXPECT_TRUE(reason(5 | (1 << 8), "x").contains("занят"));
    EXPECT_TRUE(reason(1, "no such column: x").startsWith("ошибка базы данных в файле /data/Test23.DB"));
    EXPECT_TRUE(reason(1, "no such column: x").endsWith("\nПодробности: no such column: x"));
}

// File rights mean nothing to root: this runs only under an ordinary user.
TEST_F(BrowserControlsTest, AReadOnlyFolderOrAFileWithoutRightsIsNamed) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root ignores file rights";
    RadioRows(1);
    const QString folder = JournalFolder();
    const QString file = QDir(folder).filePath(Test23FileName);
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const TJournalWrite refused = AppendTest23Row(folder, "Тест 2", "0000000", "Норма", "От ВЕСК");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(refused.Ok);
    EXPECT_TRUE(refused.Error.contains("только для чтения")) << refused.Error.toStdString();

    ASSERT_TRUE(QFile::setPermissions(file, QFile::WriteOwner));
    FDB23->show();
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_TRUE(dialogs_[0].Text.contains("нет прав на чтение файла " + file))
        << dialogs_[0].Text.toStdString();
}

} // namespace
