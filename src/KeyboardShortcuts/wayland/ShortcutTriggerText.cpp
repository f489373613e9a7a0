#include "KeyboardShortcuts/wayland/ShortcutTriggerText.h"

#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/x11/X11KeyCodeTable.h"

#include <QStringList>

#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace KeyboardShortcuts::ShortcutTriggerText {

namespace {

QString symbolName(xkb_keysym_t symbol)
{
    char name[64];
    if (symbol == XKB_KEY_NoSymbol || xkb_keysym_get_name(symbol, name, sizeof name) <= 0)
        return {};
    return QString::fromLatin1(name);
}

// The keysym a US keyboard has at the first level of the key.
xkb_keysym_t usSymbol(quint32 keyCode)
{
    struct Keymap
    {
        xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        xkb_keymap *keymap = nullptr;
        Keymap()
        {
            const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
            if (context)
                keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        }
        ~Keymap()
        {
            xkb_keymap_unref(keymap);
            xkb_context_unref(context);
        }
    };
    static const Keymap us;
    if (!us.keymap)
        return XKB_KEY_NoSymbol;
    const xkb_keysym_t *symbols = nullptr;
    if (xkb_keymap_key_get_syms_by_level(us.keymap, keyCode, 0, 0, &symbols) != 1)
        return XKB_KEY_NoSymbol;
    return symbols[0];
}

} // namespace

std::optional<QString> keysymName(const Shortcut &shortcut)
{
    if (const std::optional<QString> character = shortcut.keyToCharacter()) {
        const QString name = symbolName(xkb_utf32_to_keysym(character->toLower().toUcs4().value(0)));
        if (!name.isEmpty())
            return name;
    }
    const std::optional<quint8> keyCode = xKeyCodeFromCarbon(shortcut.carbonKeyCode());
    if (!keyCode)
        return std::nullopt;
    const QString name = symbolName(usSymbol(*keyCode));
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

QString portalTrigger(const Shortcut &shortcut)
{
    QStringList parts;
    const int modifiers = shortcut.carbonModifiers();
    if (modifiers & CarbonModifier::command)
        parts << QStringLiteral("CTRL");
    if (modifiers & CarbonModifier::option)
        parts << QStringLiteral("ALT");
    if (modifiers & CarbonModifier::shift)
        parts << QStringLiteral("SHIFT");
    if (modifiers & CarbonModifier::control)
        parts << QStringLiteral("LOGO");
    parts << keysymName(shortcut).value_or(QString());
    return parts.join(u'+');
}

QString swayCombination(const Shortcut &shortcut)
{
    QStringList parts;
    const int modifiers = shortcut.carbonModifiers();
    if (modifiers & CarbonModifier::control)
        parts << QStringLiteral("Mod4");
    if (modifiers & CarbonModifier::command)
        parts << QStringLiteral("Ctrl");
    if (modifiers & CarbonModifier::option)
        parts << QStringLiteral("Mod1");
    if (modifiers & CarbonModifier::shift)
        parts << QStringLiteral("Shift");
    parts << keysymName(shortcut).value_or(QString());
    return parts.join(u'+');
}

} // namespace KeyboardShortcuts::ShortcutTriggerText
