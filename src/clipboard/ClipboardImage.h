#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <memory>
#include <optional>

// A copied image, prepared once for the history and never changed. Kept
// compact: the PNG bytes (as the clipboard owner gave them, or one lossless
// encoding of another format), a small decoded thumbnail for the rows, the
// picture's size and a strong hash of its decoded pixels. The full picture is
// decoded only where it is needed (text recognition), never kept.
// Copies share the prepared data.
//
// Preparing decodes, hashes, scales and possibly encodes: do it off the GUI
// thread for clipboard captures.
class ClipboardImage
{
public:
    // The largest place that shows an image is a history-window row (288 x 36)
    // at device pixel ratio 2. Thumbnails fit in this box and are never
    // larger than the picture.
    static constexpr QSize thumbnailBox {576, 72};

    // From a decoded picture: encodes it as PNG.
    static ClipboardImage fromImage(const QImage &image);
    // From PNG bytes and the picture they decode to (the caller decoded them
    // already, usually to check the size first). Bytes that are not PNG
    // after all are replaced by a PNG encoding of the picture.
    static ClipboardImage fromPng(const QByteArray &png, const QImage &decoded);

    const QByteArray &png() const { return d->png; }
    QSize size() const { return d->size; }
    bool isNull() const { return d->size.isEmpty(); }
    const QImage &thumbnail() const { return d->thumbnail; }
    const QByteArray &pixelHash() const { return d->pixelHash; }

    // The full picture, decoded now; a null image when there is none.
    QImage decode() const;

    // Decides from the hashes and bytes alone: false when the hashes differ,
    // true when the PNG bytes are the same, nothing when only a comparison of
    // the decoded pixels can tell (equal hashes, different encodings).
    static std::optional<bool> quickCompare(const ClipboardImage &a, const ClipboardImage &b);
    // Exact: the same pixels. Decodes both when the quick comparison cannot tell.
    static bool equal(const ClipboardImage &a, const ClipboardImage &b);
    // The same pixels: format, size, colour table, colour space and the
    // bytes of every line. Two null images are equal; a null and a non-null
    // one are not.
    static bool pixelsEqual(const QImage &a, const QImage &b);

private:
    struct Data
    {
        QByteArray png;
        QSize size;
        QImage thumbnail;
        QByteArray pixelHash;
    };
    explicit ClipboardImage(std::shared_ptr<const Data> data);
    static ClipboardImage prepare(QByteArray png, const QImage &decoded);

    std::shared_ptr<const Data> d;
};
