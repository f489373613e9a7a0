#pragma once

#include "KeyboardShortcuts/Shortcut.h"

#include <QList>
#include <QVariant>

namespace KeyboardShortcuts {

// Reads a list of system hotkeys in the shape macOS hands out (an array of
// dictionaries with "kHISymbolicHotKeyEnabled" (Boolean),
// "kHISymbolicHotKeyCode" and "kHISymbolicHotKeyModifiers" (integers)) into
// shortcuts: entries that are disabled or malformed are skipped, the others
// keep their order and their duplicates, with the modifiers normalised. A
// value that is not a list of string-keyed maps gives the empty list.
QList<Shortcut> shortcutsFromSymbolicHotKeys(const QVariant &hotKeys);

} // namespace KeyboardShortcuts
