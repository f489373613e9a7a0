// Holds a passive key grab on the root window for another client's tests:
// grab_holder <keycode> <modifier-mask>. Prints "grabbed" (or "failed <code>")
// and keeps the grab until it is killed or its standard input closes.

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: grab_holder <keycode> <modifier-mask>\n");
        return 2;
    }
    const auto keycode = xcb_keycode_t(std::atoi(argv[1]));
    const auto modifiers = uint16_t(std::atoi(argv[2]));
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::printf("failed connect\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_void_cookie_t cookie = xcb_grab_key_checked(connection, 0, root, modifiers, keycode,
                                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_generic_error_t *error = xcb_request_check(connection, cookie);
    if (error) {
        std::printf("failed %d\n", error->error_code);
        std::free(error);
        xcb_disconnect(connection);
        return 1;
    }
    std::printf("grabbed\n");
    std::fflush(stdout);
    char buffer[64];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) { }
    xcb_disconnect(connection);
    return 0;
}
