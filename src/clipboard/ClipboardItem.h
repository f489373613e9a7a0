#pragma once

#include "clipboard/ClipboardImage.h"
#include "clipboard/ClipboardText.h"

#include <QByteArray>
#include <QImage>
#include <QMetaType>
#include <QString>
#include <QUuid>

#include <optional>

// One entry of the clipboard history: a copied text or a copied image, with an
// identity of its own and, for an image, the text recognised in it.
//
// A value type: copies share the prepared, never modified content (see
// ClipboardText and ClipboardImage). Two items are equal by content only;
// neither the id nor the recognised text takes part in the comparison.
class ClipboardItem
{
public:
    ClipboardItem() = default;
    ClipboardItem(QUuid id, std::optional<ClipboardText> text, std::optional<ClipboardImage> image,
                  std::optional<QString> extractedText = std::nullopt);

    // A new text entry / image entry with a fresh random id, prepared on the
    // calling thread.
    static ClipboardItem fromText(const QString &text);
    static ClipboardItem fromImage(const QImage &image);

    QUuid id() const { return m_id; }
    bool hasText() const { return m_text.has_value(); }
    bool hasImage() const { return m_image.has_value(); }
    const std::optional<ClipboardText> &textContent() const { return m_text; }
    const std::optional<ClipboardImage> &imageContent() const { return m_image; }
    // The whole text / the full picture, decoded on every call.
    std::optional<QString> text() const;
    std::optional<QImage> image() const;

    const std::optional<QString> &extractedText() const { return m_extractedText; }
    void setExtractedText(const std::optional<QString> &text);

    // What a search looks at: the text's search form, else the recognised
    // text's; null when the item has neither.
    const QByteArray *searchForm() const;

    // Content equality decided from hashes and bytes alone; nothing when the
    // decoded contents must be compared (see ClipboardText, ClipboardImage).
    static std::optional<bool> quickCompare(const ClipboardItem &a, const ClipboardItem &b);

    // Content equality: two texts compare under Unicode canonical equivalence
    // (no trimming, no case folding); otherwise two images compare by their
    // pixels; a text never equals an image. Exact: decodes when the hashes
    // match but the bytes differ.
    friend bool operator==(const ClipboardItem &a, const ClipboardItem &b);

private:
    QUuid m_id;
    std::optional<ClipboardText> m_text;
    std::optional<ClipboardImage> m_image;
    std::optional<QString> m_extractedText;
    QByteArray m_extractedSearchForm;
};

Q_DECLARE_METATYPE(ClipboardItem)
