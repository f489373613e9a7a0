#pragma once

#include "KeyboardShortcuts/KeyboardLayout.h"

#include <memory>

class WaylandConnection;
struct wl_keyboard;
struct wl_seat;
struct xkb_context;
struct xkb_keymap;

namespace KeyboardShortcuts {

// The seat's keyboard layout on Wayland: the compositor sends every client
// its keymap, also one without focus. Kept on a private connection; each call
// first takes in a keymap the compositor sent since (a layout switch), then
// answers from the first group, as Wayland tells the active group only to
// the focused client.
class WaylandKeyboardLayout final : public KeyboardLayout
{
public:
    WaylandKeyboardLayout();
    ~WaylandKeyboardLayout() override;

    bool isValid() const;
    std::optional<QString> unshiftedText(int carbonKeyCode) const override;

private:
    struct Listener;

    void setKeymap(int fd, quint32 size);

    std::unique_ptr<WaylandConnection> m_connection;
    xkb_context *m_context = nullptr;
    xkb_keymap *m_keymap = nullptr;
    wl_seat *m_seat = nullptr;
    wl_keyboard *m_keyboard = nullptr;
};

} // namespace KeyboardShortcuts
