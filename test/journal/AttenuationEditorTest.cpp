// The attenuation corrections editor: the key filled on post, the unique locomotive, the
// close question, the device's look-up in the same table, an existing file left alone,
// and the printed list.
#include "PdfText.h"
#include "ReportCheck.h"
#include "app/TMainForm.h"
#include "journal/Attenuation.h"
#include "journal/TFDBRV.h"
#include "journal/TQRRV.h"
#include "journal/report/ReportPreview.h"
#include "platform/Clock.h"
#include "state/Options.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class AttenuationEditorTest : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        clock_.SetNow(QDateTime(QDate(2026, 6, 5), QTime(14, 30)));
        SetClock(&clock_);
        Start();
        t_ = FDBRV->Table1;
        ASSERT_NE(AttenuationTable(), nullptr);
    }
    void TearDown() override {
        SetReportPreviewHook(nullptr);
        TAppFixture::TearDown();
    }
    void Type(const QString& loco, int mv, int gmv) {
        FDBRV->NavigatorClick(TNavButton::Insert);
        QAbstractItemModel* m = FDBRV->DBGrid1->model();
        const int row = t_->CurrentIndex();
        m->setData(m->index(row, 0), loco);
        m->setData(m->index(row, 1), QString::number(mv));
        m->setData(m->index(row, 2), QString::number(gmv));
        FDBRV->NavigatorClick(TNavButton::Post);
    }
    TFakeClock clock_;
    TAttenuationEdit* t_ = nullptr;
};

