#pragma once

#include <QtGlobal>

#include <optional>
#include <span>

namespace KeyboardShortcuts {

// One physical key: its Carbon virtual key code and the X keycode of the key
// in the same position on a PC keyboard (evdev code + 8).
struct X11KeyCodePair
{
    int carbonKeyCode;
    quint8 xKeyCode;
};

// The one table between Carbon key codes and X keycodes. It holds every named
// Key a PC keyboard has (all but Key::function) plus the ISO section key and
// the context-menu key. The modifier keys follow the modifier convention:
// command is Control, control is Super, option is Alt. The table is valid
// while the server's keycodes are evdev based, which is the case for every
// current X server on Linux.
std::span<const X11KeyCodePair> x11KeyCodeTable();

std::optional<quint8> xKeyCodeFromCarbon(int carbonKeyCode);
std::optional<int> carbonKeyCodeFromX(quint32 xKeyCode);

} // namespace KeyboardShortcuts
