#include "KeyboardShortcuts/ShortcutsLogging.h"

Q_LOGGING_CATEGORY(lcShortcuts, "halvex.shortcuts", QtInfoMsg)
