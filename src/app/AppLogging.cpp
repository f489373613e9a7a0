#include "app/AppLogging.h"

Q_LOGGING_CATEGORY(lcShell, "halvex.app.shell")
