#pragma once

#include "KeyboardShortcuts/Shortcut.h"

#include <QString>

#include <optional>

// A stored shortcut in the words Wayland desktops use to bind keys.
namespace KeyboardShortcuts::ShortcutTriggerText {

// The key's xkb keysym name ("v", "comma", "F1", "Return"): what the current
// layout puts on the key, else what a US keyboard has there. None for keys
// with no keysym.
std::optional<QString> keysymName(const Shortcut &shortcut);

// "LOGO+SHIFT+v": a preferred trigger for the GlobalShortcuts portal.
QString portalTrigger(const Shortcut &shortcut);

// "Mod4+Shift+v": a key combination for sway's bindsym.
QString swayCombination(const Shortcut &shortcut);

} // namespace KeyboardShortcuts::ShortcutTriggerText
