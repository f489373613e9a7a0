#pragma once

#include <QLoggingCategory>

// The clipboard module's log: captures, skipped changes, fetch failures.
Q_DECLARE_LOGGING_CATEGORY(lcClipboard)
