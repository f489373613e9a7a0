#pragma once

#include <QtGlobal>

#include <optional>

namespace KeyboardShortcuts {

// Translates the platform's physical key numbers (on X11 the keycode Qt
// reports as QKeyEvent::nativeScanCode()) to Carbon virtual key codes and
// back. A key the platform has no counterpart for maps to nothing.
class NativeKeyCodeMap
{
public:
    virtual ~NativeKeyCodeMap() = default;

    virtual std::optional<int> carbonKeyCode(quint32 nativeScanCode) const = 0;
    virtual std::optional<quint32> nativeScanCode(int carbonKeyCode) const = 0;
};

} // namespace KeyboardShortcuts
