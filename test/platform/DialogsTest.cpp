#include "platform/Dialogs.h"
#include "platform/DialogPresenter.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class DialogsTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetDialogHook(nullptr);
        SetDialogPresenter(nullptr, nullptr);
    }
};

// Waits (in the event loop of the modal dialog) for the dialog to appear, then acts on it.
template <typename W> void WhenShown(std::function<void(W*)> act) {
    QTimer::singleShot(0, [act] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* w = qobject_cast<W*>(top); w && w->isVisible())
                return act(w);
        WhenShown<W>(act);
    });
}

} // namespace

TEST_F(DialogsTest, HookSeesRussianRecordAndAnswers) {
    QList<TDialogRecord> seen;
    SetDialogPresenter([](const TDialogRecord&, QWidget*) { return int(mrAbort); }, nullptr);
    SetDialogHook([&](const TDialogRecord& r, QWidget*) {
        seen.append(r);
        return int(mrNo);
    });

    EXPECT_EQ(MessageDlg("Удалить?", TMsgDlgType::Confirmation, mbYes | mbNo | mbCancel), mrNo);
    ShowError("Сбой");
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].Caption, "Подтверждение");
    EXPECT_EQ(seen[0].Text, "Удалить?");
    EXPECT_EQ(DialogButtons(seen[0].Buttons), QList<TMsgDlgBtn>({mbYes, mbNo, mbCancel}));
    EXPECT_EQ(seen[1].Type, TMsgDlgType::Error);
    EXPECT_EQ(seen[1].Buttons, int(mbOK));
    EXPECT_TRUE(DialogCaption(TMsgDlgType::Custom).isEmpty());
    EXPECT_EQ(ButtonText(mbNoToAll).at(0), QChar(u'H')); // Latin, not Cyrillic Н

    SetDialogHook(nullptr);
    EXPECT_EQ(MessageDlg("x", TMsgDlgType::Warning, mbOK), mrAbort); // the presenter again
}

TEST_F(DialogsTest, WithoutPresenterFirstButtonAnswers) {
    EXPECT_EQ(MessageDlg("x", TMsgDlgType::Warning, mbNo | mbYes), mrYes);
    EXPECT_EQ(MessageDlg("x", TMsgDlgType::Warning, mbCancel | mbRetry), mrCancel);
    EXPECT_EQ(MessageDlg("x", TMsgDlgType::Warning, 0), mrNone);
    QString value = "1234";
    EXPECT_FALSE(InputQuery("Код", "Введите код", value));
    EXPECT_EQ(value, "1234");

    SetDialogHook(nullptr, [](const QString&, const QString& prompt, QString& v, QWidget*) {
        v = prompt + "!";
        return true;
    });
    EXPECT_TRUE(InputQuery("Код", "Введите код", value));
    EXPECT_EQ(value, "Введите код!");

    // Once the run ends no dialog is shown: each is answered as if closed by Esc.
    SetDialogHook(nullptr);
    SetDialogPresenter([](const TDialogRecord&, QWidget*) { return int(mrYes); }, nullptr);
    EndDialogs();
    EXPECT_EQ(MessageDlg("x", TMsgDlgType::Confirmation, mbYes | mbNo | mbCancel), mrCancel);
    EXPECT_EQ(MessageDlg("x", TMsgDlgType::Confirmation, mbYes | mbNo), mrNo);
    EXPECT_EQ(MessageDlgEscapeCloses("x", TMsgDlgType::Confirmation, mbYes | mbNo), mrNo)
        << "nobody is there to be asked again";
    EndDialogs(false);
    EXPECT_EQ(MessageDlg("x", TMsgDlgType::Confirmation, mbYes | mbNo), mrYes);
}

TEST_F(DialogsTest, PresenterShowsRussianMessageBox) {
    InstallDialogPresenter();
    QString title;
    QStringList texts;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        QAbstractButton* no = nullptr;
        for (QAbstractButton* b : box->buttons()) {
            texts << b->text();
            if (b->text() == "&Нет")
                no = b;
        }
        if (no)
            no->click();
        else
            box->reject();
    });
    EXPECT_EQ(MessageDlg("Удалить?", TMsgDlgType::Confirmation, mbYes | mbNo | mbCancel), mrNo);
    EXPECT_EQ(title, "Подтверждение");
    texts.sort();
    EXPECT_EQ(texts, QStringList({"&Да", "&Нет", "Отмена"}));

    WhenShown<QMessageBox>([](QMessageBox* box) { box->close(); }); // the close box, as Esc
    EXPECT_EQ(MessageDlg("?", TMsgDlgType::Confirmation, mbYes | mbNo), mrNo);
    WhenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(MessageDlg("?", TMsgDlgType::Confirmation, mbYes | mbNo | mbCancel), mrCancel);

    WhenShown<QInputDialog>([](QInputDialog* d) {
        d->setTextValue("5678");
        d->accept();
    });
    QString value = "1234";
    EXPECT_TRUE(InputQuery("Код", "Введите код", value));
    EXPECT_EQ(value, "5678");
}

// Whatever a message says, its box is on the screen with its buttons (the smallest screen
// the program is used on is 1024x768); a long list scrolls inside it and is there whole.
TEST_F(DialogsTest, EveryBoxFitsTheScreenAndALongListScrollsInIt) {
    InstallDialogPresenter();
    // The widest line as wide as most of the width a box wraps at, in the font in use.
    QString widest = "Журнал «Test23.DB»:";
    const int wrap = std::min(QGuiApplication::primaryScreen()->availableGeometry().width() / 2, 500);
    while (QFontMetrics(QApplication::font()).horizontalAdvance(widest + " диск заполнен") < wrap * 4 / 5)
        widest += " диск заполнен";
    QStringList lines{widest};
    for (int i = 1; i <= 200; ++i)
        lines << QString("Тест %1, код %2").arg(2 + i % 2).arg(i, 7, 10, QChar('0'));
    for (const QString& text : {"Не сохранены:\n\n" + lines.join('\n'), QString("Сбой")}) {
        QRect box, screen;
        QString label, list;
        int scroll = 0, room = 0;
        WhenShown<QMessageBox>([&](QMessageBox* b) {
            box = b->frameGeometry();
            screen = b->screen()->availableGeometry();
            label = b->text();
            if (auto* l = b->findChild<QPlainTextEdit*>("MessageList")) {
                list = l->toPlainText();
                scroll = l->verticalScrollBar()->maximum();
                room = l->viewport()->width() - l->fontMetrics().horizontalAdvance(lines[0]);
                b->grab().save(QString(VESK_BINARY_DIR) + "/dialog-long-list.png");
            }
            b->accept();
        });
        MessageDlg(text, TMsgDlgType::Error, mbOK);
        EXPECT_TRUE(screen.contains(box) && box.height() <= 768) << box.height() << " of " << screen.height();
        EXPECT_EQ(label + (list.isEmpty() ? "" : "\n\n" + list), text)
            << "the heading in the label, the rest listed";
        EXPECT_EQ(scroll > 0, text.size() > 100) << "only a long text scrolls";
        EXPECT_GE(room, 0) << "the list's widest line reads on one line";
    }
}
