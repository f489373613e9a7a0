#pragma once

#include "clipboard/ClipboardImage.h"
#include "clipboard/ClipboardText.h"

#include <QMetaType>

#include <optional>

// What one read of the clipboard found, prepared for the history: an image,
// a text, both or nothing, with the change counter the provider gave that
// read. Made once (off the GUI thread by providers that read on their own)
// and never changed; copies share the prepared content.
struct ClipboardSnapshot
{
    qint64 changeCount = 0;
    std::optional<ClipboardImage> image;
    std::optional<ClipboardText> text;

    bool isEmpty() const { return !image && !text; }

    // Same content (kind, hashes and bytes), decided without decoding
    // anything; false when unsure.
    static bool sameContent(const ClipboardSnapshot &a, const ClipboardSnapshot &b);
};

Q_DECLARE_METATYPE(ClipboardSnapshot)
