#include "platform/DialogPresenter.h"

#include "platform/Dialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QThread>
#include <cmath>

namespace {

QMessageBox::ButtonRole Role(TMsgDlgBtn button) {
    switch (button) {
    case mbYes:
    case mbAll:
    case mbYesToAll:
        return QMessageBox::YesRole;
    case mbNo:
    case mbNoToAll:
        return QMessageBox::NoRole;
    case mbCancel:
    case mbAbort:
        return QMessageBox::RejectRole;
    case mbHelp:
        return QMessageBox::HelpRole;
    case mbOK:
    case mbRetry:
    case mbIgnore:
        break;
    }
    return QMessageBox::AcceptRole;
}

QMessageBox::Icon Icon(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::Warning:
        return QMessageBox::Warning;
    case TMsgDlgType::Error:
        return QMessageBox::Critical;
    case TMsgDlgType::Information:
        return QMessageBox::Information;
    case TMsgDlgType::Confirmation:
        return QMessageBox::Question;
    case TMsgDlgType::Custom:
        break;
    }
    return QMessageBox::NoIcon;
}

// A message box that Esc and its close box may close without pressing any of its buttons
// (which Qt's own box never does while it has a button for Esc to press).
class TMessageBox : public QMessageBox {
public:
    TMessageBox(QWidget* parent, bool escapeCloses) : QMessageBox(parent), escapeCloses_(escapeCloses) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (escapeCloses_ && e->matches(QKeySequence::Cancel))
            reject();
        else
            QMessageBox::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent* e) override {
        if (escapeCloses_)
            QDialog::closeEvent(e);
        else
            QMessageBox::closeEvent(e);
    }

private:
    bool escapeCloses_;
};

QWidget* Owner(QWidget* parent) {
    return parent ? parent : QApplication::activeWindow();
}

// Runs a dialog on the window thread even when asked from another thread.
template <typename F> auto OnGuiThread(F&& show) {
    if (QThread::currentThread() == qApp->thread())
        return show();
    decltype(show()) result{};
    QMetaObject::invokeMethod(
        qApp, [&] { result = show(); }, Qt::BlockingQueuedConnection);
    return result;
}

// A text the screen has no room for (a long list of results) keeps its first paragraph in
// the box's own label; the rest scrolls in a list below it, as tall as the screen allows
// once the title bar, the heading and the buttons have their room.
void FitTheScreen(QMessageBox& box, const QString& text) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    if (!label || !grid || !screen)
        return;
    const QRect room = screen->availableGeometry();
    const QFontMetrics fm(label->font());
    // The message box wraps its text at about this width.
    const int wrap = std::min(room.width() / 2, 500);
    const auto height = [&fm](const QString& t, int width) {
        return t.isEmpty() ? 0 : fm.boundingRect(QRect(0, 0, width, 1 << 24), Qt::TextWordWrap, t).height();
    };
    const QMargins margins = grid->contentsMargins();
    const int spacing = std::max(grid->verticalSpacing(), 0);
    int buttons = 0;
    if (auto* row = box.findChild<QDialogButtonBox*>())
        buttons = row->sizeHint().height();
    const int titleBar = box.style()->pixelMetric(QStyle::PM_TitleBarHeight) + 2 * fm.height();
    const int chrome = titleBar + margins.top() + margins.bottom() + buttons + 3 * spacing;
    if (height(text, wrap) + chrome <= room.height())
        return;

    qsizetype split = text.indexOf(QStringLiteral("\n\n"));
    if (split < 0)
        split = text.indexOf(u'\n');
    const QString heading = split < 0 ? QString() : text.left(split);
    const QString rest = split < 0 ? text : text.mid(split).trimmed();
    box.setText(heading);

    auto* list = new QPlainTextEdit(rest, &box);
    list->setObjectName(QStringLiteral("MessageList"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    const QFontMetrics lfm = list->fontMetrics();
    const int frame = 2 * list->frameWidth() + 2 * int(std::ceil(list->document()->documentMargin()));
    const int bar = box.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    int widest = 0;
    for (const QString& line : rest.split(u'\n'))
        widest = std::max(widest, lfm.horizontalAdvance(line));
    const int width = std::min(widest, wrap) + frame + bar;
    const int need =
        lfm.boundingRect(QRect(0, 0, width - frame - bar, 1 << 24), Qt::TextWordWrap, rest).height();
    const int free = room.height() - chrome - height(heading, wrap) - spacing;
    list->setMinimumWidth(width);
    list->setFixedHeight(std::max(5 * lfm.lineSpacing() + frame, std::min(need + frame, free)));
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(grid->indexOf(label), &row, &column, &rowSpan, &columnSpan);
    grid->addWidget(list, row + 1, column, 1, columnSpan);
}

int ShowMessage(const TDialogRecord& record, QWidget* parent) {
    QWidget* owner = Owner(parent);
    TMessageBox box(owner, record.EscapeCloses);
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    box.setWindowTitle(record.Caption.isEmpty() ? QApplication::applicationDisplayName() : record.Caption);
    box.setIcon(Icon(record.Type));
    box.setText(record.Text);

    QHash<QAbstractButton*, TMsgDlgBtn> buttons;
    QPushButton* first = nullptr;
    for (TMsgDlgBtn b : DialogButtons(record.Buttons)) {
        QPushButton* button = box.addButton(ButtonText(b), Role(b));
        buttons.insert(button, b);
        if (!first)
            first = button;
    }
    const auto find = [&](TMsgDlgBtn wanted) -> QPushButton* {
        return qobject_cast<QPushButton*>(buttons.key(wanted, nullptr));
    };
    // Enter presses the button asked for, else OK, else Yes, else Retry, else the first button; Esc means
    // Cancel, else No, else OK, unless it only closes the box.
    QPushButton* def = record.DefaultButton ? find(TMsgDlgBtn(record.DefaultButton)) : nullptr;
    if (!def)
        def = find(mbOK);
    if (!def)
        def = find(mbYes);
    if (!def)
        def = find(mbRetry);
    box.setDefaultButton(def ? def : first);
    QPushButton* esc = nullptr;
    if (!record.EscapeCloses) {
        esc = find(mbCancel);
        if (!esc)
            esc = find(mbNo);
        if (!esc)
            esc = find(mbOK);
        if (esc)
            box.setEscapeButton(esc);
    }
    FitTheScreen(box, record.Text);

    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked)
        clicked = esc;
    if (clicked && buttons.contains(clicked))
        return ButtonResult(buttons.value(clicked));
    return record.EscapeCloses ? int(mrNone) : int(mrCancel);
}

