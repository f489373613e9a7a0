#pragma once

#include <QImage>
#include <QMetaType>
#include <QString>
#include <QUuid>

#include <optional>

// One entry of the clipboard history: a copied text or a copied image, with an
// identity of its own and, for an image, the text recognised in it.
//
// A value type: copies share the (implicitly shared, never modified) image.
// Two items are equal by content only; neither the id nor the recognised text
// takes part in the comparison.
class ClipboardItem
{
public:
    ClipboardItem() = default;
    ClipboardItem(QUuid id, std::optional<QString> text, std::optional<QImage> image,
                  std::optional<QString> extractedText = std::nullopt);

    // A new text entry / image entry with a fresh random id.
    static ClipboardItem fromText(const QString &text);
    static ClipboardItem fromImage(const QImage &image);

    QUuid id() const { return m_id; }
    const std::optional<QString> &text() const { return m_text; }
    const std::optional<QImage> &image() const { return m_image; }
    const std::optional<QString> &extractedText() const { return m_extractedText; }
    void setExtractedText(const std::optional<QString> &text) { m_extractedText = text; }

    // Content equality: two texts compare under Unicode canonical equivalence
    // (no trimming, no case folding); otherwise two images compare by their
    // lossless encoding; a text never equals an image.
    friend bool operator==(const ClipboardItem &a, const ClipboardItem &b);

    // Text equality under canonical equivalence ("é" precomposed equals "e" +
    // combining acute).
    static bool textsEqual(const QString &a, const QString &b);

    // Byte equality of the images' lossless encoding: format, size, colour
    // table, colour space and the pixel bytes of every line. A null image encodes to no
    // data: two null images are equal, a null and a non-null one are not.
    static bool imagesEqual(const QImage &a, const QImage &b);

private:
    QUuid m_id;
    std::optional<QString> m_text;
    std::optional<QImage> m_image;
    std::optional<QString> m_extractedText;
};

Q_DECLARE_METATYPE(ClipboardItem)
