#include "X11WindowSystem.h"

#include "XcbPointers.h"

#include <QGuiApplication>
#include <QWidget>

namespace {

xcb_connection_t* qtConnection()
{
    auto x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    const auto reply = XCB_REPLY(xcb_intern_atom, c, 0, uint16_t(qstrlen(name)), name);
    return reply ? reply->atom : XCB_NONE;
}

} // namespace

void X11WindowSystem::setWindowClass(QWidget* window, const QString& className)
{
    xcb_connection_t* c = qtConnection();
    const auto id = xcb_window_t(window->winId());
    if (!c)
        return;
    // WM_CLASS holds the instance name and the class name, each ended by a NUL.
    const QByteArray name = className.toLatin1();
    const QByteArray value = name + '\0' + name + '\0';
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
        uint32_t(value.size()), value.constData());
    xcb_flush(c);
}

void X11WindowSystem::forceForeground(QWidget* window)
{
    window->raise();
    window->activateWindow();
    xcb_connection_t* c = qtConnection();
    if (!c || !window->windowHandle())
        return;
    // Asked as a pager would (source indication 2), so that the window manager's focus-stealing
    // prevention lets the window come forward.
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window->winId());
    event.type = atom(c, "_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 2;
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, screen->root,
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&event));
    xcb_flush(c);
}

void X11WindowSystem::keepOffTaskbar(QWidget* window)
{
    xcb_connection_t* c = qtConnection();
    const auto id = xcb_window_t(window->winId());
    if (!c)
        return;
    const xcb_atom_t states[]
        = { atom(c, "_NET_WM_STATE_SKIP_TASKBAR"), atom(c, "_NET_WM_STATE_SKIP_PAGER") };
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 2, states);
    xcb_flush(c);
}
