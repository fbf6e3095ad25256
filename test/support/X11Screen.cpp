#include "support/X11Screen.h"

#include <QGuiApplication>
#include <QProcess>
#include <QWidget>
#include <QtEndian>
#include <cstdlib>
#include <xcb/xcb.h>

namespace x11 {

namespace {

/// A connection of the test's own, apart from Qt's.
struct TConnection {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    ~TConnection() { xcb_disconnect(c); }
    bool Ok() const { return c && !xcb_connection_has_error(c); }
    xcb_screen_t* Screen() const { return xcb_setup_roots_iterator(xcb_get_setup(c)).data; }
};

template <typename T> struct TReply {
    T* r;
    ~TReply() { std::free(r); }
    T* operator->() const { return r; }
    explicit operator bool() const { return r != nullptr; }
};

} // namespace

bool OnX11() {
    return QGuiApplication::platformName() == "xcb";
}

QImage ScreenPixels(const QWidget* window) {
    TConnection x;
    if (!x.Ok() || !window)
        return {};
    const auto id = xcb_window_t(window->winId());
    const xcb_window_t root = x.Screen()->root;
    TReply<xcb_get_geometry_reply_t> g{xcb_get_geometry_reply(x.c, xcb_get_geometry(x.c, id), nullptr)};
    TReply<xcb_translate_coordinates_reply_t> at{
        xcb_translate_coordinates_reply(x.c, xcb_translate_coordinates(x.c, id, root, 0, 0), nullptr)};
    if (!g || !at)
        return {};
    TReply<xcb_get_image_reply_t> img{xcb_get_image_reply(
        x.c,
        xcb_get_image(x.c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, at->dst_x, at->dst_y, g->width, g->height, ~0u),
        nullptr)};
    if (!img || xcb_get_image_data_length(img.r) < int(g->width) * g->height * 4)
        return {};
    QImage out(g->width, g->height, QImage::Format_RGB32);
    const uint8_t* data = xcb_get_image_data(img.r);
    for (int y = 0; y < g->height; ++y)
        memcpy(out.scanLine(y), data + size_t(y) * g->width * 4, size_t(g->width) * 4);
    return out;
}

QImage XwdPixels(const QWidget* window, QString* error) {
    QProcess xwd;
    xwd.start("xwd", {"-id", QString::number(window->winId()), "-silent"});
    if (!xwd.waitForFinished(30000) || xwd.exitCode() != 0) {
        *error = "xwd: " + xwd.errorString() + " " + QString::fromLocal8Bit(xwd.readAllStandardError());
        return {};
    }
    const QByteArray d = xwd.readAllStandardOutput();
    // The file: a header of big-endian 32-bit fields (the window's name at its end), the
    // colours (12 bytes each), then the rows.
    const auto field = [&](int i) {
        return d.size() >= 4 * (i + 1) ? qFromBigEndian<quint32>(d.constData() + 4 * i) : 0u;
    };
    const quint32 headerSize = field(0), width = field(4), height = field(5), lsbFirst = field(7) == 0,
                  bitsPerPixel = field(11), bytesPerLine = field(12), colours = field(19);
    const qsizetype start = qsizetype(headerSize) + 12 * qsizetype(colours);
    const quint32 bytes = bitsPerPixel / 8;
    if (d.size() < 100 || (bytes != 3 && bytes != 4) || start + qsizetype(bytesPerLine) * height > d.size()) {
        *error = QString("xwd: unexpected file of %1 bytes").arg(d.size());
        return {};
    }
    QImage out(int(width), int(height), QImage::Format_RGB32);
    for (quint32 y = 0; y < height; ++y)
        for (quint32 x = 0; x < width; ++x) {
            const auto* p =
                reinterpret_cast<const uchar*>(d.constData() + start + y * bytesPerLine + x * bytes);
            const quint32 v = lsbFirst ? (p[0] | p[1] << 8 | p[2] << 16)
                                       : (p[bytes - 3] << 16 | p[bytes - 2] << 8 | p[bytes - 1]);
            out.setPixel(int(x), int(y), 0xff000000u | v);
        }
    return out;
}

void GiveFocus(const QWidget* window) {
    TConnection x;
    if (!x.Ok() || !window)
        return;
    xcb_set_input_focus(x.c, XCB_INPUT_FOCUS_POINTER_ROOT, xcb_window_t(window->winId()), XCB_CURRENT_TIME);
    std::free(xcb_get_input_focus_reply(x.c, xcb_get_input_focus(x.c), nullptr));
}

double SameShare(const QImage& a, const QImage& b) {
    if (a.isNull() || a.size() != b.size())
        return 0;
    qint64 same = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            same += (a.pixel(x, y) & 0xffffff) == (b.pixel(x, y) & 0xffffff) ? 1 : 0;
    return double(same) / (qint64(a.width()) * a.height());
}

double BlackShare(const QImage& image) {
    if (image.isNull())
        return 1;
    qint64 black = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            black += (image.pixel(x, y) & 0xffffff) == 0 ? 1 : 0;
    return double(black) / (qint64(image.width()) * image.height());
}

TForeignWindow::TForeignWindow() {
    c_ = xcb_connect(nullptr, nullptr);
    if (!c_ || xcb_connection_has_error(c_))
        return;
    const xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    id_ = xcb_generate_id(c_);
    const uint32_t values[] = {s->white_pixel};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, id_, s->root, 900, 700, 200, 150, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, s->root_visual, XCB_CW_BACK_PIXEL, values);
    xcb_flush(c_);
}

TForeignWindow::~TForeignWindow() {
    if (c_) {
        if (id_)
            xcb_destroy_window(c_, id_);
        xcb_disconnect(c_);
    }
}

void TForeignWindow::TakeFocus() {
    if (!id_)
        return;
    xcb_map_window(c_, id_);
    // Focus is given once the window is viewable; a round trip makes sure it is mapped.
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    xcb_set_input_focus(c_, XCB_INPUT_FOCUS_POINTER_ROOT, id_, XCB_CURRENT_TIME);
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

bool TForeignWindow::GrabKeyboard() {
    if (!id_)
        return false;
    xcb_map_window(c_, id_);
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    TReply<xcb_grab_keyboard_reply_t> r{xcb_grab_keyboard_reply(
        c_, xcb_grab_keyboard(c_, 0, id_, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr)};
    return r && r->status == XCB_GRAB_STATUS_SUCCESS;
}

} // namespace x11
