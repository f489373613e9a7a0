#pragma once

#include "KeyboardShortcuts/ShortcutServices.h"

namespace KeyboardShortcuts {

// The X11 implementations of the shortcut subsystem's platform services:
// xkbcommon layout text, the X keycode table, trial-grab conflict checks, the
// recorder's active keyboard grab.
// The application installs them once with setShortcutServices().
ShortcutServices x11ShortcutServices();

} // namespace KeyboardShortcuts
