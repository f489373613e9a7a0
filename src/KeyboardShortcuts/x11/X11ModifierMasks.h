#pragma once

#include <xcb/xcb.h>

#include <cstdint>

namespace KeyboardShortcuts {

// The X modifier bits of Alt, Super and Num Lock as the keyboard's modifier
// map assigns them right now (usually Mod1, Mod4 and Mod2, but never assumed).
// A mask of 0 means no key of that kind sits on any modifier.
struct X11ModifierMasks
{
    uint16_t alt = 0;
    uint16_t super = 0;
    uint16_t numLock = 0;
    uint16_t scrollLock = 0; // hotkeys grab every lock combination, this one too

    static X11ModifierMasks read(xcb_connection_t *connection);

    // The X modifier mask of a Carbon modifier mask: command -> Control,
    // control -> Super, option -> Alt, shift -> Shift. None when a needed
    // modifier is missing from the map or the function bit is set (no X
    // modifier stands for it).
    bool toXModifiers(int carbonModifiers, uint16_t &xModifiers) const;
};

} // namespace KeyboardShortcuts
