#include "clipboard/ClipboardItem.h"

#include <QColorSpace>

#include <algorithm>
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

// Index of the first code unit where a and b differ (the shorter length when
// one is a prefix of the other). Compares in blocks with memcmp first.
static qsizetype firstDifference(QStringView a, QStringView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    constexpr qsizetype block = 4096;
    qsizetype i = 0;
    while (i + block <= common && std::memcmp(a.data() + i, b.data() + i, block * sizeof(QChar)) == 0)
        i += block;
    while (i < common && a[i] == b[i])
        ++i;
    return i;
}

bool ClipboardItem::textsEqual(const QString &a, const QString &b)
{
    const qsizetype i = firstDifference(a, b);
    if (i == a.size() && i == b.size())
        return true;
    // Canonically equivalent texts have the same canonical decomposition
    // (NFD). Two cases settle it without decomposing:
    // - one text is a proper prefix of the other: decomposition never
    //   shortens a text, so the longer one's decomposition is longer;
    // - at the first difference both characters lie below U+00C0: such a
    //   character never decomposes and is a starter that reordering does not
    //   cross, so the decompositions differ at the same place.
    if (i == a.size() || i == b.size())
        return false;
    if (a[i].unicode() < 0xc0 && b[i].unicode() < 0xc0)
        return false;
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
