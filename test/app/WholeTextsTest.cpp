// Texts that the operator meets only after the first look: long station messages in the
// message grid, the title of technological mode 1, the captions of the questions that the
// navigators ask, and Qt's own file dialog on a machine without a Russian locale.
#include "app/Application.h"
#include "app/TMainForm.h"
#include "app/TMessageGrid.h"
#include "journal/AttenuationEdit.h"
#include "journal/DBNavigator.h"
#include "journal/TFDB.h"
#include "journal/TFDB23.h"
#include "journal/TFDBRV.h"
#include "platform/Clock.h"
#include "platform/DialogPresenter.h"
#include "platform/Dialogs.h"
#include "runs/JournalWriters.h"
#include "state/Options.h"
#include "state/UVesk.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"
#include "support/WindowCheck.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionTitleBar>
#include <QTimer>
#include <QTreeView>
#include <clocale>
#include <gtest/gtest.h>

namespace {

class WholeTextsTest : public TAppFixture {
protected:
    void SetUp() override {
        TAppFixture::SetUp();
        clock_.SetNow(QDateTime(QDate(2026, 6, 5), QTime(9, 7, 3)));
        SetClock(&clock_);
        Start();
        grid_ = MainForm->StringGrid1;
    }
    void settle() {
        grid_->showChanges();
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    // The main window's texts that do not fit, its picture saved as window-<name>.png.
    QStringList look(const QString& name) {
        QCoreApplication::processEvents();
        EXPECT_TRUE(MainForm->grab().save(QString(VESK_BINARY_DIR) + "/window-" + name + ".png"));
        return TextsThatDoNotFit(MainForm);
    }
    TFakeClock clock_;
    TMessageGrid* grid_ = nullptr;
};

TEST_F(WholeTextsTest, LongMessagesKeepNumberAndChannelInSightAndReadWhole) {
    const QStringList messages = {
        "ГМВ: Прием № локомотива и передача ППНЛ ",
        "Коррекция ослабления (МВ, ГМВ): -12 -14",
        "Станция сообщает о приеме номера поезда и номера локомотива по каналу ГМВ с подтверждением",
        QString(52, u'*'),
    };
    for (int i = 0; i < 30; ++i)
        MainForm->AddMessageRow(messages[i % messages.size()], true);
    settle();
    QScrollBar* sideways = grid_->horizontalScrollBar();
    EXPECT_FALSE(sideways->isVisible()) << "the view never scrolls sideways";
    EXPECT_EQ(sideways->value(), 0);
    const QRect view = grid_->viewport()->rect();
    const QModelIndex last = grid_->model()->index(29, 2);
    for (int c = 0; c < 3; ++c)
        EXPECT_TRUE(view.contains(grid_->visualRect(last.siblingAtColumn(c)))) << "column " << c;
    const QStringList wrong = look("main-long-messages");
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join("\n").toStdString();

    // Narrowed by the operator's wider number column, the messages take more lines.
    const auto rowsHeight = [&] {
        int h = 0;
        for (int r = 0; r < 30; ++r)
            h += grid_->rowHeight(r);
        return h;
    };
    const int tall = rowsHeight();
    EXPECT_GT(tall, 30 * 21) << "long messages take more than a line";
    grid_->horizontalHeader()->resizeSection(0, grid_->columnWidth(0) + 100);
    settle();
    EXPECT_GT(rowsHeight(), tall);
    EXPECT_TRUE(TextsThatDoNotFit(MainForm).isEmpty())
        << TextsThatDoNotFit(MainForm).join("\n").toStdString();

    // A short message keeps the row's own height; a cleared grid has only short rows.
    MainForm->AddMessageRow("Наличие КС", true);
    settle();
    EXPECT_EQ(grid_->rowHeight(30), 21);
    MainForm->ClearMessageGrid();
    settle();
    EXPECT_EQ(grid_->rowHeight(0), 21);
}

TEST_F(WholeTextsTest, EveryResultPanelTitleShowsWhole) {
    MainForm->N9Click(); // technological mode 1 (no link: its command fails and is told)
    EXPECT_EQ(MainForm->Label25->text(), "Технологический режим 1: измерение девиации");
    QStringList wrong = look("technological-mode-1");
    const qreal fitted = MainForm->Label25->font().pointSizeF();
    // The band's font is made no smaller than the title needs.
    const int room = MainForm->Label25->contentsRect().width();
    EXPECT_GT(window_check::TextWidth(MainForm->Label25->font(), MainForm->Label25->text()), room * 9 / 10);
    // Back to a short title, the band has its own font again.
    MainForm->ResetResultPanel();
    EXPECT_EQ(MainForm->Label25->text(), "Результаты тестирования");
    EXPECT_GE(MainForm->Label25->font().pointSizeF(), fitted);
    EXPECT_EQ(MainForm->Label25->font(), MainForm->Label24->font());
    // The titles of the other two panels as the tests set them.
    MainForm->Label19->setText("Тест 3 : результаты тестирования");
    MainForm->Panel6->hide();
    MainForm->Panel5->show();
    wrong << TextsThatDoNotFit(MainForm);
    MainForm->Panel5->hide();
    MainForm->Panel4->show();
    wrong << look("self-test-panel");
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join("\n").toStdString();
}

/// Questions asked by the real program with the real dialogs.
class CaptionsTest : public WholeTextsTest {
protected:
    void SetUp() override {
        WholeTextsTest::SetUp();
        SetDialogHook(nullptr);
        InitApplication();
    }
    /// Looks at the next modal dialog while it waits for the operator, then cancels it.
    void lookAtNextDialog(const QString& name) {
        QTimer::singleShot(0, [this, name] {
            QWidget* d = nullptr;
            if (!PumpUntil([&] { return (d = QApplication::activeModalWidget()) != nullptr; }, 20'000)) {
                ADD_FAILURE() << name.toStdString() << ": no dialog came";
                return;
            }
            QCoreApplication::processEvents();
            captions_ << d->windowTitle();
            texts_ << (qobject_cast<QMessageBox*>(d) ? qobject_cast<QMessageBox*>(d)->text() : QString());
            for (const QString& w : TextsThatDoNotFit(d))
                wrong_ << name + ": " + w;
            EXPECT_TRUE(d->grab().save(QString(VESK_BINARY_DIR) + "/dialog-" + name + ".png"));
            if (auto* box = qobject_cast<QMessageBox*>(d); box && box->escapeButton())
                box->escapeButton()->click();
            else
                qobject_cast<QDialog*>(d)->reject();
        });
    }
    QStringList captions_, texts_, wrong_;
};

TEST_F(CaptionsTest, NavigatorsDeleteQuestionShowsItsCaptionWhole) {
    LocoNumber = "1234567";
    ASSERT_TRUE(AppendTests1Row(JournalFolder(), "Тест 1", "0000000", "Норма").Ok);
    ASSERT_TRUE(AppendTest23Row(JournalFolder(), "Тест 2", "0000000", "Норма", "От ВЕСК").Ok);
    FDBRV->NavigatorClick(TNavButton::Insert);
    QAbstractItemModel* rv = FDBRV->DBGrid1->model();
    for (int c = 0; c < 3; ++c)
        rv->setData(rv->index(FDBRV->Table1->CurrentIndex(), c), QStringList{"1234567", "-8", "-8"}[c]);
    FDBRV->NavigatorClick(TNavButton::Post);

    FDB->show();
    FDB->SetCurrentRow(0);
    lookAtNextDialog("delete-tests1");
    FDB->NavigatorClick(TNavButton::Delete);
    EXPECT_EQ(FDB->DBGrid1->model()->rowCount(), 1) << "cancelled: nothing deleted";
    FDB->hide();
    FDB23->show();
    FDB23->SetCurrentRow(0);
    lookAtNextDialog("delete-tests23");
    FDB23->NavigatorClick(TNavButton::Delete);
    FDB23->hide();
    FDBRV->show();
    lookAtNextDialog("delete-attenuation");
    FDBRV->NavigatorClick(TNavButton::Delete);
    FDBRV->hide();

    EXPECT_EQ(captions_, QStringList({"Подтверждение", "Подтверждение", "Подтверждение"}));
    EXPECT_EQ(texts_, QStringList({"Delete record?", "Delete record?", "Delete record?"}));
    EXPECT_TRUE(wrong_.isEmpty()) << wrong_.join("\n").toStdString();
    EXPECT_EQ(rv->rowCount(), 1);
}

TEST_F(CaptionsTest, ACaptionsRoomHoldsItsTextInTheBoldTitleFontAndTheTitleBarButtons) {
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QString caption = "Подтверждение";
    const int text = window_check::TextWidth(font, caption);
    const int bar = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    EXPECT_GE(CaptionWidth(caption), text + 3 * bar) << "a close, a minimise and a maximise button beside it";
    // A longer caption asks for just its own text's width more, in the bold font.
    const QFontMetricsF bold(font);
    const qreal more = bold.horizontalAdvance(caption + caption) - bold.horizontalAdvance(caption);
    EXPECT_NEAR(CaptionWidth(caption + caption) - CaptionWidth(caption), more, 1.0);
    EXPECT_EQ(CaptionWidth(""), 0) << "a window without a caption asks for no room";

    // A plain window of the program is widened as it is shown.
    QDialog d(MainForm);
    d.setWindowTitle("Сведения о заводских номерах блоков радиостанции");
    d.resize(100, 80);
    d.show();
    QCoreApplication::processEvents();
    EXPECT_GE(d.width(), CaptionWidth(d.windowTitle()));
    EXPECT_TRUE(TextsThatDoNotFit(&d).isEmpty()) << TextsThatDoNotFit(&d).join("\n").toStdString();
    // A caption that grows while the window is shown widens it too.
    d.setWindowTitle(d.windowTitle() + " и их ремонтах");
    QCoreApplication::processEvents();
    EXPECT_GE(d.width(), CaptionWidth(d.windowTitle()));

    // So does a message box whose caption grows while it waits for the operator.
    QMessageBox box(QMessageBox::Question, "Подтверждение", "Delete record?", QMessageBox::Ok, MainForm);
    box.show();
    QCoreApplication::processEvents();
    box.setWindowTitle("Подтверждение удаления записи журнала");
    QCoreApplication::processEvents();
    EXPECT_GE(box.width(), CaptionWidth(box.windowTitle()));
}

// Qt's own file dialog (also the one the print dialog opens for a PDF) formats sizes and
// dates by the locale that Qt takes from the machine: the program makes it Russian.
TEST(ProgramLocale, QtsFileDialogShowsSizesAndDatesInRussian) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDateTime moment(QDate(2025, 3, 14), QTime(10, 15));
    for (const auto& [name, bytes] : {std::pair{"nine.txt", 9}, std::pair{"five-k.txt", 5000}}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(bytes, 'x'));
        f.close();
        ASSERT_TRUE(f.open(QIODevice::Append));
        ASSERT_TRUE(f.setFileTime(moment, QFileDevice::FileModificationTime));
    }
    QFileDialog dialog(nullptr, "Файл", dir.path());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setViewMode(QFileDialog::Detail);
    auto* files = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(files, nullptr);
    dialog.show();
    // What the dialog's list shows: the model its view reads.
    auto* list = dialog.findChild<QTreeView*>("treeView");
    ASSERT_NE(list, nullptr);
    QAbstractItemModel* shownModel = list->model();
    const QModelIndex root = list->rootIndex();
    ASSERT_TRUE(PumpUntil([&] { return shownModel->rowCount(list->rootIndex()) == 2; }));
    QStringList sizes, dates;
    for (int r = 0; r < 2; ++r) {
        sizes << shownModel->index(r, 1, list->rootIndex()).data().toString();
        dates << shownModel->index(r, 3, list->rootIndex()).data().toString();
    }
    Q_UNUSED(root);
    dialog.hide();
    const QString shown = (sizes + dates).join(" | ");
    EXPECT_FALSE(shown.contains("bytes") || shown.contains("KiB") || shown.contains("Dec"))
        << shown.toStdString();
    EXPECT_TRUE(sizes.contains("9 байт")) << shown.toStdString();
    EXPECT_TRUE(sizes.contains("4,88 кБ")) << shown.toStdString();
    EXPECT_TRUE(dates.join(' ').contains("14.03.2025")) << shown.toStdString();
    EXPECT_EQ(QLocale().language(), QLocale::Russian) << "the program's own default locale";
    EXPECT_EQ(QLocale::system().language(), QLocale::Russian);
    // The C library and the environment keep the machine's own: numbers written by the
    // program keep their decimal point.
    EXPECT_NE(qgetenv("LC_ALL"), "ru_RU.UTF-8") << "the environment is the machine's own";
    if (qgetenv("LC_ALL") == "C.UTF-8") {
        EXPECT_STREQ(std::localeconv()->decimal_point, ".");
    }
}

TEST(ProgramLocale, FileSizesReadAsARussianOperatorSaysThem) {
    QStringList sizes;
    for (qint64 bytes : {1, 2, 4, 5, 11, 12, 14, 21, 22, 1023, 1024, 5000})
        sizes << RussianDataSize(bytes);
    EXPECT_EQ(sizes.join(" | "),
              "1 байт | 2 байта | 4 байта | 5 байт | 11 байт | 12 байт | 14 байт | 21 байт | "
              "22 байта | 1023 байта | 1,00 кБ | 4,88 кБ");
}

} // namespace
