#pragma once

#include "clipboard/PasteboardProvider.h"

// Stands in where the session gives no access to the clipboard: it never
// changes, holds nothing and takes no writes. The history stays empty.
class NullPasteboardProvider final : public PasteboardProvider
{
public:
    qint64 changeCount() const override { return 0; }
    std::optional<QList<QImage>> readImages() const override { return std::nullopt; }
    std::optional<QString> string(const QString &) const override { return std::nullopt; }
    void clearContents() override { }
    bool setString(const QString &, const QString &) override { return false; }
    bool writeImages(const QList<ClipboardImage> &) override { return false; }
};
