#pragma once

#include <QLoggingCategory>

// The views' log (halvex.views): the panel's placement and focus.
Q_DECLARE_LOGGING_CATEGORY(lcViews)
