#pragma once

#include <QtGlobal>

#include <xcb/xcb.h>

// The X modifier bits of the keys whose bit depends on the keymap: Alt, Super,
// NumLock and ScrollLock. Read from the server's modifier map; a key the map
// does not assign to any modifier has mask 0.
struct X11ModifierMasks
{
    quint16 alt = 0;
    quint16 super = 0;
    quint16 numLock = 0;
    quint16 scrollLock = 0;

    static X11ModifierMasks read(xcb_connection_t *connection);

    friend bool operator==(const X11ModifierMasks &, const X11ModifierMasks &) = default;
};
