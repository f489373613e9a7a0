#include "settings/SettingsLogging.h"

Q_LOGGING_CATEGORY(lcSettings, "halvex.settings", QtInfoMsg)