TEST_F(AttenuationEditorTest, KeyIsFilledOnPostAndTheDeviceFindsIt) {
    EXPECT_TRUE(QFile::exists(JournalFolder() + "РВ.db")) << "made at start-up when missing";
    // Nothing to delete in an empty table: the navigator's delete button asks nothing.
    FDBRV->DBNavigator1->Button(TNavButton::Delete)->click();
    EXPECT_TRUE(dialogs_.isEmpty()) << dialogs_.value(0).Text.toStdString();
    FDBRV->NavigatorClick(TNavButton::Edit);
    ASSERT_EQ(dialogs_.size(), 1) << "nothing to edit in an empty table";
    EXPECT_EQ(dialogs_[0].Text, "Нет строки для редактирования");
    dialogs_.clear();
    Type("123", 12, 3);
    ASSERT_TRUE(dialogs_.isEmpty()) << dialogs_.value(0).Text.toStdString();
    EXPECT_EQ(t_->Row(0).value(0).toString(), "0000123");
    const std::optional<TAttenuation> found = FindAttenuation("0000123");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->Mv, 12);
    EXPECT_EQ(found->Gmv, 3);
    EXPECT_FALSE(FindAttenuation("123").has_value());

    Type("", -4, 300);
    EXPECT_EQ(t_->Row(0).value(0).toString(), "0000000") << "rows in locomotive order";
    Type("1234567", 1, 2);
    EXPECT_EQ(FDBRV->DBGrid1->model()->rowCount(), 3);
    EXPECT_EQ(t_->CurrentIndex(), 2) << "the posted row stays the current one";
    Type("0000500", 0, 0);
    EXPECT_EQ(t_->CurrentIndex(), 2);
    EXPECT_EQ(FDBRV->DBGrid1->currentIndex().row(), 2);

    // A new row given up: back on the last row. The last row deleted: on the new last one.
    FDBRV->NavigatorClick(TNavButton::Insert);
    EXPECT_EQ(t_->CurrentIndex(), 4);
    FDBRV->NavigatorClick(TNavButton::Cancel);
    EXPECT_EQ(t_->CurrentIndex(), 3);
    dialogAnswer_ = mrOk;
    dialogs_.clear();
    FDBRV->NavigatorClick(TNavButton::Delete);
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "Delete record?");
    ASSERT_EQ(t_->RowCount(), 3);
    EXPECT_EQ(t_->CurrentIndex(), 2);
    EXPECT_FALSE(FindAttenuation("1234567").has_value());
    Type("1234567", 1, 2);
    dialogs_.clear();
    QAbstractItemModel* grid = FDBRV->DBGrid1->model();
    EXPECT_EQ(grid->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), " Локомотив ");
    EXPECT_EQ(grid->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Коррекция ослабления ГМВ");
    EXPECT_EQ(grid->data(grid->index(1, 0), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    FDBRV->NavigatorClick(TNavButton::First);
    FDBRV->NavigatorClick(TNavButton::Next);
    FDBRV->NavigatorClick(TNavButton::Next);
    EXPECT_EQ(t_->CurrentIndex(), 2);
    FDBRV->NavigatorClick(TNavButton::Prior);
    EXPECT_EQ(t_->CurrentIndex(), 1);
    EXPECT_EQ(FDBRV->DBGrid1->currentIndex().row(), 1);

    // Values a correction cannot hold are refused at once.
    QAbstractItemModel* m = FDBRV->DBGrid1->model();
    EXPECT_FALSE(m->setData(m->index(2, 1), "32768"));
    EXPECT_FALSE(m->setData(m->index(2, 2), "-32769"));
    EXPECT_FALSE(m->setData(m->index(2, 2), "12a"));
    EXPECT_FALSE(m->setData(m->index(2, 0), "12345678"));
    EXPECT_EQ(dialogs_.size(), 4);
    EXPECT_EQ(t_->State(), TEditState::Browse);
    EXPECT_TRUE(m->setData(m->index(2, 1), "32767"));
    EXPECT_TRUE(m->setData(m->index(2, 2), "-32768"));
    FDBRV->NavigatorClick(TNavButton::Post);
    EXPECT_EQ(t_->Row(2).value(1).toInt(), 32767);
    EXPECT_EQ(t_->Row(2).value(2).toInt(), -32768);
}

TEST_F(AttenuationEditorTest, SecondRowOfALocomotiveIsRefusedAndTheFirstKept) {
    Type("1234567", 12, 3);
    Type("1234567", 99, 99);
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Type, TMsgDlgType::Error);
    EXPECT_TRUE(dialogs_[0].Text.contains("1234567")) << dialogs_[0].Text.toStdString();
    EXPECT_TRUE(dialogs_[0].Text.contains("уже есть"));
    EXPECT_EQ(t_->State(), TEditState::Insert) << "the row stays for the operator to fix";
    FDBRV->NavigatorClick(TNavButton::Cancel);
    ASSERT_EQ(t_->RowCount(), 1);
    EXPECT_EQ(FindAttenuation("1234567")->Mv, 12);

    // Changing another row's locomotive to a taken one is refused the same way.
    Type("7654321", 5, 5);
    QAbstractItemModel* m = FDBRV->DBGrid1->model();
    m->setData(m->index(1, 0), "1234567");
    FDBRV->NavigatorClick(TNavButton::Post);
    EXPECT_EQ(dialogs_.size(), 2);
    EXPECT_EQ(t_->State(), TEditState::Edit);
}

TEST_F(AttenuationEditorTest, ClosingWithAPendingChangeAsks) {
    Type("1111111", 1, 1);
    FDBRV->NavigatorClick(TNavButton::Insert);
    QAbstractItemModel* m = FDBRV->DBGrid1->model();
    m->setData(m->index(1, 0), "22");
    dialogAnswer_ = mrCancel;
    EXPECT_FALSE(FDBRV->FormCloseQuery());
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Text, "Редактирование строки не завершено. Сохранить изменения?");
    EXPECT_EQ(dialogs_[0].Buttons, mbYes | mbNo | mbCancel);
    EXPECT_EQ(t_->State(), TEditState::Insert);
    dialogAnswer_ = mrYes;
    EXPECT_TRUE(FDBRV->FormCloseQuery());
    EXPECT_TRUE(FindAttenuation("0000022").has_value());

    m->setData(m->index(0, 1), "7");
    dialogAnswer_ = mrNo;
    EXPECT_TRUE(FDBRV->FormCloseQuery());
    EXPECT_EQ(FindAttenuation("0000022")->Mv, 0);
    EXPECT_EQ(t_->Row(0).value(1).toInt(), 0);

    // Yes with a row the key refuses keeps the window open.
    m->setData(m->index(0, 0), "1111111");
    dialogAnswer_ = mrYes;
    EXPECT_FALSE(FDBRV->FormCloseQuery());
    EXPECT_TRUE(FDBRV->FormCloseQuery() == false);
    t_->Cancel();
    EXPECT_TRUE(FDBRV->FormCloseQuery());
}

