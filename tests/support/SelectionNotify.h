#pragma once

#include <xcb/xcb.h>

// Tells the requestor of a selection conversion that the answer is in
// property (XCB_ATOM_NONE: refused), as a selection owner must.
inline void sendSelectionNotify(xcb_connection_t *c, const xcb_selection_request_event_t *request,
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
