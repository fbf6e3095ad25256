#pragma once
// The window layer's side of the message dialogs of Dialogs.h.

/// Makes MessageDlg and InputQuery show real dialogs (message box and input box) with the
/// Russian captions and button texts. Called once at start-up, after the application exists.
void InstallDialogPresenter();
