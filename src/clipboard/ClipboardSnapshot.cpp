#include "clipboard/ClipboardSnapshot.h"

#include "clipboard/ClipboardReadRules.h"

namespace {

template<typename T> bool surelySame(const std::optional<T> &a, const std::optional<T> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || T::quickCompare(*a, *b).value_or(false);
}

} // namespace

bool ClipboardSnapshot::sameContent(const ClipboardSnapshot &a, const ClipboardSnapshot &b)
{
    return surelySame(a.image, b.image) && surelySame(a.text, b.text);
}

ClipboardSnapshot ClipboardSnapshot::ofImage(const QByteArray &encoded, const QImage &decoded)
{
    return {0, ClipboardImage::fromPng(encoded, decoded), std::nullopt};
}

ClipboardSnapshot ClipboardSnapshot::ofText(const QByteArray &bytes, bool latin1)
{
    if (latin1)
        return {0, std::nullopt, ClipboardText::fromString(ClipboardReadRules::decodeText(bytes, true))};
    return {0, std::nullopt, ClipboardText::fromUtf8(ClipboardReadRules::withoutTrailingNuls(bytes))};
}
