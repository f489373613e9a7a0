#include "KeyboardShortcuts/x11/X11ShortcutServices.h"

#include "KeyboardShortcuts/x11/X11NativeKeyCodeMap.h"
#include "KeyboardShortcuts/x11/X11RecorderKeyboardGrab.h"
#include "KeyboardShortcuts/x11/X11SystemShortcutSource.h"
#include "KeyboardShortcuts/x11/XkbKeyboardLayout.h"

namespace KeyboardShortcuts {

ShortcutServices x11ShortcutServices()
{
    ShortcutServices services;
    services.keyboardLayout = std::make_shared<XkbKeyboardLayout>();
    services.nativeKeyCodes = std::make_shared<X11NativeKeyCodeMap>();
    services.systemShortcuts = std::make_shared<X11SystemShortcutSource>();
    services.recorderKeyboardGrab = std::make_shared<X11RecorderKeyboardGrab>();
    return services;
}

} // namespace KeyboardShortcuts
