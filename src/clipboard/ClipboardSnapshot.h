#pragma once

#include "clipboard/ClipboardImage.h"
#include "clipboard/ClipboardText.h"

#include <QByteArray>
#include <QImage>
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

    // Prepared from what a platform reader transferred, on the reader's own
    // thread. An image: the bytes as the owner gave them when they are PNG,
    // else one PNG encoding of decoded (the picture they decode to).
    static ClipboardSnapshot ofImage(const QByteArray &encoded, const QImage &decoded);
    // A text: Latin-1 when latin1, else UTF-8; trailing NUL terminators dropped.
    static ClipboardSnapshot ofText(const QByteArray &bytes, bool latin1);

    // Same content (kind, hashes and bytes), decided without decoding
    // anything; false when unsure.
    static bool sameContent(const ClipboardSnapshot &a, const ClipboardSnapshot &b);
};

Q_DECLARE_METATYPE(ClipboardSnapshot)
