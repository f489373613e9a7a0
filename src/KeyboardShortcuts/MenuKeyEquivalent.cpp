#include "KeyboardShortcuts/MenuKeyEquivalent.h"

#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/SpecialKey.h"

namespace KeyboardShortcuts {

std::optional<MenuKeyEquivalent> menuKeyEquivalent(QKeyCombination combination)
{
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (modifiers.testFlag(Qt::KeypadModifier))
        return std::nullopt;
    const int key = combination.key();
    const int carbonModifiers = carbonFromQtModifiers(modifiers);

    for (const SpecialKey special : allSpecialKeys()) {
        if (isKeypadKey(special) || qtKey(special) != key)
            continue;
        const std::optional<QString> equivalent = menuKeyEquivalent(special);
        if (!equivalent)
            return std::nullopt;
        return MenuKeyEquivalent {*equivalent, carbonModifiers};
    }
    // Character keys: Qt's key code is the character's (upper-case) code point.
    if (key <= 0 || key > 0x10FFFF || (key >= 0xD800 && key <= 0xDFFF) || !QChar::isPrint(char32_t(key)))
        return std::nullopt;
    const char32_t lower = QChar::toLower(char32_t(key));
    return MenuKeyEquivalent {QString::fromUcs4(&lower, 1), carbonModifiers};
}

} // namespace KeyboardShortcuts
