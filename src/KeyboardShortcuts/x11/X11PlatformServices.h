#pragma once

#include "KeyboardShortcuts/PlatformServices.h"

namespace KeyboardShortcuts {

// The X11 implementations of the shortcut subsystem's platform services:
// xkbcommon layout text, the X keycode table, trial-grab conflict checks, the
// recorder's active keyboard grab.
// The application installs them once with setPlatformServices().
PlatformServices x11PlatformServices();

} // namespace KeyboardShortcuts
