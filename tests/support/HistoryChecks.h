#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class ClipboardManager;

// Checks of the history store shared by the tests of each platform's
// clipboard provider, which feed it through different real clients.
namespace HistoryChecks {

// The entries newest first, as their texts ("<image>" for an image).
QStringList texts(const ClipboardManager &manager);

// Copies (with copy(data, mimeType), which returns once the copy is on the
// clipboard) a text with blanks and non-ASCII characters, then a PNG, then
// the text again, and checks that each is recorded as it should be.
void verifyTextAndPngCaptured(const ClipboardManager &manager,
                              const std::function<bool(const QByteArray &, const QString &)> &copy,
                              const QString &textType, int timeoutMs);

} // namespace HistoryChecks
