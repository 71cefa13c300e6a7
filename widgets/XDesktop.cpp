#include "XDesktop.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

// The Motif hints: flags, functions, decorations, input mode, status.
constexpr uint32_t HintsFunctions = 1;
constexpr uint32_t HintsDecorations = 2;
constexpr uint32_t FunctionMove = 4;
constexpr uint32_t DecorationBorder = 2;
constexpr uint32_t DecorationTitle = 8;

// Other platforms may offer the interface too, without a connection behind it.
xcb_connection_t *connection()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return QGuiApplication::platformName() == "xcb" && x11 ? x11->connection() : nullptr;
}

xcb_atom_t atomNamed(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

void writeNoButtonsHints(QWidget *window)
{
    xcb_connection_t *x = connection();
    if (!x)
        return;
    const xcb_atom_t hints = atomNamed(x, "_MOTIF_WM_HINTS");
    if (hints == XCB_ATOM_NONE)
        return;
    const uint32_t values[5] = {HintsFunctions | HintsDecorations, FunctionMove, DecorationBorder | DecorationTitle, 0,
                                0};
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), hints, hints, 32, 5, values);
    xcb_flush(x);
}

// The show event comes after the native window is made and before it is mapped, which is when the
// window manager reads the hints.
class ShowWatcher : public QObject {
public:
    explicit ShowWatcher(QWidget *window) : QObject(window) { window->installEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched == parent())
            writeNoButtonsHints(static_cast<QWidget *>(watched));
        return false;
    }
};

} // namespace

void TXDesktop::askForNoWindowButtons(QWidget *window)
{
    new ShowWatcher(window);
}

std::optional<bool> TXDesktop::leftButtonDown()
{
    xcb_connection_t *x = connection();
    if (!x)
        return std::nullopt;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    xcb_query_pointer_reply_t *reply = xcb_query_pointer_reply(x, xcb_query_pointer(x, screen->root), nullptr);
    if (!reply)
        return std::nullopt;
    const bool down = reply->mask & XCB_BUTTON_MASK_1;
    std::free(reply);
    return down;
}