TEST_F(AttenuationEditorTest, ExistingFileThatDoesNotOpenIsLeftAlone) {
    CloseAttenuationTable();
    const QString path = JournalFolder() + "РВ.db";
    ASSERT_TRUE(QFile::remove(path));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a table at all, but somebody's file");
    }
    dialogs_.clear();
    delete FDBRV;
    FDBRV = new TFDBRV(MainForm);
    ASSERT_EQ(dialogs_.size(), 1);
    EXPECT_EQ(dialogs_[0].Type, TMsgDlgType::Error);
    EXPECT_EQ(AttenuationTable(), nullptr);
    EXPECT_FALSE(FindAttenuation("1234567").has_value());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "not a table at all, but somebody's file");
    FDBRV->NavigatorClick(TNavButton::Insert);
    EXPECT_EQ(dialogs_.size(), 2) << "the closed table says so";
}

// A table that could not be made at start (a folder in the place of its file, as a full
// disk leaves it) is tried again at the device's next request: once space is back the
// corrections are found; until then the operator is told once that none are sent.
TEST_F(AttenuationEditorTest, TableThatDidNotOpenAtStartIsTriedAgainWhenNeeded) {
    Type("1234567", 12, 3);
    CloseAttenuationTable();
    const QString path = JournalFolder() + "РВ.db";
    ASSERT_TRUE(QFile::rename(path, path + ".away"));
    ASSERT_TRUE(QDir().mkpath(path));
    dialogs_.clear();
    delete FDBRV;
    FDBRV = new TFDBRV(MainForm);
    ASSERT_EQ(dialogs_.size(), 1) << "told at start";
    EXPECT_EQ(AttenuationTable(), nullptr);

    EXPECT_FALSE(FindAttenuation("1234567").has_value());
    EXPECT_FALSE(FindAttenuation("1234567").has_value());
    ASSERT_TRUE(PumpUntil([this] { return dialogs_.size() == 2; }, 2000));
    PumpUntil([] { return false; }, 150);
    ASSERT_EQ(dialogs_.size(), 2) << "told once, not at every request";
    EXPECT_TRUE(dialogs_[1].Text.startsWith("Таблица РВ.db не открыта: станция получает нулевые коррекции"))
        << dialogs_[1].Text.toStdString();

    ASSERT_TRUE(QDir(path).removeRecursively());
    ASSERT_TRUE(QFile::rename(path + ".away", path));
    const std::optional<TAttenuation> found = FindAttenuation("1234567");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->Mv, 12);
    EXPECT_EQ(found->Gmv, 3);
    FDBRV->show(); // the editor shows the same table
    EXPECT_EQ(FDBRV->DBGrid1->model()->rowCount(), 1);
    FDBRV->hide();
    EXPECT_EQ(dialogs_.size(), 2);

    // Closed by the program at the end of the run, it stays closed.
    CloseAttenuationTable();
    EXPECT_FALSE(FindAttenuation("1234567").has_value());
    EXPECT_EQ(AttenuationTable(), nullptr);
}

