#include "clipboard/ClipboardLogging.h"

Q_LOGGING_CATEGORY(lcClipboard, "halvex.clipboard", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPaste, "halvex.clipboard.paste", QtInfoMsg)
Q_LOGGING_CATEGORY(lcOcr, "halvex.clipboard.ocr", QtInfoMsg)
