#include "KeyboardShortcuts/wayland/WaylandKeyboardLayout.h"

#include "KeyboardShortcuts/ShortcutsLogging.h"
#include "KeyboardShortcuts/x11/X11KeyCodeTable.h"
#include "KeyboardShortcuts/x11/XkbKeyboardLayout.h"
#include "wayland/WaylandConnection.h"

#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace KeyboardShortcuts {

struct WaylandKeyboardLayout::Listener
{
    static void capabilities(void *data, wl_seat *seat, uint32_t caps)
    {
        auto *self = static_cast<WaylandKeyboardLayout *>(data);
        if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !self->m_keyboard) {
            self->m_keyboard = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(self->m_keyboard, &keyboard, self);
        }
    }
    static void name(void *, wl_seat *, const char *) { }
    static void keymap(void *data, wl_keyboard *, uint32_t format, int32_t fd, uint32_t size)
    {
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1)
            static_cast<WaylandKeyboardLayout *>(data)->setKeymap(fd, size);
        ::close(fd);
    }
    static void enter(void *, wl_keyboard *, uint32_t, wl_surface *, wl_array *) { }
    static void leave(void *, wl_keyboard *, uint32_t, wl_surface *) { }
    static void key(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t) { }
    static void modifiers(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) { }
    static void repeatInfo(void *, wl_keyboard *, int32_t, int32_t) { }

    static constexpr wl_seat_listener seat = {capabilities, name};
    static constexpr wl_keyboard_listener keyboard = {keymap, enter, leave, key, modifiers, repeatInfo};
};

WaylandKeyboardLayout::WaylandKeyboardLayout()
    : m_connection(std::make_unique<WaylandConnection>())
{
    m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    m_seat = static_cast<wl_seat *>(m_connection->bind(&wl_seat_interface, 4));
    if (!m_context || !m_seat) {
        qCWarning(lcShortcuts) << "no Wayland seat to read the keyboard layout from: keys show without their "
                                  "character";
        return;
    }
    wl_seat_add_listener(m_seat, &Listener::seat, this);
    // Capabilities, then the keymap.
    m_connection->roundtrip();
    m_connection->roundtrip();
}

WaylandKeyboardLayout::~WaylandKeyboardLayout()
{
    if (m_keyboard)
        wl_keyboard_release(m_keyboard);
    if (m_seat)
        wl_seat_release(m_seat);
    if (m_keymap)
        xkb_keymap_unref(m_keymap);
    if (m_context)
        xkb_context_unref(m_context);
}

bool WaylandKeyboardLayout::isValid() const
{
    return m_keymap != nullptr;
}

void WaylandKeyboardLayout::setKeymap(int fd, quint32 size)
{
    void *map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED)
        return;
    // The keymap text may or may not end with its terminating NUL.
    xkb_keymap *keymap = xkb_keymap_new_from_buffer(m_context, static_cast<const char *>(map),
                                                    strnlen(static_cast<const char *>(map), size),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ::munmap(map, size);
    if (!keymap)
        return;
    if (m_keymap)
        xkb_keymap_unref(m_keymap);
    m_keymap = keymap;
}

std::optional<QString> WaylandKeyboardLayout::unshiftedText(int carbonKeyCode) const
{
    if (!m_keyboard)
        return std::nullopt;
    // Takes in a keymap sent since the last call.
    m_connection->roundtrip();
    const std::optional<quint8> keyCode = xKeyCodeFromCarbon(carbonKeyCode);
    if (!m_keymap || !keyCode)
        return std::nullopt;
    return XkbKeyboardLayout::keyText(m_keymap, *keyCode, 0);
}

} // namespace KeyboardShortcuts
