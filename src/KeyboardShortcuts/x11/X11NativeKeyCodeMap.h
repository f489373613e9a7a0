#pragma once

#include "KeyboardShortcuts/NativeKeyCodeMap.h"

namespace KeyboardShortcuts {

// Native scan codes of Qt's xcb platform are X keycodes; this maps them with
// the physical-key table.
class X11NativeKeyCodeMap final : public NativeKeyCodeMap
{
public:
    std::optional<int> carbonKeyCode(quint32 nativeScanCode) const override;
    std::optional<quint32> nativeScanCode(int carbonKeyCode) const override;
};

} // namespace KeyboardShortcuts
