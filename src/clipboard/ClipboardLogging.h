#pragma once

#include <QLoggingCategory>

// The clipboard module's logs. Debug messages are off unless enabled, e.g.
// with QT_LOGGING_RULES="halvex.clipboard.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcClipboard) // halvex.clipboard: captures, skipped changes, fetch failures
Q_DECLARE_LOGGING_CATEGORY(lcPaste) // halvex.clipboard.paste: the synthesised paste keystroke
Q_DECLARE_LOGGING_CATEGORY(lcOcr) // halvex.clipboard.ocr: text recognition
