// A CLIPBOARD owner for tests, written against xcb directly.
//
//   clipboard_owner_helper hung              owns the clipboard and never answers a request
//   clipboard_owner_helper secret <text>     offers <text> with the password-manager hint
//   clipboard_owner_helper huge <bytes>      offers a text as an incremental transfer announcing <bytes>;
//                                            prints "transfer started" if the requestor asks for the data
//   clipboard_owner_helper flood <seconds> <changes per second>
//                                            takes the clipboard again and again, each time with a new
//                                            text ("flood <n>"); prints "done <changes>" at the end
//
// Run as clipboard_flood_helper, it floods with the arguments of flood. Prints
// "ready" once it owns the clipboard (flood: when it starts), and "served
// <target>" for every content request it answers outside a flood. Exits when
// another client takes the clipboard, except in a flood.

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <vector>

static xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply
        = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

int main(int argc, char *argv[])
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (std::strstr(argv[0], "clipboard_flood_helper"))
        args.insert(args.begin(), "flood");
    const std::string mode = args.empty() ? "" : args[0];
    if (!(mode == "hung" || ((mode == "secret" || mode == "huge") && args.size() >= 2)
          || (mode == "flood" && args.size() >= 3))) {
        std::fprintf(stderr, "usage: %s hung | secret <text> | huge <bytes> | flood <seconds> <rate>\n",
                     argv[0]);
        return 2;
    }
    const bool flood = mode == "flood";
    std::string text = mode == "secret" || mode == "huge" ? args[1] : "";
    using Clock = std::chrono::steady_clock;
    const std::chrono::duration<double> duration(flood ? std::atof(args[1].c_str()) : 0);
    const std::chrono::duration<double> interval(flood ? 1.0 / std::atof(args[2].c_str()) : 0);

    std::setvbuf(stdout, nullptr, _IOLBF, 0);
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

    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    if (!flood)
        xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    xcb_flush(c);
    std::printf("ready\n");

    const Clock::time_point start = Clock::now();
    Clock::time_point next = start;
    long changes = 0;
    bool owning = true;
    while (owning && !xcb_connection_has_error(c)) {
        if (flood) {
            if (Clock::now() - start >= duration)
                break;
            if (Clock::now() >= next) {
                text = "flood " + std::to_string(++changes);
                xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
                xcb_flush(c);
                next += std::chrono::duration_cast<Clock::duration>(interval);
            }
            const auto wait
                = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
            pollfd fd {xcb_get_file_descriptor(c), POLLIN, 0};
            poll(&fd, 1, int(wait < 0 ? 0 : wait));
        }
        while (xcb_generic_event_t *event = flood ? xcb_poll_for_event(c) : xcb_wait_for_event(c)) {
            const uint8_t type = event->response_type & 0x7f;
            owning = flood || type != XCB_SELECTION_CLEAR;
            const auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if (type == XCB_PROPERTY_NOTIFY && notify->window == incrRequestor && notify->atom == incrProperty
                && notify->state == XCB_PROPERTY_DELETE) {
                std::printf("transfer started\n");
            }
            const auto *request = reinterpret_cast<xcb_selection_request_event_t *>(event);
            if (type == XCB_SELECTION_REQUEST && mode != "hung") {
                xcb_atom_t property
                    = request->property == XCB_ATOM_NONE ? request->target : request->property;
                if (request->target == targets) {
                    const xcb_atom_t offered[] = {targets, utf8, hint};
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, XCB_ATOM_ATOM,
                                        32, mode == "secret" ? 3 : 2, offered);
                } else if (request->target == utf8 && mode == "huge") {
                    // Announce the size, then wait for the requestor to delete
                    // the property, which would ask for the first chunk.
                    const uint32_t announced = uint32_t(std::strtoul(text.c_str(), nullptr, 10));
                    const uint32_t watch = XCB_EVENT_MASK_PROPERTY_CHANGE;
                    xcb_change_window_attributes(c, request->requestor, XCB_CW_EVENT_MASK, &watch);
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, incr, 32, 1,
                                        &announced);
                    incrRequestor = request->requestor;
                    incrProperty = property;
                } else if (request->target == utf8 || (request->target == hint && mode == "secret")) {
                    const std::string value = request->target == utf8 ? text : std::string("secret");
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                        request->target, 8, uint32_t(value.size()), value.data());
                    if (!flood)
                        std::printf("served %s\n",
                                    request->target == utf8 ? "UTF8_STRING" : "x-kde-passwordManagerHint");
                } else {
                    property = XCB_ATOM_NONE;
                }
                xcb_selection_notify_event_t reply {};
                reply.response_type = XCB_SELECTION_NOTIFY;
                reply.time = request->time;
                reply.requestor = request->requestor;
                reply.selection = request->selection;
                reply.target = request->target;
                reply.property = property;
                xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                               reinterpret_cast<const char *>(&reply));
                xcb_flush(c);
            }
            std::free(event);
            if (!owning)
                break;
        }
    }
    if (flood) {
        std::printf("done %ld\n", changes);
    }
    xcb_disconnect(c);
    return 0;
}
