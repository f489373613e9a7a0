#include "KeyboardShortcuts/x11/X11RecorderKeyboardGrab.h"

#include "KeyboardShortcuts/ShortcutsLogging.h"
#include "x11/XcbReply.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>

namespace KeyboardShortcuts {

X11RecorderKeyboardGrab::X11RecorderKeyboardGrab()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    m_connection = x11 ? x11->connection() : nullptr;
}

X11RecorderKeyboardGrab::~X11RecorderKeyboardGrab()
{
    // Without the application Qt's connection is closed, and the grab with it.
    if (QCoreApplication::instance())
        release();
}

bool X11RecorderKeyboardGrab::grab(QWindow *window)
{
    if (!m_connection || !window)
        return false;
    const auto id = xcb_window_t(window->winId());
    const auto cookie
        = xcb_grab_keyboard(m_connection, 1, id, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    const XcbReply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(m_connection, cookie, nullptr));
    m_grabbed = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    if (m_grabbed)
        qCDebug(lcShortcuts) << "recorder grabbed the keyboard on window" << Qt::hex << id;
    else
        qCInfo(lcShortcuts) << "recorder could not grab the keyboard, status"
                            << (reply ? int(reply->status) : -1)
                            << "; combinations other applications hold will not reach it";
    return m_grabbed;
}

void X11RecorderKeyboardGrab::release()
{
    if (!m_grabbed)
        return;
    m_grabbed = false;
    xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
    qCDebug(lcShortcuts) << "recorder released the keyboard";
}

} // namespace KeyboardShortcuts
