#pragma once
// What a real X server holds, read back over a connection of the test's own (tests run
// under test/support/with-xvfb.sh): the screen's pixels at a window's place, the window as
// xwd reads it, and a window of another client that takes the keyboard focus.

#include <QImage>
#include <QString>

class QWidget;
struct xcb_connection_t;

namespace x11 {

/// True when the application runs on an X server (QT_QPA_PLATFORM=xcb).
bool OnX11();

/// The screen's pixels where the window is (what the operator sees there); null on error.
QImage ScreenPixels(const QWidget* window);
/// The window as `xwd -id` reads it; null, with the reason in *error, when it cannot.
QImage XwdPixels(const QWidget* window, QString* error);
/// Gives the keyboard focus to a window of the program from a connection of the test's own,
/// as a window manager does on a click (the program's own request may carry a time older than
/// another client's focus change, which the server then ignores).
void GiveFocus(const QWidget* window);
/// Share (0-1) of the pixels that are the same in both images (0 for images of other sizes).
double SameShare(const QImage& a, const QImage& b);
/// Share (0-1) of pure black pixels.
double BlackShare(const QImage& image);

/// A window of another application: mapped on a connection of its own, it takes the
/// keyboard focus from the program as a click on it would.
class TForeignWindow {
public:
    TForeignWindow();
    ~TForeignWindow();
    TForeignWindow(const TForeignWindow&) = delete;
    TForeignWindow& operator=(const TForeignWindow&) = delete;
    /// Maps the window and gives it the keyboard focus.
    void TakeFocus();
    /// Maps the window and grabs the whole keyboard on it, as a screen locker does; false
    /// when the server refuses the grab. It ends with this object.
    bool GrabKeyboard();

private:
    xcb_connection_t* c_ = nullptr;
    quint32 id_ = 0;
};

} // namespace x11
