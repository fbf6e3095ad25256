#include "platform/ScreenColormap.h"

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

const xcb_screen_t* ScreenOf(xcb_connection_t* c, xcb_window_t root) {
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it))
        if (it.data->root == root)
            return it.data;
    return nullptr;
}

} // namespace

void UseScreenColormap(QWidget* window) {
    // Offscreen, Qt answers for X11 too, without a connection.
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || !window->testAttribute(Qt::WA_WState_Created))
        return;
    const auto id = xcb_window_t(window->winId());
    // Two round trips on each show of a window: the window's visual and its screen.
    xcb_get_window_attributes_reply_t* attrs =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, id), nullptr);
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr);
    const xcb_screen_t* screen = geometry ? ScreenOf(c, geometry->root) : nullptr;
    if (attrs && screen && attrs->visual == screen->root_visual &&
        attrs->colormap != screen->default_colormap) {
        const uint32_t colormap = screen->default_colormap;
        xcb_change_window_attributes(c, id, XCB_CW_COLORMAP, &colormap);
    }
    std::free(attrs);
    std::free(geometry);
}
