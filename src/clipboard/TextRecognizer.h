#pragma once

#include <QImage>
#include <QString>

#include <optional>

// On-device text recognition of one image. recognize() is called on worker
// threads, possibly on several at once: an implementation must be safe for
// that (for example one engine instance per thread). It never throws and
// yields text only when some was found.
class TextRecognizer
{
public:
    virtual ~TextRecognizer() = default;
    virtual std::optional<QString> recognize(const QImage &image) = 0;
};
