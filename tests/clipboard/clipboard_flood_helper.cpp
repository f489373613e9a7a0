// Changes the CLIPBOARD as fast as asked, for the flood test:
//
//   clipboard_flood_helper <seconds> <changes per second>
//
// Takes the selection again and again, each time with a new text
// ("flood <n>"), and serves TARGETS and UTF8_STRING requests for the current
// text meanwhile. Prints "ready" when it starts and "done <changes>" at the end.

#include "support/XcbSelectionOwner.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <seconds> <changes per second>\n", argv[0]);
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    const auto duration = std::chrono::duration<double>(std::atof(argv[1]));
    const auto interval = std::chrono::duration<double>(1.0 / std::atof(argv[2]));

    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const xcb_atom_t clipboard = internAtom(c, "CLIPBOARD");
    const xcb_atom_t targets = internAtom(c, "TARGETS");
    const xcb_atom_t utf8 = internAtom(c, "UTF8_STRING");
    const xcb_window_t window = createOwnerWindow(c);
    std::printf("ready\n");
    std::fflush(stdout);

    const Clock::time_point start = Clock::now();
    Clock::time_point next = start;
    long changes = 0;
    std::string text;
    while (Clock::now() - start < duration) {
        if (Clock::now() >= next) {
            text = "flood " + std::to_string(++changes);
            xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
            xcb_flush(c);
            next += std::chrono::duration_cast<Clock::duration>(interval);
        }
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
                const auto *request = reinterpret_cast<xcb_selection_request_event_t *>(event);
                xcb_atom_t property
                    = request->property == XCB_ATOM_NONE ? request->target : request->property;
                if (request->target == targets) {
                    const xcb_atom_t offered[] = {targets, utf8};
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, XCB_ATOM_ATOM,
                                        32, 2, offered);
                } else if (request->target == utf8) {
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, utf8, 8,
                                        uint32_t(text.size()), text.data());
                } else {
                    property = XCB_ATOM_NONE;
                }
                notifyRequestor(c, request, property);
            }
            std::free(event);
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
        pollfd fd {xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&fd, 1, int(wait < 0 ? 0 : wait));
        if (xcb_connection_has_error(c))
            return 1;
    }
    std::printf("done %ld\n", changes);
    std::fflush(stdout);
    xcb_disconnect(c);
    return 0;
}
