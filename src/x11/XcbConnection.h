#pragma once

#include <QByteArray>

#include <xcb/xcb.h>

// A private connection to an X server, closed on destruction. Worker threads
// use one of these rather than sharing Qt's connection.
class XcbConnection
{
public:
    // Connects to the display named in DISPLAY when displayName is empty.
    explicit XcbConnection(const QByteArray &displayName = {});
    ~XcbConnection();
    XcbConnection(const XcbConnection &) = delete;
    XcbConnection &operator=(const XcbConnection &) = delete;

    bool isValid() const { return m_connection && !xcb_connection_has_error(m_connection); }
    xcb_connection_t *get() const { return m_connection; }
    xcb_screen_t *screen() const { return m_screen; }
    xcb_window_t rootWindow() const { return m_screen ? m_screen->root : xcb_window_t(XCB_WINDOW_NONE); }

    // Returns the atom for name, creating it if needed; XCB_ATOM_NONE on error.
    xcb_atom_t atom(const char *name, bool onlyIfExists = false) const;

private:
    xcb_connection_t *m_connection = nullptr;
    xcb_screen_t *m_screen = nullptr;
};
