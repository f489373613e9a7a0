#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <memory>

class XcbConnection;

// The X server's current time, for requests that must carry a time stamp
// when no input event is at hand. The server stamps every event; the
// standard way to get a fresh one is to change a property of a window of our
// own and read the time from the PropertyNotify it causes. That happens on a
// private connection, so waiting for the event never disturbs Qt's.
class XcbServerClock
{
public:
    // Connects to the display named in DISPLAY.
    XcbServerClock();
    ~XcbServerClock();

    // The server's time now, or XCB_CURRENT_TIME (0) when the server did not
    // answer within the deadline.
    xcb_timestamp_t now(std::chrono::milliseconds deadline = std::chrono::milliseconds(500));

private:
    bool ensureWindow();

    std::unique_ptr<XcbConnection> m_connection;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_property = XCB_ATOM_NONE;
    int m_pending = 0; // property changes whose PropertyNotify has not been read
};
