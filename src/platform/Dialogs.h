#pragma once
// Message dialogs with Russian captions and buttons. Core code asks through these
// functions; the window layer installs the presenter that really shows a dialog.
// Tests install a hook that records the dialog and answers it.

#include <QList>
#include <QString>
#include <functional>

class QWidget;

enum class TMsgDlgType { Warning, Error, Information, Confirmation, Custom };

// Standard buttons, combinable.
enum TMsgDlgBtn : int {
    mbYes = 1 << 0,
    mbNo = 1 << 1,
    mbOK = 1 << 2,
    mbCancel = 1 << 3,
    mbAbort = 1 << 4,
    mbRetry = 1 << 5,
    mbIgnore = 1 << 6,
    mbAll = 1 << 7,
    mbNoToAll = 1 << 8,
    mbYesToAll = 1 << 9,
    mbHelp = 1 << 10,
};

// Results of a dialog.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

struct TDialogRecord {
    TMsgDlgType Type;
    QString Caption; // Russian caption of the type ("Предупреждение", ...)
    QString Text;
    int Buttons;
    /// The button Enter presses; 0 for the usual choice (OK, else Yes, else Retry).
    int DefaultButton = 0;
    /// Esc and the close box close the dialog without pressing any of its buttons (mrNone),
    /// where they would otherwise press Cancel, else No, else OK.
    bool EscapeCloses = false;
};

/// Caption of a dialog kind; empty for Custom.
QString DialogCaption(TMsgDlgType type);
/// Text of one standard button ("&Да", ...).
QString ButtonText(TMsgDlgBtn button);
/// The modal result a button gives.
int ButtonResult(TMsgDlgBtn button);
/// The buttons of a set, in the order a dialog lays them out.
QList<TMsgDlgBtn> DialogButtons(int buttons);

/// Shows a modal message dialog and returns the modal result of the button pressed.
/// defaultButton: the button Enter presses (a question that deletes names its "No").
int MessageDlg(const QString& text, TMsgDlgType type, int buttons, QWidget* parent = nullptr,
               int defaultButton = 0);
/// As MessageDlg, for a question that only its buttons answer: Esc and the close box close it
/// with mrNone, and the caller asks again.
int MessageDlgEscapeCloses(const QString& text, TMsgDlgType type, int buttons, QWidget* parent = nullptr);
/// From now on no dialog is shown: the end of the run must not wait for the operator. Each
/// dialog asked for later goes to the log and is answered as if closed by Esc (Cancel,
/// else No, else OK), a question that Esc only closes too. A test hook still sees them; false
/// shows dialogs again.
void EndDialogs(bool end = true);
/// The application's error display: an error dialog with the message and OK.
void ShowError(const QString& message, QWidget* parent = nullptr);

/// Asks a line of text (input box); returns false when cancelled.
bool InputQuery(const QString& caption, const QString& prompt, QString& value, QWidget* parent = nullptr);

using TDialogPresenter = std::function<int(const TDialogRecord&, QWidget*)>;
using TInputPresenter = std::function<bool(const QString&, const QString&, QString&, QWidget*)>;
/// Installed by the window layer at start-up.
void SetDialogPresenter(TDialogPresenter presenter, TInputPresenter input);
/// Test hook: when set it is asked instead of the presenter. nullptr removes it.
void SetDialogHook(TDialogPresenter hook, TInputPresenter input = nullptr);
