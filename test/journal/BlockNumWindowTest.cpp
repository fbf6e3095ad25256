// The factory-numbers window: columns, print state, closing with a pending edit, the
// refused edit in the grid, and the printed report read back from its PDF.
#include "PdfText.h"
#include "app/TMainForm.h"
#include "journal/TfBlockNum.h"
#include "journal/TfBlockNumRep.h"
#include "journal/report/ReportPreview.h"
#include "platform/Clock.h"
#include "platform/DbAlias.h"
#include "state/Options.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

QStringList Blocks(int seed) {
    QStringList b;
    for (int i = 0; i < 8; ++i)
        b.append(QString("%1").arg(seed * 10 + i + 1, 16, 10, QChar('0')));
    return b;
}

class BlockNumWindowTest : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        clock_.SetNow(QDateTime(QDate(2026, 2, 10), QTime(9, 30, 0)));
        SetClock(&clock_);
        Start(false);
        QDir().mkpath(work_ + "/journal");
        SetAlias("dbVesk", "PARADOX", work_ + "/journal/");
        delete fBlockNum;
        fBlockNum = new TfBlockNum(MainForm);
        w_ = fBlockNum;
        t_ = w_->tblBlockNum;
        ASSERT_TRUE(t_->Active());
        dialogs_.clear();
    }
    void TearDown() override {
        SetReportPreviewHook(nullptr);
        TAppFixture::TearDown();
    }
    TFakeClock clock_;
    TfBlockNum* w_ = nullptr;
    TBlockNumTable* t_ = nullptr;
};

TEST_F(BlockNumWindowTest, ColumnListShowsAndHidesGridColumns) {
    QStringList titles;
    for (int c = 0; c < w_->DBGrid1->model()->columnCount(); ++c)
        titles << w_->DBGrid1->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles.join('|').toStdString(),
              "Локомотив|Дата перезаписи|Время перезаписи|Блок1|Блок2|Блок3|Блок4|"
              "Блок5|Блок6|Блок7|Блок8|Дата внесения|Время внесения|Источник");
    QListWidgetItem* block5 = w_->clbViewFields->findItems("Блок5", Qt::MatchExactly).value(0);
    ASSERT_NE(block5, nullptr);
    const int column = w_->clbViewFields->row(block5);
    EXPECT_EQ(w_->DBGrid1->model()->headerData(column, Qt::Horizontal).toString(), "Блок5");
    block5->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(w_->DBGrid1->isColumnHidden(column));
    block5->setCheckState(Qt::Checked);
    EXPECT_FALSE(w_->DBGrid1->isColumnHidden(column));
    EXPECT_EQ(w_->cbIncludeRecords->currentIndex(), 0);
    EXPECT_EQ(w_->findChild<QWidget*>("DBNavigator1"), w_->DBNavigator1);
}

TEST_F(BlockNumWindowTest, PrintIsOffWhileARowIsChanged) {
    w_->show();
    EXPECT_TRUE(w_->bPrint->isEnabled());
    w_->NavigatorClick(TNavButton::Insert);
    EXPECT_FALSE(w_->bPrint->isEnabled());
    EXPECT_EQ(w_->DBGrid1->model()->data(w_->DBGrid1->model()->index(0, 13)).toString(), "Вручную");
    w_->NavigatorClick(TNavButton::Cancel);
    EXPECT_TRUE(w_->bPrint->isEnabled());
    EXPECT_EQ(t_->RowCount(), 0);
}

