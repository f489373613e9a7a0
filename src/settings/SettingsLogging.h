#pragma once

#include <QLoggingCategory>

// The settings module's log (halvex.settings): login item and paste
// permission checks.
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
