#pragma once

#include <QString>
#include <qnamespace.h>

#include <array>
#include <optional>

namespace KeyboardShortcuts {

// The keys whose text is a symbol or a name rather than a character of the
// keyboard layout. "return" and "delete" are C++ keywords, hence returnKey
// and deleteKey.
enum class SpecialKey {
    returnKey,
    deleteKey,
    deleteForward,
    end,
    escape,
    help,
    home,
    space,
    tab,
    pageUp,
    pageDown,
    upArrow,
    rightArrow,
    downArrow,
    leftArrow,
    f1,
    f2,
    f3,
    f4,
    f5,
    f6,
    f7,
    f8,
    f9,
    f10,
    f11,
    f12,
    f13,
    f14,
    f15,
    f16,
    f17,
    f18,
    f19,
    f20,
    keypad0,
    keypad1,
    keypad2,
    keypad3,
    keypad4,
    keypad5,
    keypad6,
    keypad7,
    keypad8,
    keypad9,
    keypadClear,
    keypadDecimal,
    keypadDivide,
    keypadEnter,
    keypadEquals,
    keypadMinus,
    keypadMultiply,
    keypadPlus
};

// All 53, in declaration order.
const std::array<SpecialKey, 53> &allSpecialKeys();

// The special key with this Carbon key code, if any.
std::optional<SpecialKey> specialKeyForKeyCode(int carbonKeyCode);

int carbonKeyCode(SpecialKey key);

// The text a shortcut shows for the key (↩, F5, 1⃣, ...). For space it is the
// localised "space_key" text, title-cased.
QString presentableDescription(SpecialKey key);

// The key equivalent a menu item uses for the key; none for keypad keys.
std::optional<QString> menuKeyEquivalent(SpecialKey key);

// The Qt key of the same key; keypad keys additionally carry
// Qt::KeypadModifier in Qt's terms (see isKeypadKey).
Qt::Key qtKey(SpecialKey key);
bool isKeypadKey(SpecialKey key);

} // namespace KeyboardShortcuts
