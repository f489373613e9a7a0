#include "app/AppLogging.h"

Q_LOGGING_CATEGORY(lcApp, "halvex.app", QtInfoMsg)
