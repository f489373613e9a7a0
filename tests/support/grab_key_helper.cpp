// A stand-in for another application that holds global hotkeys: grabs each
// "keycode:modifiers" pair given on the command line on the root window,
// prints "grabbed" (or "failed") and keeps the grabs until it is killed or
// its standard input closes.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

int main(int argc, char *argv[])
{
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::puts("failed");
        return 1;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem && i < screenNumber; ++i)
        xcb_screen_next(&it);
    const xcb_window_t root = it.data->root;

    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        unsigned keyCode = 0;
        unsigned modifiers = 0;
        if (std::sscanf(argv[i], "%u:%u", &keyCode, &modifiers) != 2) {
            ok = false;
            continue;
        }
        const xcb_void_cookie_t cookie
            = xcb_grab_key_checked(connection, 1, root, uint16_t(modifiers), xcb_keycode_t(keyCode),
                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t *error = xcb_request_check(connection, cookie)) {
            std::free(error);
            ok = false;
        }
    }
    std::puts(ok ? "grabbed" : "failed");
    std::fflush(stdout);

    char line[64];
    while (std::fgets(line, sizeof line, stdin)) { }
    xcb_disconnect(connection);
    return ok ? 0 : 1;
}
