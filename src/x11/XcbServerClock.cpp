#include "x11/XcbServerClock.h"

#include "x11/XcbConnection.h"
#include "x11/XcbReply.h"

#include <poll.h>

XcbServerClock::XcbServerClock()
    : m_connection(std::make_unique<XcbConnection>())
{ }

XcbServerClock::~XcbServerClock() = default;

bool XcbServerClock::ensureWindow()
{
    if (m_window != XCB_WINDOW_NONE)
        return true;
    if (!m_connection->isValid() || !m_connection->screen())
        return false;
    m_property = m_connection->atom("_HALVEX_TIMESTAMP");
    if (m_property == XCB_ATOM_NONE)
        return false;
    xcb_connection_t *c = m_connection->get();
    m_window = xcb_generate_id(c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, m_connection->rootWindow(), -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    return true;
}

xcb_timestamp_t XcbServerClock::now(std::chrono::milliseconds deadline)
{
    if (!ensureWindow())
        return XCB_CURRENT_TIME;
    xcb_connection_t *c = m_connection->get();
    // Appending nothing changes nothing but still stamps a PropertyNotify.
    xcb_change_property(c, XCB_PROP_MODE_APPEND, m_window, m_property, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(c);
    // Events of earlier calls that gave up waiting may still come first.
    ++m_pending;
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        while (XcbReply<xcb_generic_event_t> event {xcb_poll_for_event(c)}) {
            if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                continue;
            const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event.get());
            if (notify->window == m_window && notify->atom == m_property && --m_pending == 0)
                return notify->time;
        }
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || xcb_connection_has_error(c))
            return XCB_CURRENT_TIME;
        pollfd fd {xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&fd, 1, int(left.count()));
    }
}
