#pragma once

#include "app/PanelWindowSystem.h"

#include <xcb/xcb.h>

#include <memory>

class XcbServerClock;

// The focused X window, keyboard-focus requests and the compositing manager,
// on the connection Qt reads.
//
// Activation follows the window manager conventions: the panel's
// _NET_WM_USER_TIME and a _NET_ACTIVE_WINDOW request both carry the time of
// the user's action. (Qt's own request would carry the time of the last
// event Qt has seen, which for a hotkey handled inside a native event filter
// is older than the hotkey, so a manager that prevents focus stealing may
// refuse it.)
class X11PanelWindowSystem final : public PanelWindowSystem
{
public:
    // Over the connection of the running QGuiApplication on the xcb platform;
    // null elsewhere.
    static std::unique_ptr<X11PanelWindowSystem> create();

    X11PanelWindowSystem(xcb_connection_t *connection, int screenNumber);
    ~X11PanelWindowSystem() override;

    void rememberFocusedWindow() override;
    void restoreFocusedWindow() override;
    bool hasCompositor() const override;
    void activate(QWindow *window, quint32 userTime) override;
    void focusDirectly(QWindow *window) override;
    std::optional<bool> hasKeyboardFocus(const QWindow *window) const override;

private:
    xcb_window_t focusedWindow() const;
    xcb_atom_t atom(const char *name) const;
    bool isViewable(xcb_window_t window) const;
    void setUserTime(xcb_window_t window, xcb_timestamp_t time);

    xcb_connection_t *m_connection;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_atom_t m_compositorSelection = XCB_ATOM_NONE;
    xcb_atom_t m_activeWindow = XCB_ATOM_NONE;
    xcb_atom_t m_userTime = XCB_ATOM_NONE;
    xcb_atom_t m_userTimeWindow = XCB_ATOM_NONE;
    xcb_window_t m_saved = XCB_WINDOW_NONE;
    std::unique_ptr<XcbServerClock> m_clock; // made on the first activation without an event
};
