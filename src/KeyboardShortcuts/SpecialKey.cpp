#include "KeyboardShortcuts/SpecialKey.h"

#include "KeyboardShortcuts/ResourceBundle.h"
#include "KeyboardShortcuts/TitleCase.h"

#include <QHash>

namespace KeyboardShortcuts {

namespace {

struct SpecialKeyRow
{
    SpecialKey key;
    int carbonKeyCode;
    const char16_t *display; // null: looked up in the resource bundle
    const char16_t *menuKeyEquivalent; // null: none
    Qt::Key qtKey;
    bool keypad;
};

// clang-format off
constexpr std::array<SpecialKeyRow, 53> rows{{
    {SpecialKey::returnKey, 36, u"\u21A9", u"\u21A9", Qt::Key_Return, false},
    {SpecialKey::deleteKey, 51, u"\u232B", u"\u232B", Qt::Key_Backspace, false},
    {SpecialKey::deleteForward, 117, u"\u2326", u"\u2326", Qt::Key_Delete, false},
    {SpecialKey::end, 119, u"\u2198", u"\u2198", Qt::Key_End, false},
    {SpecialKey::escape, 53, u"\u238B", u"\u238B", Qt::Key_Escape, false},
    {SpecialKey::help, 114, u"?\u20DD", u"?\u20DD", Qt::Key_Insert, false},
    {SpecialKey::home, 115, u"\u2196", u"\u2196", Qt::Key_Home, false},
    {SpecialKey::space, 49, nullptr, u" ", Qt::Key_Space, false},
    {SpecialKey::tab, 48, u"\u21E5", u"\u21E5", Qt::Key_Tab, false},
    {SpecialKey::pageUp, 116, u"\u21DE", u"\u21DE", Qt::Key_PageUp, false},
    {SpecialKey::pageDown, 121, u"\u21DF", u"\u21DF", Qt::Key_PageDown, false},
    {SpecialKey::upArrow, 126, u"\u2191", u"\u2191", Qt::Key_Up, false},
    {SpecialKey::rightArrow, 124, u"\u2192", u"\u2192", Qt::Key_Right, false},
    {SpecialKey::downArrow, 125, u"\u2193", u"\u2193", Qt::Key_Down, false},
    {SpecialKey::leftArrow, 123, u"\u2190", u"\u2190", Qt::Key_Left, false},
    {SpecialKey::f1, 122, u"F1", u"\uF704", Qt::Key_F1, false},
    {SpecialKey::f2, 120, u"F2", u"\uF705", Qt::Key_F2, false},
    {SpecialKey::f3, 99, u"F3", u"\uF706", Qt::Key_F3, false},
    {SpecialKey::f4, 118, u"F4", u"\uF707", Qt::Key_F4, false},
    {SpecialKey::f5, 96, u"F5", u"\uF708", Qt::Key_F5, false},
    {SpecialKey::f6, 97, u"F6", u"\uF709", Qt::Key_F6, false},
    {SpecialKey::f7, 98, u"F7", u"\uF70A", Qt::Key_F7, false},
    {SpecialKey::f8, 100, u"F8", u"\uF70B", Qt::Key_F8, false},
    {SpecialKey::f9, 101, u"F9", u"\uF70C", Qt::Key_F9, false},
    {SpecialKey::f10, 109, u"F10", u"\uF70D", Qt::Key_F10, false},
    {SpecialKey::f11, 103, u"F11", u"\uF70E", Qt::Key_F11, false},
    {SpecialKey::f12, 111, u"F12", u"\uF70F", Qt::Key_F12, false},
    {SpecialKey::f13, 105, u"F13", u"\uF710", Qt::Key_F13, false},
    {SpecialKey::f14, 107, u"F14", u"\uF711", Qt::Key_F14, false},
    {SpecialKey::f15, 113, u"F15", u"\uF712", Qt::Key_F15, false},
    {SpecialKey::f16, 106, u"F16", u"\uF713", Qt::Key_F16, false},
    {SpecialKey::f17, 64, u"F17", u"\uF714", Qt::Key_F17, false},
    {SpecialKey::f18, 79, u"F18", u"\uF715", Qt::Key_F18, false},
    {SpecialKey::f19, 80, u"F19", u"\uF716", Qt::Key_F19, false},
    {SpecialKey::f20, 90, u"F20", u"\uF717", Qt::Key_F20, false},
    {SpecialKey::keypad0, 82, u"0\u20E3", nullptr, Qt::Key_0, true},
    {SpecialKey::keypad1, 83, u"1\u20E3", nullptr, Qt::Key_1, true},
    {SpecialKey::keypad2, 84, u"2\u20E3", nullptr, Qt::Key_2, true},
    {SpecialKey::keypad3, 85, u"3\u20E3", nullptr, Qt::Key_3, true},
    {SpecialKey::keypad4, 86, u"4\u20E3", nullptr, Qt::Key_4, true},
    {SpecialKey::keypad5, 87, u"5\u20E3", nullptr, Qt::Key_5, true},
    {SpecialKey::keypad6, 88, u"6\u20E3", nullptr, Qt::Key_6, true},
    {SpecialKey::keypad7, 89, u"7\u20E3", nullptr, Qt::Key_7, true},
    {SpecialKey::keypad8, 91, u"8\u20E3", nullptr, Qt::Key_8, true},
    {SpecialKey::keypad9, 92, u"9\u20E3", nullptr, Qt::Key_9, true},
    {SpecialKey::keypadClear, 71, u"\u2612\u20E3", nullptr, Qt::Key_Clear, true},
    {SpecialKey::keypadDecimal, 65, u".\u20E3", nullptr, Qt::Key_Period, true},
    {SpecialKey::keypadDivide, 75, u"/\u20E3", nullptr, Qt::Key_Slash, true},
    {SpecialKey::keypadEnter, 76, u"\u21A9\u20E3", nullptr, Qt::Key_Enter, true},
    {SpecialKey::keypadEquals, 81, u"=\u20E3", nullptr, Qt::Key_Equal, true},
    {SpecialKey::keypadMinus, 78, u"-\u20E3", nullptr, Qt::Key_Minus, true},
    {SpecialKey::keypadMultiply, 67, u"*\u20E3", nullptr, Qt::Key_Asterisk, true},
    {SpecialKey::keypadPlus, 69, u"+\u20E3", nullptr, Qt::Key_Plus, true},
}};
// clang-format on

const SpecialKeyRow &row(SpecialKey key)
{
    return rows[size_t(key)];
}

} // namespace

const std::array<SpecialKey, 53> &allSpecialKeys()
{
    static const std::array<SpecialKey, 53> keys = [] {
        std::array<SpecialKey, 53> result {};
        for (size_t i = 0; i < rows.size(); ++i)
            result[i] = rows[i].key;
        return result;
    }();
    return keys;
}

std::optional<SpecialKey> specialKeyForKeyCode(int carbonKeyCode)
{
    // Built once, on first use; a function-local static is initialised once
    // even when two threads get here together.
    static const QHash<int, SpecialKey> mapping = [] {
        QHash<int, SpecialKey> result;
        for (const SpecialKeyRow &r : rows)
            result.insert(r.carbonKeyCode, r.key);
        return result;
    }();
    const auto it = mapping.constFind(carbonKeyCode);
    if (it == mapping.cend())
        return std::nullopt;
    return *it;
}

int carbonKeyCode(SpecialKey key)
{
    return row(key).carbonKeyCode;
}

QString presentableDescription(SpecialKey key)
{
    const SpecialKeyRow &r = row(key);
    if (!r.display)
        return titleCased(localized("space_key"));
    return QString::fromUtf16(r.display);
}

std::optional<QString> menuKeyEquivalent(SpecialKey key)
{
    const SpecialKeyRow &r = row(key);
    if (!r.menuKeyEquivalent)
        return std::nullopt;
    return QString::fromUtf16(r.menuKeyEquivalent);
}

Qt::Key qtKey(SpecialKey key)
{
    return row(key).qtKey;
}

bool isKeypadKey(SpecialKey key)
{
    return row(key).keypad;
}

} // namespace KeyboardShortcuts
