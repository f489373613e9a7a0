#include "clipboard/ClipboardItem.h"

#include "clipboard/TextSearch.h"

ClipboardItem::ClipboardItem(QUuid id, std::optional<ClipboardText> text, std::optional<ClipboardImage> image,
                             std::optional<QString> extractedText)
    : m_id(id)
    , m_text(std::move(text))
    , m_image(std::move(image))
{
    setExtractedText(extractedText);
}

ClipboardItem ClipboardItem::fromText(const QString &text)
{
    return ClipboardItem(QUuid::createUuid(), ClipboardText::fromString(text), std::nullopt);
}

ClipboardItem ClipboardItem::fromImage(const QImage &image)
{
    return ClipboardItem(QUuid::createUuid(), std::nullopt, ClipboardImage::fromImage(image));
}

std::optional<QString> ClipboardItem::text() const
{
    return m_text ? std::optional<QString>(m_text->toString()) : std::nullopt;
}

std::optional<QImage> ClipboardItem::image() const
{
    return m_image ? std::optional<QImage>(m_image->decode()) : std::nullopt;
}

void ClipboardItem::setExtractedText(const std::optional<QString> &text)
{
    m_extractedText = text;
    // Recognised text is short: preparing its search form here is cheap.
    m_extractedSearchForm = text ? TextSearch::searchForm(*text) : QByteArray();
}

const QByteArray *ClipboardItem::searchForm() const
{
    if (m_text)
        return &m_text->searchForm();
    if (m_extractedText)
        return &m_extractedSearchForm;
    return nullptr;
}

std::optional<bool> ClipboardItem::quickCompare(const ClipboardItem &a, const ClipboardItem &b)
{
    if (a.m_text && b.m_text)
        return ClipboardText::quickCompare(*a.m_text, *b.m_text);
    if (a.m_image && b.m_image)
        return ClipboardImage::quickCompare(*a.m_image, *b.m_image);
    return false;
}

bool operator==(const ClipboardItem &a, const ClipboardItem &b)
{
    if (a.m_text && b.m_text)
        return ClipboardText::equal(*a.m_text, *b.m_text);
    if (a.m_image && b.m_image)
        return ClipboardImage::equal(*a.m_image, *b.m_image);
    return false;
}
