#include "x11/XcbConnection.h"

#include "x11/XcbReply.h"

#include <cstring>

XcbConnection::XcbConnection(const QByteArray &displayName)
{
    int screenNumber = 0;
    m_connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(m_connection))
        return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; it.rem && i < screenNumber; ++i)
        xcb_screen_next(&it);
    m_screen = it.rem ? it.data : nullptr;
}

XcbConnection::~XcbConnection()
{
    // xcb_connect() always returns an object, even one in the error state,
    // and it must be freed with xcb_disconnect().
    if (m_connection)
        xcb_disconnect(m_connection);
}

xcb_atom_t XcbConnection::atom(const char *name, bool onlyIfExists) const
{
    if (!isValid())
        return XCB_ATOM_NONE;
    const auto cookie = xcb_intern_atom(m_connection, onlyIfExists, uint16_t(std::strlen(name)), name);
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}
