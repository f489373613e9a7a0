#include "fakes/FakeKeyboardLayout.h"

#include "KeyboardShortcuts/Key.h"

using KeyboardShortcuts::Key;

FakeKeyboardLayout FakeKeyboardLayout::usLayout()
{
    FakeKeyboardLayout layout;
    const char *letters = "abcdefghijklmnopqrstuvwxyz";
    const Key letterKeys[] = {Key::a, Key::b, Key::c, Key::d, Key::e, Key::f, Key::g, Key::h, Key::i,
                              Key::j, Key::k, Key::l, Key::m, Key::n, Key::o, Key::p, Key::q, Key::r,
                              Key::s, Key::t, Key::u, Key::v, Key::w, Key::x, Key::y, Key::z};
    for (int i = 0; i < 26; ++i)
        layout.set(letterKeys[i].rawValue(), QString(QLatin1Char(letters[i])));
    const Key digitKeys[] = {Key::zero, Key::one, Key::two,   Key::three, Key::four,
                             Key::five, Key::six, Key::seven, Key::eight, Key::nine};
    for (int i = 0; i < 10; ++i)
        layout.set(digitKeys[i].rawValue(), QString(QLatin1Char(char('0' + i))));
    layout.set(Key::backtick.rawValue(), QStringLiteral("`"));
    layout.set(Key::minus.rawValue(), QStringLiteral("-"));
    layout.set(Key::equal.rawValue(), QStringLiteral("="));
    layout.set(Key::leftBracket.rawValue(), QStringLiteral("["));
    layout.set(Key::rightBracket.rawValue(), QStringLiteral("]"));
    layout.set(Key::backslash.rawValue(), QStringLiteral("\\"));
    layout.set(Key::semicolon.rawValue(), QStringLiteral(";"));
    layout.set(Key::quote.rawValue(), QStringLiteral("'"));
    layout.set(Key::comma.rawValue(), QStringLiteral(","));
    layout.set(Key::period.rawValue(), QStringLiteral("."));
    layout.set(Key::slash.rawValue(), QStringLiteral("/"));
    return layout;
}
