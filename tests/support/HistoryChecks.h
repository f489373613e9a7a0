#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class ClipboardItem;
class ClipboardManager;
class PasteboardProvider;

// Checks of the history store shared by the tests of each platform's
// clipboard provider, which feed it through different real clients.
namespace HistoryChecks {

// The entries newest first, as their texts ("<image>" for an image).
QStringList texts(const ClipboardManager &manager);

// Copies (with copy(data, mimeType), which returns once the copy is on the
// clipboard) a text with blanks and non-ASCII characters, then a PNG, then
// the text again, and checks that each is recorded as it should be.
using CopyFunction = std::function<bool(const QByteArray &, const QString &)>;
void verifyTextAndPngCaptured(const ClipboardManager &manager, const CopyFunction &copy,
                              const QString &textType, int timeoutMs);

// Pastes a text entry, then an image entry captured from an owner's PNG, back
// onto the clipboard (paste returns whether the entry is on it) and checks
// that readers (read(type)) get the entry's text under each of textTypes and
// the owner's very PNG bytes, as often as they ask, and that the write is not
// recorded: the next outside copy follows the one before it.
void verifyOwnWriteServedNotCaptured(const ClipboardManager &manager, const PasteboardProvider &provider,
                                     const CopyFunction &copy,
                                     const std::function<bool(const ClipboardItem &)> &paste,
                                     const std::function<QByteArray(const QString &)> &read,
                                     const QStringList &textTypes, int timeoutMs);

} // namespace HistoryChecks