TEST_F(BlockNumWindowTest, ClosingWithAPendingEditAsksYesNoCancel) {
    w_->show();
    t_->Append();
    t_->SetValue(bnLoko, "1234567");
    dialogAnswer_ = mrCancel;
    EXPECT_FALSE(w_->FormCloseQuery());
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "Редактирование строки не завершено. Сохранить изменения?");
    EXPECT_EQ(dialogs_[0].Buttons, mbYes | mbNo | mbCancel);
    EXPECT_EQ(t_->State(), TDataState::Insert);

    dialogAnswer_ = mrYes;
    EXPECT_TRUE(w_->FormCloseQuery());
    EXPECT_EQ(t_->RowCount(), 1);

    t_->Edit();
    t_->SetValue(bnBlock1, "9");
    dialogAnswer_ = mrNo;
    EXPECT_TRUE(w_->FormCloseQuery());
    EXPECT_TRUE(t_->Value(bnBlock1).toString().isEmpty());

    // Leaving the window for another one asks the same.
    t_->Edit();
    t_->SetValue(bnBlock1, "8");
    dialogs_.clear();
    dialogAnswer_ = mrYes;
    w_->FormDeactivate();
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(t_->State(), TDataState::Browse);
    EXPECT_EQ(t_->Value(bnBlock1).toString(), "8");

    // A box of the window's own in front, though the window system told of it before it
    // counted as modal, is no leaving.
    t_->Edit();
    dialogs_.clear();
    w_->activateWindow();
    ASSERT_TRUE(PumpUntil([this] { return QApplication::activeWindow() == w_; }));
    QDialog box(w_); // not modal yet
    box.show();
    box.activateWindow();
    ASSERT_TRUE(PumpUntil([&] { return QApplication::activeWindow() == &box; }));
    EXPECT_TRUE(dialogs_.isEmpty());
    EXPECT_EQ(t_->State(), TDataState::Edit);
}

TEST_F(BlockNumWindowTest, GridEditsAHandRowAndLeavingTheRowSavesIt) {
    w_->show();
    for (const char* loko : {"1111111", "2222222"}) {
        w_->NavigatorClick(TNavButton::Insert);
        t_->SetValue(bnLoko, loko);
        w_->NavigatorClick(TNavButton::Post);
    }
    QAbstractItemModel* m = w_->DBGrid1->model();
    ASSERT_EQ(m->rowCount(), 2);
    EXPECT_TRUE(m->setData(m->index(0, 3), "1234123412341234"));
    EXPECT_EQ(t_->State(), TDataState::Edit);
    EXPECT_FALSE(w_->bPrint->isEnabled());
    w_->NavigatorClick(TNavButton::Next); // leaving the row saves it
    EXPECT_EQ(t_->State(), TDataState::Browse);
    EXPECT_TRUE(dialogs_.isEmpty());
    EXPECT_EQ(m->data(m->index(0, 3)).toString(), "1234123412341234");
    EXPECT_EQ(m->data(m->index(0, 0)).toString(), "1111111");
}

TEST_F(BlockNumWindowTest, GridRefusesAnImpossibleDateWithAMessage) {
    w_->show();
    w_->NavigatorClick(TNavButton::Insert);
    t_->SetValue(bnLoko, "1111111");
    w_->NavigatorClick(TNavButton::Post);
    QAbstractItemModel* m = w_->DBGrid1->model();
    const int dateColumn = int(TfBlockNum::GridColumns().indexOf(bnD));
    const QString before = m->data(m->index(0, dateColumn)).toString();
    EXPECT_FALSE(m->setData(m->index(0, dateColumn), "30.02.2026"));
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_TRUE(dialogs_[0].Text.contains("«Дата внесения»")) << dialogs_[0].Text.toStdString();
    w_->NavigatorClick(TNavButton::Post);
    EXPECT_EQ(m->data(m->index(0, dateColumn)).toString(), before) << "the date is kept, not emptied";
}

TEST_F(BlockNumWindowTest, GridRefusesToEditADeviceRow) {
    ASSERT_TRUE(SaveBlockNums("1234567", KindFromDevice, clock_.Now(), Blocks(1)));
    w_->show();
    QCoreApplication::processEvents();
    const QModelIndex cell = w_->DBGrid1->model()->index(0, 3);
    w_->DBGrid1->setCurrentIndex(cell);
    w_->DBGrid1->edit(cell);
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "Пришедшую с устройства информацию менять нельзя");
    EXPECT_EQ(t_->State(), TDataState::Browse);
}

