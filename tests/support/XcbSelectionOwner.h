#pragma once

// Pieces of the selection protocol that the test clipboard owners share
// (plain xcb programs, no Qt).

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

inline xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply
        = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// Tells the requestor that its request was answered in property
// (XCB_ATOM_NONE: refused).
inline void notifyRequestor(xcb_connection_t *c, const xcb_selection_request_event_t *request,
                            xcb_atom_t property)
{
    xcb_selection_notify_event_t notify {};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request->time;
    notify.requestor = request->requestor;
    notify.selection = request->selection;
    notify.target = request->target;
    notify.property = property;
    xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&notify));
    xcb_flush(c);
}

// An input-only window on the first screen, to own selections with.
inline xcb_window_t createOwnerWindow(xcb_connection_t *c, uint32_t eventMask = 0)
{
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, eventMask ? XCB_CW_EVENT_MASK : 0,
                      eventMask ? &eventMask : nullptr);
    return window;
}
