#pragma once

#include "KeyboardShortcuts/KeyboardLayout.h"

#include <QByteArray>

#include <memory>

class XcbConnection;
struct xkb_context;
struct xkb_keymap;

namespace KeyboardShortcuts {

// The current X keyboard layout through xkbcommon: the character a key types
// at its first shift level in the group that is active right now. The keymap
// and the group are fetched from the server on every call (over a private
// connection), so a layout switch (setxkbmap, the desktop's layout switcher)
// shows at once.
class XkbKeyboardLayout final : public KeyboardLayout
{
public:
    // Connects to the display named in DISPLAY when displayName is empty.
    explicit XkbKeyboardLayout(const QByteArray &displayName = {});
    ~XkbKeyboardLayout() override;

    bool isValid() const { return m_ready; }

    std::optional<QString> unshiftedText(int carbonKeyCode) const override;

    // The one character the key with this xkb keycode types at the first
    // shift level of group; none for dead keys, function keys and keys with
    // more or fewer symbols. Shared with the Wayland layout, whose keycodes
    // are the same (evdev + 8).
    static std::optional<QString> keyText(xkb_keymap *keymap, quint32 keyCode, quint32 group);

private:
    struct ContextDeleter
    {
        void operator()(xkb_context *context) const;
    };

    std::unique_ptr<XcbConnection> m_connection;
    std::unique_ptr<xkb_context, ContextDeleter> m_context;
    bool m_ready = false;
};

} // namespace KeyboardShortcuts
