#include "clipboard/ClipboardImage.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCryptographicHash>

#include <cstring>

namespace {

QByteArray encodePng(const QImage &image)
{
    QByteArray png;
    if (image.isNull())
        return png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    return png;
}

template<typename T> void addValue(QCryptographicHash &hash, T value)
{
    hash.addData(QByteArrayView(reinterpret_cast<const char *>(&value), sizeof value));
}

// Hashes what pixelsEqual() compares, so that equal pictures hash equally.
QByteArray hashPixels(const QImage &image)
{
    QCryptographicHash hash(QCryptographicHash::Blake2b_256);
    if (image.isNull()) {
        hash.addData(QByteArrayView("no picture"));
        return hash.result();
    }
    addValue(hash, qint32(image.format()));
    addValue(hash, qint32(image.width()));
    addValue(hash, qint32(image.height()));
    const QList<QRgb> table = image.colorTable();
    addValue(hash, qint32(table.size()));
    hash.addData(
        QByteArrayView(reinterpret_cast<const char *>(table.constData()), table.size() * sizeof(QRgb)));
    const QColorSpace space = image.colorSpace();
    addValue(hash, space.isValid());
    if (space.isValid()) {
        addValue(hash, qint32(space.primaries()));
        addValue(hash, qint32(space.transferFunction()));
        if (space.transferFunction() == QColorSpace::TransferFunction::Gamma)
            addValue(hash, space.gamma());
    }
    const qsizetype lineBytes = (qsizetype(image.width()) * image.depth() + 7) / 8;
    for (int y = 0; y < image.height(); ++y)
        hash.addData(QByteArrayView(reinterpret_cast<const char *>(image.constScanLine(y)), lineBytes));
    return hash.result();
}

QImage thumbnailOf(const QImage &image)
{
    if (image.isNull())
        return {};
    const QSize box = ClipboardImage::thumbnailBox;
    if (image.width() <= box.width() && image.height() <= box.height())
        return image;
    const QSize fit = image.size().scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return image.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

ClipboardImage::ClipboardImage(std::shared_ptr<const Data> data)
    : d(std::move(data))
{ }

ClipboardImage ClipboardImage::prepare(QByteArray png, const QImage &decoded)
{
    auto data = std::make_shared<Data>();
    data->png = std::move(png);
    data->size = decoded.size();
    data->thumbnail = thumbnailOf(decoded);
    data->pixelHash = hashPixels(decoded);
    return ClipboardImage(std::move(data));
}

ClipboardImage ClipboardImage::fromImage(const QImage &image)
{
    QByteArray png = encodePng(image);
    // What the history keeps is the PNG: hash what it decodes to, which is
    // what every later reader of the entry sees.
    const QImage decoded = png.isEmpty() ? QImage() : QImage::fromData(png, "PNG");
    return prepare(std::move(png), decoded);
}

ClipboardImage ClipboardImage::fromPng(const QByteArray &png, const QImage &decoded)
{
    // An owner may label other data as PNG: keep only what is PNG.
    if (!png.startsWith("\x89PNG\r\n\x1a\n"))
        return fromImage(decoded);
    return prepare(png, decoded);
}

QImage ClipboardImage::decode() const
{
    return d->png.isEmpty() ? QImage() : QImage::fromData(d->png, "PNG");
}

std::optional<bool> ClipboardImage::quickCompare(const ClipboardImage &a, const ClipboardImage &b)
{
    if (a.d == b.d)
        return true;
    if (a.d->pixelHash != b.d->pixelHash)
        return false;
    if (a.d->png == b.d->png)
        return true;
    return std::nullopt;
}

bool ClipboardImage::equal(const ClipboardImage &a, const ClipboardImage &b)
{
    if (const std::optional<bool> quick = quickCompare(a, b))
        return *quick;
    return pixelsEqual(a.decode(), b.decode());
}

bool ClipboardImage::pixelsEqual(const QImage &a, const QImage &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (a.cacheKey() == b.cacheKey())
        return true; // the very same pixels
    if (a.format() != b.format() || a.size() != b.size() || a.colorTable() != b.colorTable()
        || a.colorSpace() != b.colorSpace())
        return false;
    // Compare only the bytes that hold pixels: the padding at the end of each
    // line is not part of the picture and may hold anything.
    const qsizetype lineBytes = (qsizetype(a.width()) * a.depth() + 7) / 8;
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(lineBytes)) != 0)
            return false;
    }
    return true;
}
