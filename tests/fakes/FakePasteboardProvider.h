#pragma once

#include "clipboard/PasteboardProvider.h"

#include <QImage>
#include <QList>
#include <QString>

#include <optional>

// An in-memory clipboard. Tests put content on it as another application
// would (copyText/copyImages, which move the change counter) and inspect what
// the manager wrote back.
class FakePasteboardProvider final : public PasteboardProvider
{
public:
    // Another application rewrites the clipboard.
    void copyText(const QString &text);
    void copyImages(const QList<QImage> &images);
    // Both at once, as an application offering an image with a caption.
    void copyImagesAndText(const QList<QImage> &images, const QString &text);
    // Sets the counter to any value, for example a lower one.
    void setChangeCount(qint64 count) { m_changeCount = count; }

    int writeCount() const { return m_writeCount; }
    const std::optional<QList<QImage>> &images() const { return m_images; }
    const std::optional<QString> &text() const { return m_text; }

    qint64 changeCount() const override { return m_changeCount; }
    std::optional<QList<QImage>> readImages() const override;
    std::optional<QString> string(const QString &type) const override;
    void clearContents() override;
    bool setString(const QString &string, const QString &type) override;
    bool writeImages(const QList<QImage> &images) override;

private:
    qint64 m_changeCount = 1000;
    std::optional<QList<QImage>> m_images;
    std::optional<QString> m_text;
    int m_writeCount = 0;
};