TEST_F(BlockNumWindowTest, RowsAreReadOnlyWhileTheWindowIsShown) {
    for (int set = 1; set <= 300; ++set)
        ASSERT_TRUE(SaveBlockNums(QString::number(1000000 + set), KindFromDevice, clock_.Now(), Blocks(set)));
    const int reads = t_->RowReads();
    ASSERT_TRUE(SaveBlockNums("1000007", KindFromDevice, clock_.Now(), Blocks(7))); // the same set
    ASSERT_TRUE(SaveBlockNums("1000007", KindFromDevice, clock_.Now(), Blocks(8)));
    EXPECT_EQ(t_->RowReads(), reads) << "a save behind a hidden window reads no rows";

    w_->show();
    QCoreApplication::processEvents();
    QAbstractItemModel* m = w_->DBGrid1->model();
    ASSERT_EQ(m->rowCount(), 301);
    EXPECT_EQ(w_->DBGrid1->verticalHeader()->count(), 301) << "the grid has them too";
    EXPECT_GT(t_->RowReads(), reads);
    EXPECT_EQ(m->data(m->index(300, 0)).toString(), "1000300") << "key order";
    EXPECT_EQ(m->data(m->index(1, 1)).toString(), "10.02.2026");
    EXPECT_EQ(m->data(m->index(1, 2)).toString(), "09:30:00");
    ASSERT_TRUE(SaveBlockNums("1000150", KindFromDevice, clock_.Now(), Blocks(1)));
    EXPECT_EQ(m->rowCount(), 302);
    EXPECT_EQ(w_->DBGrid1->verticalHeader()->count(), 302);
    EXPECT_EQ(w_->DBGrid1->currentIndex().row(), t_->CurrentIndex());
    EXPECT_EQ(m->data(m->index(t_->CurrentIndex(), 0)).toString(), "1000150")
        << "the grid shows the saved row";

    w_->hide();
    const int hidden = t_->RowReads();
    ASSERT_TRUE(SaveBlockNums("1000151", KindFromDevice, clock_.Now(), Blocks(1)));
    EXPECT_EQ(t_->RowReads(), hidden);
    EXPECT_EQ(m->rowCount(), 0);
}

TEST_F(BlockNumWindowTest, PrintedReportReadsBackFromItsPdf) {
    if (!HavePdfToText())
        GTEST_SKIP() << "pdftotext is not installed";
    for (int set = 1; set <= 3; ++set) {
        clock_.Advance(60'000);
        ASSERT_TRUE(SaveBlockNums("1000001", KindFromDevice, clock_.Now(), Blocks(set)));
        ASSERT_TRUE(SaveBlockNums("2000002", KindFromDevice, clock_.Now(), Blocks(set + 10)));
    }
    const QString pdf = work_ + "/blocknum.pdf";
    int rows = -1;
    SetReportPreviewHook([&](TReport& r) {
        rows = r.Data.RowCount();
        r.ExportPdf(pdf);
    });
    w_->bPrint->click();
    EXPECT_EQ(rows, 2) << "the current set of each locomotive";
    QString text = PdfText(pdf);
    EXPECT_TRUE(text.contains("Сведения о заводских номерах. Распечатано 10.02.2026")) << text.toStdString();
    EXPECT_TRUE(text.contains("Локомотив"));
    EXPECT_TRUE(text.contains("внесения"));
    EXPECT_TRUE(text.contains("Блок8"));
    EXPECT_TRUE(text.contains("1000001"));
    EXPECT_TRUE(text.contains(Blocks(3)[0])) << "the latest set";
    EXPECT_FALSE(text.contains(Blocks(1)[0]));
    EXPECT_TRUE(text.contains(Blocks(13)[7]));

    w_->cbIncludeRecords->setCurrentIndex(1);
    w_->bPrint->click();
    EXPECT_EQ(rows, 6);
    text = PdfText(pdf);
    EXPECT_TRUE(text.contains(Blocks(1)[0]));
}

} // namespace
