#include "platform/Dialogs.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcDialogs, "vesk.dialogs")

namespace {

TDialogPresenter presenter;
TInputPresenter inputPresenter;
TDialogPresenter hook;
TInputPresenter inputHook;
bool ended = false;

// The buttons in the order a dialog lays them out.
constexpr TMsgDlgBtn allButtons[] = {mbYes,    mbNo,  mbOK,      mbCancel,   mbAbort, mbRetry,
                                     mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp};

} // namespace

QString DialogCaption(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::Warning:
        return QStringLiteral("Предупреждение");
    case TMsgDlgType::Error:
        return QStringLiteral("Ошибка");
    case TMsgDlgType::Information:
        return QStringLiteral("Информация");
    case TMsgDlgType::Confirmation:
        return QStringLiteral("Подтверждение");
    case TMsgDlgType::Custom:
        break;
    }
    return {};
}

QString ButtonText(TMsgDlgBtn button) {
    switch (button) {
    case mbYes:
        return QStringLiteral("&Да");
    case mbNo:
        return QStringLiteral("&Нет");
    case mbOK:
        return QStringLiteral("OK");
    case mbCancel:
        return QStringLiteral("Отмена");
    case mbAbort:
        return QStringLiteral("&Прервать");
    case mbRetry:
        return QStringLiteral("По&вторить");
    case mbIgnore:
        return QStringLiteral("&Игнорировать");
    case mbAll:
        return QStringLiteral("&Все");
    case mbNoToAll:
        // The first letter is a Latin H, as the station has always shown it.
        return QStringLiteral("H&ет для Всех");
    case mbYesToAll:
        return QStringLiteral("Д&а для Всех");
    case mbHelp:
        return QStringLiteral("&Помощь");
    }
    return {};
}

int ButtonResult(TMsgDlgBtn button) {
    switch (button) {
    case mbYes:
        return mrYes;
    case mbNo:
        return mrNo;
    case mbOK:
        return mrOk;
    case mbCancel:
        return mrCancel;
    case mbAbort:
        return mrAbort;
    case mbRetry:
        return mrRetry;
    case mbIgnore:
        return mrIgnore;
    case mbAll:
        return mrAll;
    case mbNoToAll:
        return mrNoToAll;
    case mbYesToAll:
        return mrYesToAll;
    case mbHelp:
        break; // the help button does not close the dialog with a result
    }
    return mrNone;
}

QList<TMsgDlgBtn> DialogButtons(int buttons) {
    QList<TMsgDlgBtn> list;
    for (TMsgDlgBtn b : allButtons)
        if (buttons & b)
            list.append(b);
    return list;
}

void EndDialogs(bool end) {
    ended = end;
}

namespace {

int Ask(const TDialogRecord& record, QWidget* parent) {
    const int buttons = record.Buttons;
    if (hook)
        return hook(record, parent);
    if (presenter && !ended)
        return presenter(record, parent);
    qCWarning(lcDialogs).noquote() << record.Caption << record.Text;
    // The operator's way out of a dialog: Esc. A question that Esc only closes gets the same
    // answer here, or it would be asked again for ever with nobody there.
    if (ended)
        for (TMsgDlgBtn b : {mbCancel, mbNo, mbOK})
            if (buttons & b)
                return ButtonResult(b);
    const QList<TMsgDlgBtn> list = DialogButtons(buttons);
    return list.isEmpty() ? int(mrNone) : ButtonResult(list.first());
}

} // namespace

int MessageDlg(const QString& text, TMsgDlgType type, int buttons, QWidget* parent, int defaultButton) {
    return Ask({type, DialogCaption(type), text, buttons, defaultButton}, parent);
}

int MessageDlgEscapeCloses(const QString& text, TMsgDlgType type, int buttons, QWidget* parent) {
    return Ask({type, DialogCaption(type), text, buttons, 0, true}, parent);
}

void ShowError(const QString& message, QWidget* parent) {
    MessageDlg(message, TMsgDlgType::Error, mbOK, parent);
}

bool InputQuery(const QString& caption, const QString& prompt, QString& value, QWidget* parent) {
    if (inputHook)
        return inputHook(caption, prompt, value, parent);
    if (inputPresenter && !ended)
        return inputPresenter(caption, prompt, value, parent);
    qCWarning(lcDialogs).noquote() << "no input dialog for" << caption << prompt;
    return false;
}

void SetDialogPresenter(TDialogPresenter p, TInputPresenter input) {
    presenter = std::move(p);
    inputPresenter = std::move(input);
}

void SetDialogHook(TDialogPresenter h, TInputPresenter input) {
    hook = std::move(h);
    inputHook = std::move(input);
}
