#pragma once
// The window layer's side of the message dialogs of Dialogs.h, and the room a window's
// caption needs.

#include <QString>

class QWidget;

/// Makes MessageDlg and InputQuery show real dialogs (message box and input box) with the
/// Russian captions and button texts. Called once at start-up, after the application exists.
void InstallDialogPresenter();

/// The least width of a window whose caption the window manager shows whole: the caption in
/// the bold title font beside the title bar's icon and its minimise, maximise and close
/// buttons. 0 for an empty caption.
int CaptionWidth(const QString& caption);
/// Widens a window (a message box too) that its caption does not fit; run as it is shown.
void KeepCaptionWhole(QWidget* window);
