#include "views/ViewsLogging.h"

Q_LOGGING_CATEGORY(lcViews, "halvex.views", QtInfoMsg)
