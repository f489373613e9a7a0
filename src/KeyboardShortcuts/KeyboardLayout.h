#pragma once

#include <QString>

#include <optional>

namespace KeyboardShortcuts {

// The user's current keyboard layout, as far as shortcut texts need it.
class KeyboardLayout
{
public:
    virtual ~KeyboardLayout() = default;

    // What the key with this Carbon code types without any modifier in the
    // layout that is active right now; none when the key types nothing (a dead
    // key, a modifier) or the layout cannot be read. Implementations read the
    // layout again on every call.
    virtual std::optional<QString> unshiftedText(int carbonKeyCode) const = 0;
};

} // namespace KeyboardShortcuts
