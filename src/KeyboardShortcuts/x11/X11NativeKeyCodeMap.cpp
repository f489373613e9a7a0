#include "KeyboardShortcuts/x11/X11NativeKeyCodeMap.h"

#include "KeyboardShortcuts/x11/X11KeyCodeTable.h"

namespace KeyboardShortcuts {

std::optional<int> X11NativeKeyCodeMap::carbonKeyCode(quint32 nativeScanCode) const
{
    return carbonKeyCodeFromX(nativeScanCode);
}

std::optional<quint32> X11NativeKeyCodeMap::nativeScanCode(int carbonKeyCode) const
{
    if (const auto xKeyCode = xKeyCodeFromCarbon(carbonKeyCode))
        return *xKeyCode;
    return std::nullopt;
}

} // namespace KeyboardShortcuts
