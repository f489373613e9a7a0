#pragma once

#include <QKeyCombination>
#include <QString>

#include <optional>

namespace KeyboardShortcuts {

// A menu item's shortcut in the terms the menu search compares: the key
// equivalent string (a lower-case character, a special key's menu key
// equivalent) and the Carbon modifier bits.
struct MenuKeyEquivalent
{
    QString key;
    int carbonModifiers = 0;
};

// The key equivalent of a Qt key combination. Qt names letters by their
// upper-case code and states Shift separately, so letters come out lower case.
// None for keypad combinations (no shortcut matches those) and for keys that
// have no key equivalent.
std::optional<MenuKeyEquivalent> menuKeyEquivalent(QKeyCombination combination);

} // namespace KeyboardShortcuts
