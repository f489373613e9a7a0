#include "KeyboardShortcuts/x11/X11ModifierMasks.h"

#include "x11/XcbKeySymbols.h"
#include "x11/XcbReply.h"

#include <xcb/xcb_keysyms.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <memory>

X11ModifierMasks X11ModifierMasks::read(xcb_connection_t *connection)
{
    X11ModifierMasks masks;
    if (!connection || xcb_connection_has_error(connection))
        return masks;

    XcbReply<xcb_get_modifier_mapping_reply_t> map(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    XcbKeySymbols symbols(xcb_key_symbols_alloc(connection));
    if (!map || !symbols)
        return masks;

    const int perModifier = map->keycodes_per_modifier;
    const xcb_keycode_t *keycodes = xcb_get_modifier_mapping_keycodes(map.get());
    // Shift, Lock and Control (indices 0-2) have fixed bits; Mod1..Mod5 are
    // whatever the keymap puts there.
    for (int modifier = 3; modifier < 8; ++modifier) {
        const quint16 bit = quint16(1u << modifier);
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t keycode = keycodes[modifier * perModifier + i];
            if (keycode == 0)
                continue;
            for (int column = 0; column < 4; ++column) {
                const xcb_keysym_t sym = xcb_key_symbols_get_keysym(symbols.get(), keycode, column);
                if ((sym == XKB_KEY_Alt_L || sym == XKB_KEY_Alt_R) && !masks.alt)
                    masks.alt = bit;
                else if ((sym == XKB_KEY_Super_L || sym == XKB_KEY_Super_R) && !masks.super)
                    masks.super = bit;
                else if (sym == XKB_KEY_Num_Lock && !masks.numLock)
                    masks.numLock = bit;
                else if (sym == XKB_KEY_Scroll_Lock && !masks.scrollLock)
                    masks.scrollLock = bit;
            }
        }
    }
    return masks;
}
