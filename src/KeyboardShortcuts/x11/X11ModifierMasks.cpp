#include "KeyboardShortcuts/x11/X11ModifierMasks.h"

#include "KeyboardShortcuts/ModifierFlags.h"
#include "x11/XcbReply.h"

#include <xcb/xcb_keysyms.h>

#include <memory>

namespace KeyboardShortcuts {

namespace {

constexpr xcb_keysym_t XK_Num_Lock = 0xff7f;
constexpr xcb_keysym_t XK_Scroll_Lock = 0xff14;
constexpr xcb_keysym_t XK_Meta_L = 0xffe7;
constexpr xcb_keysym_t XK_Meta_R = 0xffe8;
constexpr xcb_keysym_t XK_Alt_L = 0xffe9;
constexpr xcb_keysym_t XK_Alt_R = 0xffea;
constexpr xcb_keysym_t XK_Super_L = 0xffeb;
constexpr xcb_keysym_t XK_Super_R = 0xffec;

struct KeySymbolsDeleter
{
    void operator()(xcb_key_symbols_t *symbols) const { xcb_key_symbols_free(symbols); }
};

} // namespace

X11ModifierMasks X11ModifierMasks::read(xcb_connection_t *connection)
{
    X11ModifierMasks masks;
    if (!connection || xcb_connection_has_error(connection))
        return masks;
    const XcbReply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    if (!mapping)
        return masks;
    const std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter> symbols(xcb_key_symbols_alloc(connection));
    if (!symbols)
        return masks;

    const xcb_keycode_t *keyCodes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    // Rows 0-2 are Shift, Lock and Control; Mod1-Mod5 are rows 3-7.
    for (int row = 3; row < 8; ++row) {
        const uint16_t bit = uint16_t(1u << row);
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t keyCode = keyCodes[row * perModifier + i];
            if (keyCode == 0)
                continue;
            for (int column = 0; column < 4; ++column) {
                const xcb_keysym_t symbol = xcb_key_symbols_get_keysym(symbols.get(), keyCode, column);
                if ((symbol == XK_Alt_L || symbol == XK_Alt_R || symbol == XK_Meta_L || symbol == XK_Meta_R)
                    && !masks.alt) {
                    masks.alt = bit;
                } else if ((symbol == XK_Super_L || symbol == XK_Super_R) && !masks.super) {
                    masks.super = bit;
                } else if (symbol == XK_Num_Lock && !masks.numLock) {
                    masks.numLock = bit;
                } else if (symbol == XK_Scroll_Lock && !masks.scrollLock) {
                    masks.scrollLock = bit;
                }
            }
        }
    }
    return masks;
}

bool X11ModifierMasks::toXModifiers(int carbonModifiers, uint16_t &xModifiers) const
{
    if (carbonModifiers & CarbonModifier::function)
        return false;
    uint16_t result = 0;
    if (carbonModifiers & CarbonModifier::shift)
        result |= XCB_MOD_MASK_SHIFT;
    if (carbonModifiers & CarbonModifier::command)
        result |= XCB_MOD_MASK_CONTROL;
    if (carbonModifiers & CarbonModifier::option) {
        if (!alt)
            return false;
        result |= alt;
    }
    if (carbonModifiers & CarbonModifier::control) {
        if (!super)
            return false;
        result |= super;
    }
    xModifiers = result;
    return true;
}

} // namespace KeyboardShortcuts
