#include "platform/DialogPresenter.h"

#include "platform/Dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

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