bool AskText(const QString& caption, const QString& prompt, QString& value, QWidget* parent) {
    QWidget* owner = Owner(parent);
    QInputDialog dialog(owner);
    dialog.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    dialog.setOkButtonText(ButtonText(mbOK));
    dialog.setCancelButtonText(ButtonText(mbCancel));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

} // namespace

void InstallDialogPresenter() {
    SetDialogPresenter(
        [](const TDialogRecord& record, QWidget* parent) {
            return OnGuiThread([&] { return ShowMessage(record, parent); });
        },
        [](const QString& caption, const QString& prompt, QString& value, QWidget* parent) {
            return OnGuiThread([&] { return AskText(caption, prompt, value, parent); });
        });
}

int CaptionWidth(const QString& caption) {
    if (caption.isEmpty())
        return 0;
    // Window managers draw captions in a title font of their own, mostly the bold form of the
    // desktop's font, beside an icon and three buttons. The style's own title bar, laid out
    // with all of them, tells how much of a window's width is not left to the caption.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    QStyle* style = QApplication::style();
    QStyleOptionTitleBar bar;
    bar.fontMetrics = QFontMetrics(font);
    bar.text = caption;
    bar.titleBarFlags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
    bar.subControls = QStyle::SC_All;
    const int height =
        std::max(style->pixelMetric(QStyle::PM_TitleBarHeight, &bar), bar.fontMetrics.height());
    constexpr int wide = 2000;
    bar.rect = QRect(0, 0, wide, height);
    const QRect label = style->subControlRect(QStyle::CC_TitleBar, &bar, QStyle::SC_TitleBarLabel);
    // Never less room than the three buttons, each as wide as the bar is high.
    const int beside = std::max(wide - label.width(), 3 * height) + height;
    return int(std::ceil(QFontMetricsF(font).horizontalAdvance(caption))) + beside;
}

void KeepCaptionWhole(QWidget* window) {
    if (!window || !window->isWindow() || window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return;
    // Menus, tool tips and the like have no title bar; a modal box is a sheet.
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Window && type != Qt::Dialog && type != Qt::Sheet)
        return;
    const int need = CaptionWidth(window->windowTitle());
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
        // A message box sizes itself to its layout as it is shown: the room goes in as a
        // row of its own below the buttons.
        auto* grid = qobject_cast<QGridLayout*>(box->layout());
        if (!grid)
            return;
        const QMargins margins = grid->contentsMargins();
        const int room = std::max(0, need - margins.left() - margins.right());
        auto* spacer = static_cast<QSpacerItem*>(box->property("vesk.captionRoom").value<void*>());
        if (!spacer) {
            spacer = new QSpacerItem(room, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
            grid->addItem(spacer, grid->rowCount(), 0, 1, grid->columnCount());
            box->setProperty("vesk.captionRoom", QVariant::fromValue<void*>(spacer));
        } else if (spacer->sizeHint().width() != room) {
            spacer->changeSize(room, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
            grid->invalidate();
        }
        return;
    }
    if (window->minimumWidth() >= need)
        return;
    if (window->maximumWidth() < need) // a window of fixed size too
        window->setMaximumWidth(need);
    window->setMinimumWidth(need);
}
