#include "clipboard/ClipboardItem.h"

#include <QColorSpace>

#include <cstring>

ClipboardItem::ClipboardItem(QUuid id, std::optional<QString> text, std::optional<QImage> image,
                             std::optional<QString> extractedText)
    : m_id(id)
    , m_text(std::move(text))
    , m_image(std::move(image))
    , m_extractedText(std::move(extractedText))
{ }

ClipboardItem ClipboardItem::fromText(const QString &text)
{
    return ClipboardItem(QUuid::createUuid(), text, std::nullopt);
}

ClipboardItem ClipboardItem::fromImage(const QImage &image)
{
    return ClipboardItem(QUuid::createUuid(), std::nullopt, image);
}

bool ClipboardItem::textsEqual(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    // Canonically equivalent strings have identical canonical decompositions.
    return a.normalized(QString::NormalizationForm_D) == b.normalized(QString::NormalizationForm_D);
}

bool ClipboardItem::imagesEqual(const QImage &a, const QImage &b)
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

bool operator==(const ClipboardItem &a, const ClipboardItem &b)
{
    if (a.m_text && b.m_text)
        return ClipboardItem::textsEqual(*a.m_text, *b.m_text);
    if (a.m_image && b.m_image)
        return ClipboardItem::imagesEqual(*a.m_image, *b.m_image);
    return false;
}
