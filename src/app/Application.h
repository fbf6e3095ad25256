#pragma once
// The application object and the start sequence of the program's windows.

#include <QApplication>

/// Shows an error that escapes an event handler and lets the program go on.
class TVeskApplication : public QApplication {
    Q_OBJECT
public:
    TVeskApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

/// A file size as the program shows it in Qt's file dialog: "9 байт", "4,88 кБ".
QString RussianDataSize(qint64 bytes);
/// Loads Qt's Russian texts (standard buttons, context menus, Qt's error reasons) once;
/// false when they are not installed, and Qt's own English texts stay.
bool InstallQtTranslations();
/// Application-wide set-up done before any window: Russian dialogs, title, help file name.
void InitApplication();
/// Creates every window once, in the start-up order; the main window runs its
/// creation handler before any other window exists.
void CreateForms();
/// Shows the main window in the middle of the screen.
void ShowMainForm();
/// Destroys the windows in reverse order (tests; the program ends with the application).
void DestroyForms();
/// Ends the run on SIGTERM and SIGINT as on closing the main window: the test waits end
/// and every event loop returns, a start-up dialog's too. Called once before the first
/// window is made.
void InstallEndOfRun();
/// The end of the run has been asked for (a signal, perhaps while start-up showed a
/// dialog, or the main window closed during a test wait): the main event loop is not to be
/// entered, and the wait it ends hands nothing on to another.
bool EndOfRunRequested();
/// After the event loop: decodes what was read from the line, journals the results still
/// waiting, or names them in the log. No dialog is shown from here on.
void FinishRun();
