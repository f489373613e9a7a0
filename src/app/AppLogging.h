#pragma once

#include <QLoggingCategory>

// The application shell's log (halvex.app): start-up, the panel's showing
// and hiding, type-ahead, focus hand-back, messages from other launches.
// Debug messages are off unless enabled, e.g. with
// QT_LOGGING_RULES="halvex.app.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
