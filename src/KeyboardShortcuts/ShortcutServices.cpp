#include "KeyboardShortcuts/ShortcutServices.h"

#include "KeyboardShortcuts/KeyboardLayout.h"
#include "KeyboardShortcuts/NativeKeyCodeMap.h"
#include "KeyboardShortcuts/RecorderKeyboardGrab.h"
#include "KeyboardShortcuts/ShortcutsLogging.h"
#include "KeyboardShortcuts/SystemShortcutSource.h"

namespace KeyboardShortcuts {

namespace {

class NullKeyboardLayout final : public KeyboardLayout
{
public:
    std::optional<QString> unshiftedText(int) const override
    {
        static bool told = false;
        if (!told) {
            qCInfo(lcShortcuts) << "no keyboard layout service: keys show without their character";
            told = true;
        }
        return std::nullopt;
    }
};

class NullNativeKeyCodeMap final : public NativeKeyCodeMap
{
public:
    std::optional<int> carbonKeyCode(quint32) const override { return std::nullopt; }
    std::optional<quint32> nativeScanCode(int) const override { return std::nullopt; }
};

class NullSystemShortcutSource final : public SystemShortcutSource
{
public:
    QList<Shortcut> reservedShortcuts() const override { return {}; }
};

class NullRecorderKeyboardGrab final : public RecorderKeyboardGrab
{
public:
    bool grab(QWindow *) override { return false; }
    void release() override { }
    bool isGrabbed() const override { return false; }
};

ShortcutServices withDefaults(ShortcutServices services)
{
    if (!services.keyboardLayout)
        services.keyboardLayout = std::make_shared<NullKeyboardLayout>();
    if (!services.nativeKeyCodes)
        services.nativeKeyCodes = std::make_shared<NullNativeKeyCodeMap>();
    if (!services.systemShortcuts)
        services.systemShortcuts = std::make_shared<NullSystemShortcutSource>();
    if (!services.recorderKeyboardGrab)
        services.recorderKeyboardGrab = std::make_shared<NullRecorderKeyboardGrab>();
    return services;
}

ShortcutServices &current()
{
    static ShortcutServices services = withDefaults({});
    return services;
}

} // namespace

void setShortcutServices(ShortcutServices services)
{
    current() = withDefaults(std::move(services));
}

void resetShortcutServices()
{
    current() = withDefaults({});
}

const ShortcutServices &shortcutServices()
{
    return current();
}

} // namespace KeyboardShortcuts
