#include "app/x11/X11PanelWindowSystem.h"

#include "app/AppLogging.h"
#include "x11/XcbReply.h"
#include "x11/XcbServerClock.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWindow>

#include <cstring>

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
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; it.rem && i < screenNumber; ++i)
        xcb_screen_next(&it);
    if (it.rem)
        m_root = it.data->root;
    m_compositorSelection = atom(QByteArray("_NET_WM_CM_S" + QByteArray::number(screenNumber)).constData());
    m_activeWindow = atom("_NET_ACTIVE_WINDOW");
    m_userTime = atom("_NET_WM_USER_TIME");
    m_userTimeWindow = atom("_NET_WM_USER_TIME_WINDOW");
}

X11PanelWindowSystem::~X11PanelWindowSystem() = default;

xcb_atom_t X11PanelWindowSystem::atom(const char *name) const
{
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, quint16(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t X11PanelWindowSystem::focusedWindow() const
{
    const XcbReply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    return reply ? reply->focus : xcb_window_t(XCB_WINDOW_NONE);
}

bool X11PanelWindowSystem::isViewable(xcb_window_t window) const
{
    const XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
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
    // Only a window that is still there and mapped can take the focus.
    if (focusedWindow() == window || !isViewable(window))
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

void X11PanelWindowSystem::setUserTime(xcb_window_t window, xcb_timestamp_t time)
{
    // Qt keeps the time on a separate window once the window manager
    // supports that; the property on the window itself is then ignored.
    xcb_window_t holder = window;
    const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, m_userTimeWindow, XCB_ATOM_WINDOW, 0, 1),
        nullptr));
    if (reply && reply->type == XCB_ATOM_WINDOW && reply->format == 32
        && xcb_get_property_value_length(reply.get()) == 4)
        holder = *static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, holder, m_userTime, XCB_ATOM_CARDINAL, 32, 1,
                        &time);
}

void X11PanelWindowSystem::activate(QWindow *window, quint32 userTime)
{
    const auto id = xcb_window_t(window->winId());
    xcb_timestamp_t time = userTime;
    if (time == XCB_CURRENT_TIME) {
        if (!m_clock)
            m_clock = std::make_unique<XcbServerClock>();
        time = m_clock->now();
    }
    if (time != XCB_CURRENT_TIME)
        setUserTime(id, time);

    // Source 1: a request from an application, judged by its time.
    xcb_client_message_event_t request {};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = id;
    request.type = m_activeWindow;
    request.data.data32[0] = 1;
    request.data.data32[1] = time;
    request.data.data32[2] = m_saved;
    xcb_send_event(m_connection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&request));
    xcb_flush(m_connection);
    qCDebug(lcApp) << "asked the window manager to activate window" << Qt::hex << id << Qt::dec << "at time"
                   << time << (userTime ? "of the hotkey" : "of the server");
}

void X11PanelWindowSystem::focusDirectly(QWindow *window)
{
    const auto id = xcb_window_t(window->winId());
    if (!isViewable(id)) {
        qCDebug(lcApp) << "window" << Qt::hex << id << "is not mapped yet; cannot focus it";
        return;
    }
    // The current time: the user asked for the panel, and the type-ahead
    // grab has kept every key since then from anyone else.
    const XcbReply<xcb_generic_error_t> error(xcb_request_check(
        m_connection,
        xcb_set_input_focus_checked(m_connection, XCB_INPUT_FOCUS_PARENT, id, XCB_CURRENT_TIME)));
    if (error)
        qCWarning(lcApp) << "could not give the keyboard focus to window" << Qt::hex << id << Qt::dec
                         << "X error" << error->error_code;
    else
        qCDebug(lcApp) << "the window manager did not focus the panel; set the focus on window" << Qt::hex
                       << id;
}

std::optional<bool> X11PanelWindowSystem::hasKeyboardFocus(const QWindow *window) const
{
    return focusedWindow() == xcb_window_t(window->winId());
}
