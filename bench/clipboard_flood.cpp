// Floods the CLIPBOARD selection: clipboard_flood <changes per second> <seconds>
//
// Two windows of one client take the selection in turn at the given rate, each
// change offering a new text ("flood 1", "flood 2", ...) that is served to
// whoever asks while it is current. Prints "flooding" when it starts and
// "changes <n>" when it is done. For measuring how a clipboard watcher copes,
// not for tests.

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
    const long rate = argc == 3 ? std::strtol(argv[1], nullptr, 10) : 0;
    const double seconds = argc == 3 ? std::strtod(argv[2], nullptr) : 0;
    if (rate <= 0 || seconds <= 0) {
        std::fprintf(stderr, "usage: %s <changes per second> <seconds>\n", argv[0]);
        return 2;
    }
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t clipboard = internAtom(c, "CLIPBOARD");
    const xcb_atom_t targets = internAtom(c, "TARGETS");
    const xcb_atom_t utf8 = internAtom(c, "UTF8_STRING");
    xcb_window_t windows[2];
    for (xcb_window_t &window : windows) {
        window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    }

    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::nanoseconds(1000000000L / rate);
    const auto end
        = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    auto next = Clock::now();
    long changes = 0;
    std::string text;
    std::printf("flooding\n");
    std::fflush(stdout);
    while (Clock::now() < end) {
        if (Clock::now() >= next) {
            text = "flood " + std::to_string(++changes);
            xcb_set_selection_owner(c, windows[changes % 2], clipboard, XCB_CURRENT_TIME);
            xcb_flush(c);
            next += period;
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
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
        pollfd fd {xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&fd, 1, int(wait > 0 ? wait : 0));
    }
    std::printf("changes %ld\n", changes);
    xcb_disconnect(c);
    return 0;
}
