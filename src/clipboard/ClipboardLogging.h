#pragma once

#include <QLoggingCategory>

// The clipboard module's log: captures, skipped changes, fetch failures.
// Debug messages are off unless enabled, e.g. with
// QT_LOGGING_RULES="halvex.clipboard.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcClipboard)
