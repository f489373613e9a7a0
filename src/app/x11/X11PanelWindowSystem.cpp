#include "app/x11/X11PanelWindowSystem.h"

#include "app/AppLogging.h"
#include "x11/XcbReply.h"

#include <QByteArray>
#include <QGuiApplication>

std::unique_ptr<X11PanelWindowSystem> X11PanelWindowSystem::create()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return nullptr;
    // The screen number is the part of DISPLAY after the dot (":0.1").
    int screen = 0;
    const QByteArray display = qgetenv("DISPLAY");
    const int dot = display.lastIndexOf('.');
    if (dot > display.lastIndexOf(':'))
        screen = display.mid(dot + 1).toInt();
    return std::make_unique<X11PanelWindowSystem>(connection, screen);
}

X11PanelWindowSystem::X11PanelWindowSystem(xcb_connection_t *connection, int screenNumber)
    : m_connection(connection)
{
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screenNumber);
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, quint16(name.size()), name.constData()), nullptr));
    if (reply)
        m_compositorSelection = reply->atom;
}

xcb_window_t X11PanelWindowSystem::focusedWindow() const
{
    const XcbReply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    return reply ? reply->focus : xcb_window_t(XCB_WINDOW_NONE);
}

void X11PanelWindowSystem::rememberFocusedWindow()
{
    m_saved = focusedWindow();
    // None and PointerRoot are not windows to go back to.
    if (m_saved == XCB_INPUT_FOCUS_POINTER_ROOT)
        m_saved = XCB_WINDOW_NONE;
    qCDebug(lcApp) << "focus was on window" << Qt::hex << m_saved;
}

void X11PanelWindowSystem::restoreFocusedWindow()
{
    if (m_saved == XCB_WINDOW_NONE)
        return;
    const xcb_window_t window = std::exchange(m_saved, XCB_WINDOW_NONE);
    if (focusedWindow() == window)
        return;
    // Only a window that is still there and mapped can take the focus.
    const XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return;
    xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
    qCDebug(lcApp) << "gave the focus back to window" << Qt::hex << window;
}

bool X11PanelWindowSystem::hasCompositor() const
{
    if (m_compositorSelection == XCB_ATOM_NONE)
        return false;
    const XcbReply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_compositorSelection), nullptr));
    return reply && reply->owner != XCB_WINDOW_NONE;
}
