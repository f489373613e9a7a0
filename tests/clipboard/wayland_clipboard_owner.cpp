// A Wayland clipboard owner that misbehaves on purpose, through the
// compositor's data control:
//   wayland_clipboard_owner secret TEXT   offers TEXT with the password-manager hint
//   wayland_clipboard_owner hang          offers text and never sends any of it
// Prints "ready" once it owns the clipboard; runs until it loses it or is killed.
#include "wayland/WaylandConnection.h"
#include "wayland/protocols/wlr-data-control-unstable-v1-client-protocol.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

namespace {

std::string text;
bool hang = false;
bool cancelled = false;
std::vector<int> heldOpen;

void send(void *, zwlr_data_control_source_v1 *, const char *, int32_t fd)
{
    if (hang) {
        heldOpen.push_back(fd); // never written, never closed
        return;
    }
    [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
    ::close(fd);
}

void cancel(void *, zwlr_data_control_source_v1 *)
{
    cancelled = true;
}

const zwlr_data_control_source_v1_listener sourceListener = {send, cancel};

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2 || (std::strcmp(argv[1], "secret") != 0 && std::strcmp(argv[1], "hang") != 0)) {
        std::fprintf(stderr, "usage: wayland_clipboard_owner secret TEXT | hang\n");
        return 2;
    }
    hang = std::strcmp(argv[1], "hang") == 0;
    text = argc > 2 ? argv[2] : "";
    WaylandConnection connection;
    auto *seat = static_cast<wl_seat *>(connection.bind(&wl_seat_interface, 1));
    auto *manager = static_cast<zwlr_data_control_manager_v1 *>(
        connection.bind(&zwlr_data_control_manager_v1_interface, 1));
    if (!seat || !manager) {
        std::fprintf(stderr, "wayland_clipboard_owner: no data control here\n");
        return 1;
    }
    zwlr_data_control_device_v1 *device = zwlr_data_control_manager_v1_get_data_device(manager, seat);
    // No listener on the device: the offers of later selections are ignored.
    zwlr_data_control_source_v1 *source = zwlr_data_control_manager_v1_create_data_source(manager);
    zwlr_data_control_source_v1_add_listener(source, &sourceListener, nullptr);
    zwlr_data_control_source_v1_offer(source, "text/plain;charset=utf-8");
    zwlr_data_control_source_v1_offer(source, "text/plain");
    if (!hang)
        zwlr_data_control_source_v1_offer(source, "x-kde-passwordManagerHint");
    zwlr_data_control_device_v1_set_selection(device, source);
    connection.roundtrip();
    std::puts("ready");
    std::fflush(stdout);
    while (!cancelled && wl_display_dispatch(connection.display()) >= 0) { }
    return 0;
}
