#include "platform/DialogPresenter.h"

#include "platform/Dialogs.h"

#include <QApplication>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
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

int ShowMessage(const TDialogRecord& record, QWidget* parent) {
    QWidget* owner = Owner(parent);
    QMessageBox box(owner);
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
    // Cancel, else No, else OK.
    QPushButton* def = record.DefaultButton ? find(TMsgDlgBtn(record.DefaultButton)) : nullptr;
    if (!def)
        def = find(mbOK);
    if (!def)
        def = find(mbYes);
    if (!def)
        def = find(mbRetry);
    box.setDefaultButton(def ? def : first);
    QPushButton* esc = find(mbCancel);
    if (!esc)
        esc = find(mbNo);
    if (!esc)
        esc = find(mbOK);
    if (esc)
        box.setEscapeButton(esc);

    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked)
        clicked = esc;
    return clicked && buttons.contains(clicked) ? ButtonResult(buttons.value(clicked)) : int(mrCancel);
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
