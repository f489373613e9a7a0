#include "clipboard/ClipboardLogging.h"

Q_LOGGING_CATEGORY(lcClipboard, "halvex.clipboard")
