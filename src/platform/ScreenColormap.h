#pragma once
// Every window of the program on the screen's own colormap.
//
// On X11, Qt gives each window a colormap of its own making, even when the window uses the
// screen's default visual. Such a colormap is never installed, and a reader that puts the
// screen together colormap by colormap (xwd, screen grabbers, remote-desktop servers that
// copy window by window) takes a box's area from the first of the program's windows that
// holds it: when a secondary window covers the main window, that is the covered main
// window, and the box reads black although the screen shows it. On the default colormap
// the program's windows are one region with the screen, and every reader reads each box
// from the box.

class QWidget;

/// Puts a shown top-level window on the screen's default colormap when it uses the
/// screen's default visual (a translucent window keeps its own). Does nothing outside X11.
void UseScreenColormap(QWidget* window);
