#pragma once

#include "KeyboardShortcuts/Shortcut.h"

class QAction;
class QWidget;

namespace KeyboardShortcuts {

// The first action of a menu (a QMenu, or a QMenuBar as the main menu) that
// already uses the shortcut, searched depth first in menu order: an item is
// compared before its own submenu is searched. Every single-chord shortcut of
// an action counts; keypad shortcuts never match. Null when none does.
QAction *menuItemWithMatchingShortcut(const Shortcut &shortcut, const QWidget *menu);

} // namespace KeyboardShortcuts
