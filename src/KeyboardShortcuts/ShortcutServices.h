#pragma once

#include <memory>

namespace KeyboardShortcuts {

class KeyboardLayout;
class NativeKeyCodeMap;
class RecorderKeyboardGrab;
class SystemShortcutSource;

// The platform services behind shortcut texts, conflict checks and the
// recorder's hold on the keyboard. The application picks them once at
// start-up (src/app); until then, and for any member left empty, null
// implementations stand in: no layout text, no native key codes, nothing
// taken, no keyboard grab. This is process-wide state of the shortcut
// subsystem, kept here in one place.
struct ShortcutServices
{
    std::shared_ptr<const KeyboardLayout> keyboardLayout;
    std::shared_ptr<const NativeKeyCodeMap> nativeKeyCodes;
    std::shared_ptr<SystemShortcutSource> systemShortcuts;
    std::shared_ptr<RecorderKeyboardGrab> recorderKeyboardGrab;
};

void setShortcutServices(ShortcutServices services);
// Back to the null implementations (tests start from here).
void resetShortcutServices();
// Never holds an empty member. Main thread only.
const ShortcutServices &shortcutServices();

} // namespace KeyboardShortcuts
