#pragma once

#include <QLoggingCategory>

// The shortcut subsystem's log (halvex.shortcuts): hotkey grabs and events,
// keyboard layout and system-shortcut checks, the resource bundle.
// Debug messages are off unless enabled, e.g. with
// QT_LOGGING_RULES="halvex.shortcuts.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcShortcuts)
