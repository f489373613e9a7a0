// A CLIPBOARD owner for tests, written against xcb directly.
//
//   clipboard_owner_helper hung            owns the clipboard and never answers a request
//   clipboard_owner_helper secret <text>   offers <text> with the password-manager hint
//   clipboard_owner_helper huge <bytes>    offers a text as an incremental transfer announcing <bytes>;
//                                          prints "transfer started" if the requestor asks for the data
//
// Prints "ready" once it owns the clipboard, and "served <target>" for every
// content request it answers. Exits when another client takes the clipboard.

#include "support/XcbSelectionOwner.h"

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char *argv[])
{
    const std::string mode = argc >= 2 ? argv[1] : "";
    if (!(mode == "hung" || ((mode == "secret" || mode == "huge") && argc >= 3))) {
        std::fprintf(stderr, "usage: %s hung | secret <text> | huge <bytes>\n", argv[0]);
        return 2;
    }
    const bool hung = mode == "hung";
    const bool huge = mode == "huge";
    const std::string text = hung ? std::string() : std::string(argv[2]);

    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const xcb_atom_t clipboard = internAtom(c, "CLIPBOARD");
    const xcb_atom_t targets = internAtom(c, "TARGETS");
    const xcb_atom_t utf8 = internAtom(c, "UTF8_STRING");
    const xcb_atom_t hint = internAtom(c, "x-kde-passwordManagerHint");
    const xcb_atom_t incr = internAtom(c, "INCR");
    xcb_window_t incrRequestor = XCB_WINDOW_NONE;
    xcb_atom_t incrProperty = XCB_ATOM_NONE;

    const xcb_window_t window = createOwnerWindow(c, XCB_EVENT_MASK_PROPERTY_CHANGE);
    // A real timestamp: a zero-length append to our own property.
    xcb_change_property(c, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(c);
    xcb_timestamp_t now = XCB_CURRENT_TIME;
    while (xcb_generic_event_t *event = xcb_wait_for_event(c)) {
        const bool got = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
        if (got)
            now = reinterpret_cast<xcb_property_notify_event_t *>(event)->time;
        std::free(event);
        if (got)
            break;
    }
    xcb_set_selection_owner(c, window, clipboard, now);
    xcb_get_selection_owner_reply_t *owner
        = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr);
    const bool owning = owner && owner->owner == window;
    std::free(owner);
    if (!owning)
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);

    while (xcb_generic_event_t *event = xcb_wait_for_event(c)) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR) {
            std::free(event);
            break;
        }
        if (type == XCB_PROPERTY_NOTIFY) {
            const auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if (notify->window == incrRequestor && notify->atom == incrProperty
                && notify->state == XCB_PROPERTY_DELETE) {
                std::printf("transfer started\n");
                std::fflush(stdout);
            }
        }
        if (type == XCB_SELECTION_REQUEST && !hung) {
            const auto *request = reinterpret_cast<xcb_selection_request_event_t *>(event);
            xcb_atom_t property = request->property == XCB_ATOM_NONE ? request->target : request->property;
            if (request->target == targets) {
                const xcb_atom_t offered[] = {targets, utf8, hint};
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, XCB_ATOM_ATOM, 32,
                                    huge ? 2 : 3, offered);
            } else if (request->target == utf8 && huge) {
                // Announce the size, then wait for the requestor to delete the
                // property, which would ask for the first chunk.
                const uint32_t announced = uint32_t(std::strtoul(text.c_str(), nullptr, 10));
                const uint32_t watch = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, request->requestor, XCB_CW_EVENT_MASK, &watch);
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, incr, 32, 1,
                                    &announced);
                incrRequestor = request->requestor;
                incrProperty = property;
            } else if (request->target == utf8 || request->target == hint) {
                const std::string value = request->target == utf8 ? text : std::string("secret");
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, request->target,
                                    8, uint32_t(value.size()), value.data());
                std::printf("served %s\n",
                            request->target == utf8 ? "UTF8_STRING" : "x-kde-passwordManagerHint");
                std::fflush(stdout);
            } else {
                property = XCB_ATOM_NONE;
            }
            notifyRequestor(c, request, property);
        }
        std::free(event);
    }
    xcb_disconnect(c);
    return 0;
}
