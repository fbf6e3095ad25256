// The result browsers over journals the program itself wrote: columns, comments that
// leave the live state alone, criteria, deletion and the report flow.
#include "app/TMainForm.h"
#include "journal/JournalModel.h"
#include "journal/ResultReports.h"
#include "journal/TFDB.h"
#include "journal/TFDB23.h"
#include "journal/TFSelectDlg.h"
#include "journal/TForm2.h"
#include "journal/TfBlockNumRep.h"
#include "journal/report/ReportPreview.h"
#include "platform/Clock.h"
#include "platform/DateFormat.h"
#include "runs/JournalWriters.h"
#include "runs/TestRun.h"
#include "runs/TestState.h"
#include "state/Options.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class ResultBrowserTest : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        ResetShortDateFormat();
        clock_.SetNow(QDateTime(QDate(2026, 6, 5), QTime(9, 7, 3)));
        SetClock(&clock_);
        Start();
        ResetTestState();
    }
    void TearDown() override {
        SetReportPreviewHook(nullptr);
        ResetShortDateFormat();
        TAppFixture::TearDown();
    }
    // A self-test row as the program writes it, the VSWR packed from the live values.
    void SelfTestRow(const QString& code, double mv, double gmv) {
        VswrMv = mv;
        VswrGmv = gmv;
        ShowSelfTestResult(code, nullptr);
        ASSERT_TRUE(AppendTests1Row(JournalFolder(), "Тест 1", code, "Норма").Ok);
        clock_.Advance(60'000);
    }
    void RadioRow(const QString& loko, const QString& event = "Тест 2", const QString& code = "0000000") {
        LocoNumber = loko;
        ASSERT_TRUE(AppendTest23Row(JournalFolder(), event, code, "Норма", "От ВЕСК").Ok);
        clock_.Advance(60'000);
    }
    QString Cell(TResultBrowser* b, int row, int column) {
        return b->DBGrid1->model()->data(b->DBGrid1->model()->index(row, column)).toString();
    }
    QString Comments(TResultBrowser* b) { return b->RichEdit1->toPlainText(); }
    // Runs the record selection with the given criteria, as the operator would.
    void Select(TResultBrowser* b, bool byLoco, const QString& loco, bool byDate, QDate from, QDate to) {
        QTimer::singleShot(0, [=] {
            FSelectDlg->CheckBox1->setChecked(byLoco);
            FSelectDlg->Edit1->setText(loco);
            FSelectDlg->CheckBox2->setChecked(byDate);
            FSelectDlg->DTP1->setDate(from);
            FSelectDlg->DTP2->setDate(to);
            FSelectDlg->BitBtn1->click();
        });
        b->BitBtn2Click();
    }
    void SelectRows(TResultBrowser* b, std::initializer_list<int> rows) {
        b->DBGrid1->clearSelection();
        for (int r : rows)
            b->DBGrid1->selectionModel()->select(b->DBGrid1->model()->index(r, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    TFakeClock clock_;
};

TEST_F(ResultBrowserTest, ColumnsTitlesAndFormatsOfTheTwins) {
    SelfTestRow("0000000", 1.2, 1.3);
    RadioRow("1234567");
    FDB->show();
    FDB23->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(FDB->windowTitle(), " Результаты тестирования ВЕСК");
    EXPECT_EQ(FDB23->windowTitle(), "Результаты тестирования РВ");
    EXPECT_EQ(FDB->PageControl1->currentWidget(), FDB->TabSheet2)
        << "the self-test browser opens on the columns";
    EXPECT_EQ(FDB23->PageControl1->currentWidget(), FDB23->TabSheet1);
    EXPECT_EQ(FDB23->PageControl1->tabText(0), "Комментарии :");
    EXPECT_EQ(FDB->DBNavigator1->Button(TNavButton::Refresh)->toolTip(), "Обновить данные");
    EXPECT_EQ(FDB->DBNavigator1->Button(TNavButton::Delete)->toolTip(), "Удалить запись");
    EXPECT_EQ(FDB->DBNavigator1->Button(TNavButton::Insert), nullptr) << "a browser inserts nothing";
    for (const QToolButton* b : FDB->DBNavigator1->findChildren<QToolButton*>())
        EXPECT_FALSE(b->icon().isNull())
            << b->objectName().toStdString() << ": a button with no caption shows its icon";
    for (TResultBrowser* b : {static_cast<TResultBrowser*>(FDB), static_cast<TResultBrowser*>(FDB23)}) {
        EXPECT_EQ(b->BitBtn1->toolTip(), "Отчет");
        EXPECT_EQ(b->BitBtn2->toolTip(), "Выбор по признаку");
        EXPECT_EQ(b->bDelSelected->text(), "Удалить выделенное");
    }

    QAbstractItemModel* m = FDB->DBGrid1->model();
    ASSERT_EQ(m->columnCount(), 20);
    EXPECT_EQ(m->headerData(13, Qt::Horizontal).toString(), "Верхний порог девивции МВ");
    EXPECT_EQ(m->headerData(16, Qt::Horizontal).toString(), "Нижий порог девивции ГМВ");
    for (int c = 0; c < 20; ++c)
        EXPECT_EQ(FDB->DBGrid1->isColumnHidden(c), c >= 17) << c;
    EXPECT_EQ(Cell(FDB, 0, 0), "05.06.26");
    EXPECT_EQ(Cell(FDB, 0, 1), "09:07");
    EXPECT_TRUE(m->data(m->index(0, 4), Qt::FontRole).value<QFont>().bold()) << "the verdict in bold";

    QAbstractItemModel* m23 = FDB23->DBGrid1->model();
    ASSERT_EQ(m23->columnCount(), 17);
    EXPECT_EQ(m23->headerData(13, Qt::Horizontal).toString(), "Чув. ГМВ-итог ");
    for (int c = 0; c < 17; ++c)
        EXPECT_EQ(FDB23->DBGrid1->isColumnHidden(c), c >= 11 && c <= 14) << c;
    EXPECT_EQ(Cell(FDB23, 0, 0), "05.06.26");
    EXPECT_EQ(Cell(FDB23, 0, 6), "1234567");
    EXPECT_EQ(Cell(FDB23, 0, 15), "00000");

    // Unticking "Дата" hides the column at once; ticking shows it again.
    FDB->clbViewFields->item(0)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(FDB->DBGrid1->isColumnHidden(0));
    FDB->clbViewFields->item(0)->setCheckState(Qt::Checked);
    EXPECT_FALSE(FDB->DBGrid1->isColumnHidden(0));
    EXPECT_EQ(FDB->clbViewFields->count(), 20);

    // The selection stays visible when the grid loses the focus in the self-test browser only.
    const QPalette p = FDB->DBGrid1->palette(), p23 = FDB23->DBGrid1->palette();
    EXPECT_EQ(p.color(QPalette::Inactive, QPalette::Highlight),
              p.color(QPalette::Active, QPalette::Highlight));
    EXPECT_NE(p23.color(QPalette::Inactive, QPalette::Highlight),
              p23.color(QPalette::Active, QPalette::Highlight));

    FDB->resize(1000, 560);
    FDB23->resize(1000, 560);
    FDB->PageControl1->setCurrentIndex(1);
    EXPECT_TRUE(FDB->grab().save(QString(VESK_BINARY_DIR) + "/browser-selftest.png"));
    EXPECT_TRUE(FDB23->grab().save(QString(VESK_BINARY_DIR) + "/browser-tests23.png"));
}

TEST_F(ResultBrowserTest, CommentsShowTheSavedRowAndLeaveTheLiveStateAlone) {
    SelfTestRow("0000000", 3.5, 1.5);
    ASSERT_TRUE(AppendTests1Row(JournalFolder(), "Запись", "", "").Ok);
    SelfTestRow("0000000", 10.0, 2.0); // МВ not measured: its mark
    // Rows that this program does not write: a short reserv, and none at all.
    TTable t(JournalFolder(), Tests1FileName, Tests1Fields());
    t.Open();
    t.Append({QDate(2026, 6, 5),
              QTime(10, 0),
              "Тест 1",
              "",
              "Брак",
              "0000000",
              "",
              "",
              "",
              "",
              "",
              "",
              "",
              "",
              "",
              "",
              "",
              "",
              "",
              "",
              "",
              QString(QChar(char16_t(42)))});
    t.Append({QDate(2026, 6, 5), QTime(10, 1), "Тест 1", "", "Брак", "0400000"});
    t.Close();

    VswrMv = 2.7;
    VswrGmv = 4.4;
    VswrPacked = "ab";
    ResultShown = false;
    FDB->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Comments(FDB).contains(" Норма АФУ  МВ КСВ=3,5")) << Comments(FDB).toStdString();
    EXPECT_TRUE(Comments(FDB).contains(" Норма АФУ ГМВ КСВ=1,5"));
    EXPECT_EQ(VswrMv, 2.7);
    EXPECT_EQ(VswrGmv, 4.4);
    EXPECT_EQ(VswrPacked, "ab");
    EXPECT_FALSE(VswrFromDb);
    VswrTextMv = VswrTextGmv = "-";
    FDB->GetKSV();
    EXPECT_EQ(VswrTextMv, "3,5");
    EXPECT_EQ(VswrTextGmv, "1,5");

    FDB->NavigatorClick(TNavButton::Next); // "Запись": nothing to explain
    EXPECT_TRUE(Comments(FDB).isEmpty());
    QAbstractItemModel* m = FDB->DBGrid1->model();
    EXPECT_EQ(m->headerData(1, Qt::Vertical).toString(), "▶") << "the row indicator";
    EXPECT_TRUE(m->headerData(0, Qt::Vertical).toString().isEmpty());
    FDB->NavigatorClick(TNavButton::Next);
    EXPECT_TRUE(Comments(FDB).contains("АФУ  МВ КСВ=???"));
    EXPECT_TRUE(Comments(FDB).contains("АФУ ГМВ КСВ=2,0"));
    FDB->NavigatorClick(TNavButton::Next);
    EXPECT_TRUE(Comments(FDB).contains("АФУ  МВ КСВ=4,2"));
    EXPECT_TRUE(Comments(FDB).contains("АФУ ГМВ КСВ=???"));
    FDB->NavigatorClick(TNavButton::Last); // no reserv at all
    EXPECT_TRUE(Comments(FDB).contains(" Брак АФУ  МВ КСВ=???"));
    EXPECT_TRUE(Comments(FDB).contains(" Норма АФУ ГМВ КСВ=???"));
    EXPECT_EQ(VswrPacked, "ab");

    // A report being made freezes the comments.
    FDB->RichEdit1->setEnabled(false);
    FDB->NavigatorClick(TNavButton::First);
    EXPECT_TRUE(Comments(FDB).contains(" Брак АФУ  МВ КСВ=???"));
    EXPECT_EQ(FDB->CurrentRow(), 0) << "the first row";
}

TEST_F(ResultBrowserTest, TestsCommentsFollowTheEventAndNeverMarkAResultShown) {
    RadioRow("1234567", "Тест 3", "0100005");
    RadioRow("1234567", "Тест 2", "0000000");
    TTable t(JournalFolder(), Test23FileName, Test23Fields());
    t.Open();
    t.Append({QDate(2026, 6, 5), QTime(11, 0), "Тест", "", "", "", "", "", "0000000"});
    t.Append({QDate(2026, 6, 5), QTime(11, 1), "Запись1", "", "", "", "", "", "0000000"});
    t.Append({QDate(2026, 6, 5), QTime(11, 2), "", "", "", "", "", "", "0000000"});
    t.Close();
    ResultShown = false;
    FDB23->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(Comments(FDB23), "Норма \nБрак МВ\nНорма ГМВ\nКод теста 1 р/с: 5");
    FDB23->NavigatorClick(TNavButton::Next);
    EXPECT_TRUE(Comments(FDB23).contains("Норма девиации ГМВ"));
    FDB23->NavigatorClick(TNavButton::Next);
    EXPECT_EQ(Comments(FDB23), "Неверный код результата");
    FDB23->NavigatorClick(TNavButton::Next); // not a test: both bands shown blocked
    EXPECT_EQ(Comments(FDB23), "Норма \nЗаблокирован МВ\nЗаблокирован ГМВ");
    FDB23->NavigatorClick(TNavButton::Next); // no Event at all
    EXPECT_EQ(Comments(FDB23), "Неверный код результата");
    EXPECT_FALSE(ResultShown);
}

TEST_F(ResultBrowserTest, CriteriaPickRowsAndStayAfterCloseAndShow) {
    RadioRow("0000123");
    RadioRow("1230000");
    RadioRow("12345678");
    clock_.Advance(24 * 3600'000);
    RadioRow("0000123"); // 6 June
    FDB23->show();
    QAbstractItemModel* m = FDB23->DBGrid1->model();
    ASSERT_EQ(m->rowCount(), 4);

    Select(FDB23, true, "123", false, {}, {});
    EXPECT_GT(FSelectDlg->Edit1->geometry().left(), FSelectDlg->Label1->geometry().right())
        << "the number field stands beside its caption";
    ASSERT_EQ(m->rowCount(), 2);
    EXPECT_EQ(Cell(FDB23, 0, 6), "0000123");
    EXPECT_EQ(Cell(FDB23, 1, 6), "0000123");
    EXPECT_EQ(Cell(FDB23, 1, 0), "06.06.26") << "a selection switches dates to two-digit years";
    Select(FDB23, true, "1234567", false, {}, {});
    EXPECT_EQ(m->rowCount(), 0) << "a criterion is never cut";
    Select(FDB23, true, "12345678", false, {}, {});
    EXPECT_EQ(m->rowCount(), 1);

    Select(FDB23, false, "", true, QDate(2026, 6, 5), QDate(2026, 6, 5));
    EXPECT_EQ(m->rowCount(), 3) << "every row of the day";
    Select(FDB23, false, "", true, QDate(2026, 6, 6), QDate(2026, 6, 6));
    EXPECT_EQ(m->rowCount(), 1);
    Select(FDB23, true, "123", true, QDate(2026, 6, 6), QDate(2026, 6, 5));
    EXPECT_EQ(m->rowCount(), 0) << "a from-day after the to-day passes nothing";
    Select(FDB23, true, "123", true, QDate(2026, 6, 4), QDate(2026, 6, 5));
    EXPECT_EQ(m->rowCount(), 1);
    EXPECT_EQ(FDB23->Table1.LocoFilter, "0000123");

    FDB23->close();
    FDB23->show();
    EXPECT_EQ(m->rowCount(), 1) << "the criteria stay";
    QTimer::singleShot(0, [] { FSelectDlg->BitBtn2->click(); });
    FDB23->BitBtn2Click();
    EXPECT_EQ(m->rowCount(), 1) << "Cancel changes nothing";
    Select(FDB23, false, "", false, {}, {});
    EXPECT_EQ(m->rowCount(), 4);
    EXPECT_EQ(FDB23->Table1.FilterFlags, 0u);

    // The self-test browser's selection offers the dates only.
    QTimer::singleShot(0, [] {
        EXPECT_FALSE(FSelectDlg->CheckBox1->isEnabled());
        EXPECT_FALSE(FSelectDlg->CheckBox1->isChecked());
        EXPECT_FALSE(FSelectDlg->Panel1->isEnabled());
        EXPECT_TRUE(FSelectDlg->CheckBox2->isEnabled());
        FSelectDlg->BitBtn2->click();
    });
    FSelectDlg->CheckBox1->setChecked(true);
    FDB->BitBtn2Click();
    EXPECT_EQ(FSelectDlg->Tag, 1);
    const QColor grey = FSelectDlg->CheckBox1->palette().color(QPalette::WindowText);
    QTimer::singleShot(0, [] { FSelectDlg->BitBtn2->click(); });
    FDB23->BitBtn2Click();
    EXPECT_TRUE(FSelectDlg->CheckBox1->isEnabled()) << "the tests 2/3 browser offers the locomotive again";
    EXPECT_NE(FSelectDlg->CheckBox1->palette().color(QPalette::WindowText), grey);
    EXPECT_TRUE(FSelectDlg->DTP1->calendarPopup());
}

TEST_F(ResultBrowserTest, DeletingSelectedRowsAsksFirst) {
    for (int i = 0; i < 5; ++i)
        RadioRow(QString("000000%1").arg(i));
    FDB23->show();
    QAbstractItemModel* m = FDB23->DBGrid1->model();
    RadioRow("0000005"); // written while the browser is open: shown after a refresh
    EXPECT_EQ(m->rowCount(), 5);
    FDB23->SetCurrentRow(3);
    // The grid is told before the rows go, so that it lets go of what it holds of them.
    int aboutToReset = 0, reset = 0;
    QObject::connect(m, &QAbstractItemModel::modelAboutToBeReset, [&] { ++aboutToReset; });
    QObject::connect(m, &QAbstractItemModel::modelReset, [&] { ++reset; });
    FDB23->NavigatorClick(TNavButton::Refresh);
    EXPECT_GE(reset, 1);
    EXPECT_EQ(aboutToReset, reset);
    ASSERT_EQ(m->rowCount(), 6);
    EXPECT_EQ(FDB23->CurrentRow(), 3) << "the refresh keeps the current row";
    SelectRows(FDB23, {1, 2, 4});
    dialogAnswer_ = mrNo;
    FDB23->bDelSelected->click();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "Вы дествительно хотите удалить все выделенные строки?");
    EXPECT_EQ(dialogs_[0].Buttons, mbYes | mbNo);
    EXPECT_EQ(m->rowCount(), 6);
    dialogAnswer_ = mrYes;
    FDB23->bDelSelected->click();
    ASSERT_EQ(m->rowCount(), 3);
    EXPECT_EQ(Cell(FDB23, 0, 6), "0000000");
    EXPECT_EQ(Cell(FDB23, 1, 6), "0000003");
    EXPECT_EQ(Cell(FDB23, 2, 6), "0000005");

    // The navigator deletes the current row after its own question.
    FDB23->SetCurrentRow(0);
    dialogs_.clear();
    dialogAnswer_ = mrOk;
    FDB23->NavigatorClick(TNavButton::Delete);
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "Delete record?");
    EXPECT_EQ(dialogs_[0].Buttons, mbOK | mbCancel);
    EXPECT_EQ(m->rowCount(), 2);
    EXPECT_EQ(Cell(FDB23, FDB23->CurrentRow(), 6), "0000003");

    // An empty table asks the same and deletes nothing.
    dialogAnswer_ = mrYes;
    FDB23->DBGrid1->selectAll();
    FDB23->bDelSelected->click();
    EXPECT_EQ(m->rowCount(), 0);
    dialogs_.clear();
    FDB23->bDelSelected->click();
    EXPECT_EQ(dialogs_.size(), 1);
    EXPECT_TRUE(Comments(FDB23).isEmpty());
}

TEST_F(ResultBrowserTest, ReportTakesTheSelectedRowsOrAllThatMeetTheCriteria) {
    for (int i = 0; i < 5; ++i)
        SelfTestRow(QString("000000%1").arg(i), 1.0, 1.0);
    // A sixth row of the same moment as the fifth: one row key for both.
    clock_.Advance(-60'000);
    ASSERT_TRUE(AppendTests1Row(JournalFolder(), "Тест 1", "0000005", "Брак").Ok);
    FDB->show();
    int reportRows = -1;
    int gridRows = 6;
    QStringList codes;
    SetReportPreviewHook([&](TReport& r) {
        reportRows = r.Data.RowCount();
        EXPECT_TRUE(r.Data.Rows.isEmpty()) << "the rows are read a page at a time, not held";
        codes.clear();
        for (const TRow& row : r.Data.RowsAt(0, reportRows))
            codes.append(row.value(5).toString());
        EXPECT_FALSE(FDB->RichEdit1->isEnabled()) << "comments frozen during the preview";
        EXPECT_EQ(FDB->DBGrid1->model()->rowCount(), gridRows) << "the grid stays as it was";
    });
    QPoint formCentre;
    const auto report = [&](int include, int format, bool accept = true) {
        QTimer::singleShot(0, [=, &formCentre] {
            formCentre = Form2->geometry().center();
            if (Form2->RadioGroup1->isEnabled())
                Form2->RadioGroup1->SetItemIndex(include);
            Form2->RadioGroup2->SetItemIndex(format);
            (accept ? Form2->bOK : Form2->bCancel)->click();
        });
        FDB->BitBtn1Click();
    };

    FDB->DBGrid1->clearSelection();
    report(1, 0);
    EXPECT_FALSE(Form2->RadioGroup1->isEnabled()) << "no selected rows: every row";
    EXPECT_EQ(Form2->RadioGroup1->ItemIndex(), 0);
    EXPECT_EQ(reportRows, 6);
    EXPECT_EQ(FReport, nullptr) << "a compact form goes with its preview";
    EXPECT_LE((formCentre - FDB->geometry().center()).manhattanLength(), 10)
        << "the report options stand in the middle of the browser";

    SelectRows(FDB, {0, 2, 4});
    report(1, 1);
    EXPECT_EQ(codes, (QStringList{"0000000", "0000002", "0000004", "0000005"}));
    EXPECT_NE(FReportR1, nullptr) << "an expanded form stays with the browser";
    EXPECT_EQ(FDB->Table1.SelectedKeys.size(), 3);
    EXPECT_EQ(FDB->Table1.SelectedKeys.value(0), "05.06.2026090703000")
        << "the system's short date, no selection yet";
    EXPECT_EQ(FDB->Table1.FilterFlags, 0u);
    EXPECT_TRUE(FDB->RichEdit1->isEnabled());

    report(0, 0);
    EXPECT_EQ(reportRows, 6) << "selected rows and every row";
    EXPECT_TRUE(Form2->RadioGroup1->isEnabled());

    reportRows = -1;
    report(1, 0, false);
    EXPECT_EQ(reportRows, -1) << "Cancel makes no report";
    EXPECT_EQ(FDB->DBGrid1->model()->rowCount(), 6);

    // Criteria and selection together: only the selected rows that meet the criteria.
    clock_.Advance(24 * 3600'000);
    SelfTestRow("0000006", 1.0, 1.0);
    FDB->NavigatorClick(TNavButton::Refresh);
    SelectRows(FDB, {0, 6});
    Select(FDB, false, "", true, QDate(2026, 6, 6), QDate(2026, 6, 6));
    ASSERT_EQ(FDB->DBGrid1->model()->rowCount(), 1);
    gridRows = 1;
    FDB->DBGrid1->selectAll();
    report(1, 0);
    EXPECT_EQ(codes, QStringList{"0000006"});

    delete FDB; // the expanded form kept goes with its browser
    FDB = nullptr;
    EXPECT_EQ(FReportR1, nullptr);
}

TEST_F(ResultBrowserTest, TestsBrowserPrintsBothFormats) {
    RadioRow("0000123");
    RadioRow("0000124", "Тест 3", "0000005");
    FDB23->show();
    QStringList printed;
    SetReportPreviewHook([&](TReport& r) {
        printed = r.PageTexts(0);
        EXPECT_EQ(r.Data.RowCount(), 2);
    });
    for (int format : {0, 1}) {
        QTimer::singleShot(0, [format] {
            Form2->RadioGroup2->SetItemIndex(format);
            Form2->bOK->click();
        });
        FDB23->BitBtn1Click();
        EXPECT_TRUE(printed.contains(format == 0 ? "Результаты тестирования локомотивных радиостанций "
                                                 : "Результаты тестирования локомотвных радиостанций "))
            << format;
        EXPECT_TRUE(printed.contains("0000124"));
    }
    EXPECT_EQ(FReport23, nullptr);
    ASSERT_NE(FReportR2, nullptr);
    EXPECT_TRUE(printed.contains("Норма \nНорма МВ\nНорма ГМВ\nКод теста 1 р/с: 5")) << "the test 3 comments";
    EXPECT_TRUE(Form2->bOK->isDefault());
}

// A fresh folder: the browser shows an empty journal, its dialogs stand over it, and the first
// result written shows at the next refresh.
TEST_F(ResultBrowserTest, ABrowserBeforeTheFirstResultIsAnEmptyJournalWithItsDialogsOverIt) {
    int reportRows = -1;
    SetReportPreviewHook([&](TReport& r) { reportRows = r.Data.RowCount(); });
    for (TResultBrowser* b : {static_cast<TResultBrowser*>(FDB), static_cast<TResultBrowser*>(FDB23)}) {
        const bool self = b == FDB;
        const QString file = QDir(JournalFolder()).filePath(self ? Tests1FileName : Test23FileName);
        b->setGeometry(QRect(MainForm->geometry().topLeft() + QPoint(260, 180), QSize(700, 480)));
        b->show();
        b->activateWindow();
        QCoreApplication::processEvents();
        EXPECT_EQ(b->DBGrid1->model()->rowCount(), 0);
        for (QDialog* dialog : {static_cast<QDialog*>(FSelectDlg), static_cast<QDialog*>(Form2)}) {
            const std::string name = b->objectName().toStdString() + " " + dialog->objectName().toStdString();
            QWidget* over = nullptr;
            QPoint centre;
            QTimer::singleShot(0, [&] {
                over = dialog->parentWidget();
                centre = dialog->geometry().center();
                // The screen as the operator sees it: the main window, the browser, the dialog.
                const QList<QWidget*> stack{MainForm, b, dialog};
                QRect screen;
                for (QWidget* w : stack)
                    screen |= w->geometry();
                QImage shot(screen.size(), QImage::Format_RGB32);
                shot.fill(Qt::darkGray);
                QPainter painter(&shot);
                for (QWidget* w : stack)
                    painter.drawPixmap(w->geometry().topLeft() - screen.topLeft(), w->grab());
                shot.save(QString(VESK_BINARY_DIR) + "/dialog-over-" + b->objectName() + "-" +
                          dialog->objectName() + ".png");
                dialog->accept();
            });
            (dialog == Form2 ? b->BitBtn1 : b->BitBtn2)->click();
            QCoreApplication::processEvents();
            EXPECT_EQ(over, b) << name;
            EXPECT_LE((centre - b->geometry().center()).manhattanLength(), 10) << name;
            EXPECT_EQ(QApplication::activeWindow(), b) << name << ": the browser stays in front";
            EXPECT_EQ(dialog->parentWidget(), MainForm) << name << ": shared, it lives as long as the run";
        }
        EXPECT_EQ(reportRows, 0) << "the report of an empty journal: its title and headers";
        EXPECT_TRUE(dialogs_.isEmpty()) << dialogs_.value(0).Text.toStdString();
        EXPECT_FALSE(QFile::exists(file)) << "looking makes no table";

        // The first result, through the program's own writer, shows at the next refresh.
        if (self)
            MainForm->WriteToTable1("Тест 1", "0000000", "Норма");
        else
            MainForm->WriteToTable2("Тест 2", "0000000", "Норма", "От ВЕСК");
        b->DBNavigator1->Button(TNavButton::Refresh)->click();
        ASSERT_EQ(b->DBGrid1->model()->rowCount(), 1) << b->objectName().toStdString();
        EXPECT_EQ(Cell(b, 0, 2), self ? "Тест 1" : "Тест 2");
        EXPECT_FALSE(Comments(b).isEmpty());
        EXPECT_TRUE(dialogs_.isEmpty()) << dialogs_.value(0).Text.toStdString();
        b->close();
    }
}

TEST_F(ResultBrowserTest, TheFirstSelectionSwitchesEveryDateTextToTwoDigitYears) {
    EXPECT_EQ(DateTimeText(clock_.Now()), "05.06.2026 09:07:03");
    auto before = std::make_unique<TfBlockNumRep>();
    EXPECT_TRUE(before->qrlInfo->Text.endsWith("05.06.2026 09:07:03"));
    QTimer::singleShot(0, [] { FSelectDlg->BitBtn2->click(); });
    FDB23->BitBtn2Click(); // even a cancelled selection
    EXPECT_EQ(DateTimeText(clock_.Now()), "05.06.26 09:07:03") << "the status bar's start time";
    auto after = std::make_unique<TfBlockNumRep>();
    EXPECT_EQ(after->qrlInfo->Text, "Сведения о заводских номерах. Распечатано 05.06.26 09:07:03");
    EXPECT_EQ(RowKey(QDate(2026, 6, 5), QTime(1, 11, 1)), "05.06.2601110100"
                                                          "0");
    EXPECT_NE(RowKey(QDate(2026, 6, 5), QTime(1, 11, 1)), RowKey(QDate(2026, 6, 5), QTime(11, 1, 1)));
    EXPECT_EQ(PrintedAtText(clock_.Now()), "Распечатано 05.06.26 в 09:07");
}

TEST_F(ResultBrowserTest, SelectionAndReportDialogsAsTheOperatorSeesThem) {
    EXPECT_EQ(FSelectDlg->windowTitle(), "Выбор записей");
    EXPECT_FALSE(FSelectDlg->CheckBox1->isChecked());
    EXPECT_FALSE(FSelectDlg->Panel1->isEnabled());
    EXPECT_FALSE(FSelectDlg->Panel2->isEnabled());
    EXPECT_EQ(FSelectDlg->Edit1->text(), "1234567") << "the locomotive at start-up";
    EXPECT_EQ(FSelectDlg->DTP1->date(), QDate(2026, 6, 5));
    EXPECT_EQ(FSelectDlg->DateTime1().time(), QTime(0, 0));
    EXPECT_EQ(FSelectDlg->DateTime2().time(), QTime(23, 59));
    FSelectDlg->CheckBox2->setChecked(true);
    EXPECT_TRUE(FSelectDlg->Panel2->isEnabled());
    FSelectDlg->Tag = 0;
    FSelectDlg->show();
    EXPECT_TRUE(FSelectDlg->grab().save(QString(VESK_BINARY_DIR) + "/select-dialog.png"));
    FSelectDlg->hide();
    Form2->show();
    EXPECT_TRUE(Form2->grab().save(QString(VESK_BINARY_DIR) + "/report-options.png"));
    Form2->hide();
}

} // namespace
