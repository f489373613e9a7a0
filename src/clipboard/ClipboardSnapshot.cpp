#include "clipboard/ClipboardSnapshot.h"

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