TEST_F(AttenuationEditorTest, TheMenuItemFollowsTheAccessRuleAndPrintsTheList) {
    EXPECT_EQ(MainForm->N12->text(), "Данные о локомотивных РС");
    EXPECT_EQ(MainForm->N12->parent(), MainForm->mAnsu->parent());
    EXPECT_FALSE(MainForm->N12->isEnabled());
    MechanicNumber = ServiceAccessCode;
    MainForm->UpdateServiceMenus(true);
    EXPECT_TRUE(MainForm->N12->isEnabled()) << "the mechanic with the access code reaches it";
    MainForm->UpdateServiceMenus(false);
    EXPECT_FALSE(MainForm->N12->isEnabled()) << "off while a test runs";
    MainForm->UpdateServiceMenus(true);

    EXPECT_EQ(FDBRV->windowTitle(), "Данные о локомотивных РС");
    const std::pair<TNavButton, const char*> hints[] = {
        {TNavButton::First, "Первая запись"},        {TNavButton::Prior, "Предыдущая запись"},
        {TNavButton::Next, "Следующая запись"},      {TNavButton::Last, "Последняя запись"},
        {TNavButton::Insert, "Вставить  запись"},    {TNavButton::Delete, "Удалить  запись"},
        {TNavButton::Edit, "Редактировать  запись"}, {TNavButton::Post, "Запомнить изменения"},
        {TNavButton::Cancel, "Отменить изменения"}};
    for (const auto& [button, hint] : hints) {
        ASSERT_NE(FDBRV->DBNavigator1->Button(button), nullptr) << hint;
        EXPECT_EQ(FDBRV->DBNavigator1->Button(button)->toolTip(), QString::fromUtf8(hint));
    }
    EXPECT_EQ(FDBRV->DBNavigator1->Button(TNavButton::Refresh), nullptr);
    EXPECT_EQ(FDBRV->BitBtn1->toolTip(), "Отчет");

    for (const char* loco : {"7654321", "0000001", "1234567"})
        Type(loco, 1, 2);
    FDBRV->resize(FDBRV->sizeHint().expandedTo(FDBRV->size()));
    FDBRV->show();
    EXPECT_TRUE(FDBRV->grab().save(QString(VESK_BINARY_DIR) + "/attenuation-editor.png"));
    FDBRV->hide();

    QString text;
    int rows = -1;
    SetReportPreviewHook([&](TReport& r) {
        rows = int(r.Data.Rows.size());
        ExpectNothingOverlaps(r);
        // The table's frame runs from its first column to its last.
        double leftRule = 1e9, rightRule = -1e9;
        QRectF firstCaption, lastCaption;
        for (const TPreparedItem& item : r.Page(0).Items) {
            if (item.IsLine && item.Rect.width() == 0) {
                leftRule = std::min(leftRule, item.Rect.x());
                rightRule = std::max(rightRule, item.Rect.x());
            } else if (item.Text == "Локомотив") {
                firstCaption = item.Rect;
            } else if (item.Text == "Ослабление ГМВ") {
                lastCaption = item.Rect;
            }
        }
        EXPECT_NEAR(leftRule, firstCaption.left(), 0.5);
        EXPECT_NEAR(rightRule, lastCaption.right(), 0.5);
        if (HavePdfToText()) {
            r.ExportPdf(QString(VESK_BINARY_DIR) + "/report-QRRV.pdf");
            text = PdfText(QString(VESK_BINARY_DIR) + "/report-QRRV.pdf");
        }
    });
    QTimer::singleShot(0, [] {
        FDBRV->BitBtn1->click();
        FDBRV->close();
    });
    MainForm->N12->trigger(); // the menu item runs the editor
    EXPECT_EQ(rows, 3);
    ASSERT_NE(QRRV, nullptr);
    EXPECT_EQ(QRRV->QuickRep1->Title, "Просмотр отчета о локомотивных РС");
    EXPECT_EQ(QRRV->QuickRep1->PageLayout.orientation(), QPageLayout::Portrait);
    delete FDBRV; // the report form goes with its owner
    FDBRV = nullptr;
    EXPECT_EQ(QRRV, nullptr);
    if (!HavePdfToText())
        GTEST_SKIP() << "pdftotext is not installed";
    for (const char* s : {"Страница:1", "Распечатано 05.06.26 в 14:30", "Данные о локомотивных РС",
                          "Локомотив", "Ослабление МВ", "Ослабление ГМВ"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s << "\n" << text.toStdString();
    EXPECT_LT(text.indexOf("0000001"), text.indexOf("1234567"));
    EXPECT_LT(text.indexOf("1234567"), text.indexOf("7654321"));
}

} // namespace
