#include "KeyboardShortcuts/Key.h"
#include "KeyboardShortcuts/MenuItemSearch.h"
#include "KeyboardShortcuts/MenuKeyEquivalent.h"
#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/Shortcut.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "KeyboardShortcuts/SpecialKey.h"
#include "KeyboardShortcuts/SymbolicHotKeys.h"
#include "KeyboardShortcuts/TitleCase.h"
#include "KeyboardShortcuts/wayland/ShortcutTriggerText.h"
#include "fakes/FakeKeyboardLayout.h"
#include "fakes/FakeSystemShortcutSource.h"

#include <QMenu>
#include <QMenuBar>
#include <QOperatingSystemVersion>
#include <QSet>
#include <QTest>

using namespace KeyboardShortcuts;
using namespace KeyboardShortcuts::CarbonModifier;

class TestShortcutDisplay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init()
    {
        m_layout = std::make_shared<FakeKeyboardLayout>(FakeKeyboardLayout::usLayout());
        m_system = std::make_shared<FakeSystemShortcutSource>();
        setShortcutServices({m_layout, nullptr, m_system, nullptr});
    }

    void cleanupTestCase() { resetShortcutServices(); }

    void specialKeyTable()
    {
        QSet<int> named;
        for (const NamedKey &key : namedKeys())
            named.insert(key.key.rawValue());
        for (const SpecialKey key : allSpecialKeys()) {
            const int code = carbonKeyCode(key);
            QVERIFY2(named.contains(code), qPrintable(QString::number(code)));
            QCOMPARE(specialKeyForKeyCode(code), std::optional<SpecialKey>(key));
            // Keypad keys are the ones without a menu key equivalent.
            QCOMPARE(menuKeyEquivalent(key).has_value(), !isKeypadKey(key));
        }
        QVERIFY(!specialKeyForKeyCode(Key::a.rawValue()));
    }

    // The symbol form and the desktop's own text of one shortcut.
    void texts_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("native");
        QTest::newRow("every modifier")
            << 11 << (control | option | shift | command | function)
            << QStringLiteral(u"⌃⌥⇧⌘\U0001F310\uFE0EB") << QStringLiteral("Fn+Ctrl+Alt+Shift+Meta+B");
        QTest::newRow("F12") << 111 << 0 << QStringLiteral("F12") << QStringLiteral("F12");
        QTest::newRow("escape") << 53 << (command | shift) << QStringLiteral(u"⇧⌘⎋")
                                << QStringLiteral("Ctrl+Shift+Esc");
        QTest::newRow("keypad enter")
            << 76 << command << QStringLiteral(u"⌘\u21A9\u20E3") << QStringLiteral("Ctrl+Num+Enter");
        QTest::newRow("return") << 36 << command << QStringLiteral(u"⌘↩") << QStringLiteral("Ctrl+Return");
        // The Help key sits where a PC keyboard has Insert.
        QTest::newRow("help") << 114 << 0 << QStringLiteral(u"?\u20DD") << QStringLiteral("Ins");
        QTest::newRow("no layout character")
            << 10 << command << QStringLiteral(u"⌘\uFFFD") << QStringLiteral(u"Ctrl+\uFFFD");
        QTest::newRow("modifier key") << 56 << 0 << QStringLiteral(u"\uFFFD") << QStringLiteral("Shift");
        QTest::newRow("code beyond 16 bits")
            << 65536 + 9 << command << QStringLiteral(u"⌘\uFFFD") << QStringLiteral(u"Ctrl+\uFFFD");
        QTest::newRow("unknown bits not shown")
            << 9 << (command | 0x400) << QStringLiteral(u"⌘V") << QStringLiteral("Ctrl+V");
    }

    void texts()
    {
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        QFETCH(QString, description);
        QFETCH(QString, native);
        QCOMPARE(Shortcut(keyCode, modifiers).description(), description);
        QCOMPARE(Shortcut(keyCode, modifiers).nativeText(), native);
    }

    // A key's character comes from the layout, one grapheme or none; special
    // keys never ask it. Menus take the character, or the special key's own.
    void keyCharacter_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<QString>("layoutText"); // empty: the layout has none
        QTest::addColumn<QString>("character"); // empty: none
        QTest::addColumn<QString>("menuKey"); // empty: none
        QTest::newRow("non-Latin letter") << 9 << u"м"_qs << u"м"_qs << u"м"_qs;
        QTest::newRow("combining sequence") << 9 << u"e\u0301"_qs << u"e\u0301"_qs << u"e\u0301"_qs;
        QTest::newRow("two characters") << 9 << u"ab"_qs << QString() << QString();
        QTest::newRow("dead key") << 9 << QString() << QString() << QString();
        QTest::newRow("space") << 49 << u"x"_qs << QString() << u" "_qs;
        QTest::newRow("F1") << 122 << QString() << QString() << u"\uF704"_qs;
        QTest::newRow("escape") << 53 << QString() << QString() << u"⎋"_qs;
        QTest::newRow("keypad 1") << 83 << u"1"_qs << QString() << QString();
    }

    void keyCharacter()
    {
        QFETCH(int, keyCode);
        QFETCH(QString, layoutText);
        QFETCH(QString, character);
        QFETCH(QString, menuKey);
        if (layoutText.isEmpty())
            m_layout->clear(keyCode);
        else
            m_layout->set(keyCode, layoutText);
        const Shortcut shortcut(keyCode, command);
        QCOMPARE(shortcut.keyToCharacter(), character.isEmpty() ? std::nullopt : std::optional(character));
        QCOMPARE(shortcut.menuItemKeyEquivalent(), menuKey.isEmpty() ? std::nullopt : std::optional(menuKey));
    }

    void titleCase()
    {
        QCOMPARE(titleCased(u"SPACE bar"_qs), u"Space Bar"_qs);
        QCOMPARE(titleCased(u"ärger"_qs), u"Ärger"_qs);
    }

    void menuKeyEquivalentMatching_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("itemKey");
        QTest::addColumn<int>("itemModifiers");
        QTest::addColumn<bool>("matches");
        QTest::newRow("upper-case V means shift")
            << 9 << (shift | command) << QStringLiteral("V") << command << true;
        QTest::newRow("upper V needs shift in the shortcut")
            << 9 << command << QStringLiteral("V") << command << false;
        QTest::newRow("unknown item bits spoil the match")
            << 9 << command << QStringLiteral("v") << (command | 0x400) << false;
        QTest::newRow("keypad never matches") << 83 << command << QStringLiteral("1") << command << false;
    }

    void menuKeyEquivalentMatching()
    {
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        QFETCH(QString, itemKey);
        QFETCH(int, itemModifiers);
        QFETCH(bool, matches);
        QCOMPARE(Shortcut(keyCode, modifiers).matchesMenuKeyEquivalent(itemKey, itemModifiers), matches);
    }

    // Stored shortcuts in the words of the GlobalShortcuts portal and of
    // sway's bindsym: the key by its xkb keysym name as the current layout
    // (or, for keys without text, a US keyboard) has it.
    void triggerTexts_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("layoutText"); // what the layout puts on the key; empty: the US text
        QTest::addColumn<QString>("portal");
        QTest::addColumn<QString>("sway");
        QTest::newRow("all four") << 9 << (command | shift | option | control) << QString()
                                  << u"CTRL+ALT+SHIFT+LOGO+v"_qs << u"Mod4+Ctrl+Mod1+Shift+v"_qs;
        QTest::newRow("punctuation by name")
            << 43 << command << QString() << u"CTRL+comma"_qs << u"Ctrl+comma"_qs;
        // A German layout types z on the US y key: the binding follows the layout.
        QTest::newRow("layout's own letter") << 16 << control << u"z"_qs << u"LOGO+z"_qs << u"Mod4+z"_qs;
        QTest::newRow("function key") << 122 << 0 << QString() << u"F1"_qs << u"F1"_qs;
        QTest::newRow("return") << 36 << control << QString() << u"LOGO+Return"_qs << u"Mod4+Return"_qs;
    }

    void triggerTexts()
    {
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        QFETCH(QString, layoutText);
        QFETCH(QString, portal);
        QFETCH(QString, sway);
        if (!layoutText.isEmpty())
            m_layout->set(keyCode, layoutText);
        const Shortcut shortcut(keyCode, modifiers);
        QCOMPARE(ShortcutTriggerText::portalTrigger(shortcut), portal);
        QCOMPARE(ShortcutTriggerText::swayCombination(shortcut), sway);
    }

    void menuSearchOrder()
    {
        QMenuBar bar;
        QMenu *file = bar.addMenu(u"File"_qs);
        file->addAction(u"Open"_qs)->setShortcut(QKeySequence(u"Ctrl+O"_qs));
        QMenu *recent = file->addMenu(u"Recent"_qs);
        QAction *deep = recent->addAction(u"Deep"_qs);
        deep->setShortcut(QKeySequence(u"Ctrl+Q"_qs));
        QMenu *app = bar.addMenu(u"App"_qs);
        app->addAction(u"Quit"_qs)->setShortcut(QKeySequence(u"Ctrl+Q"_qs));
        QAction *later = app->addAction(u"Later"_qs);
        later->setShortcut(QKeySequence(u"Ctrl+L"_qs));

        // Depth first: of two matches the one met first wins, deeper or not.
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::q, Qt::ControlModifier), &bar), deep);
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::l, Qt::ControlModifier), &bar), later);
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::o, Qt::ControlModifier), app), nullptr);
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::x, Qt::ControlModifier), &bar), nullptr);
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::x, Qt::ControlModifier), nullptr), nullptr);
        // An item is compared before its own submenu is searched.
        recent->menuAction()->setShortcut(QKeySequence(u"Ctrl+Q"_qs));
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::q, Qt::ControlModifier), &bar),
                 recent->menuAction());

        // Menus that contain each other end the search too.
        QMenu a;
        QMenu b;
        a.addMenu(&b);
        b.addMenu(&a);
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::x, Qt::ControlModifier), &a), nullptr);
    }

    void menuSearchMatches()
    {
        QMenu menu;
        QAction *item = menu.addAction(u"Item"_qs);
        item->setShortcuts({QKeySequence(u"Ctrl+A"_qs), QKeySequence(u"Alt+B"_qs)});
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::b, Qt::AltModifier), &menu), item);
        // Multi-chord sequences start with a chord but do not take it.
        menu.addAction(u"Chord"_qs)->setShortcut(QKeySequence(u"Ctrl+J, Ctrl+C"_qs));
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::j, Qt::ControlModifier), &menu), nullptr);
        // Shift is part of the match, either way.
        QAction *paste = menu.addAction(u"Paste"_qs);
        paste->setShortcut(QKeySequence(u"Ctrl+Shift+V"_qs));
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(9, command | shift), &menu), paste);
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(9, command), &menu), nullptr);
        // Special keys match by their own key equivalent; keypad keys never.
        QAction *refresh = menu.addAction(u"Refresh"_qs);
        refresh->setShortcut(QKeySequence(Qt::Key_F5));
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(96, 0), &menu), refresh);
        QAction *space = menu.addAction(u"Space"_qs);
        space->setShortcut(QKeySequence(u"Meta+Alt+Space"_qs));
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(49, control | option), &menu), space);
        menu.addAction(u"Pad"_qs)->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_1));
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(83, 0), &menu), nullptr);
        // The layout is read at each search: a German layout types Y on the
        // U.S. Z key.
        QAction *redo = menu.addAction(u"Redo"_qs);
        redo->setShortcut(QKeySequence(u"Ctrl+Y"_qs));
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::z, Qt::ControlModifier), &menu), nullptr);
        m_layout->set(Key::z.rawValue(), u"y"_qs);
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::z, Qt::ControlModifier), &menu), redo);
        QCOMPARE(Shortcut(Key::z, Qt::ControlModifier).description(), QStringLiteral(u"⌘Y"));
    }

    // F12 alone is never taken; the rest must match the list exactly; the
    // hotkeys' own combinations do not count; the list is read at each check.
    void takenBySystem()
    {
        const Shortcut ours(9, shift | control);
        const QList<Shortcut> reserved {Shortcut(111, 0), Shortcut(111, shift), Shortcut(49, command), ours};
        m_system->setReserved(reserved);
        QCOMPARE(systemReservedShortcuts(), reserved);
        QVERIFY(!Shortcut(111, 0).isTakenBySystem());
        QVERIFY(Shortcut(111, shift).isTakenBySystem());
        QVERIFY(!Shortcut(49, control).isTakenBySystem());
        QVERIFY(ours.isTakenBySystem());
        m_system->setOwnShortcutQuery([ours](const Shortcut &s) { return s == ours; });
        QVERIFY(!ours.isTakenBySystem());
        QVERIFY(Shortcut(49, command).isTakenBySystem());
        const int reads = m_system->reads();
        m_system->setReserved({});
        QVERIFY(!Shortcut(49, command).isTakenBySystem());
        QCOMPARE(m_system->reads(), reads + 1);
    }

    // Option alone or with Shift is refused on sandboxed macOS 15.0 and 15.1
    // only.
    void disallowed()
    {
        const auto on = [](int major, int minor, int modifiers, bool sandboxed = true) {
            const QOperatingSystemVersion macOS(QOperatingSystemVersion::MacOS, major, minor);
            return Shortcut(0, modifiers).isDisallowedOn(macOS, sandboxed);
        };
        QVERIFY(on(15, 0, option));
        QVERIFY(on(15, 1, shift | option));
        QVERIFY(!on(15, 2, option));
        QVERIFY(!on(15, 0, option, false));
        QVERIFY(!on(15, 0, control | option));
        QVERIFY(!Shortcut(0, option).isDisallowedOn(
            QOperatingSystemVersion(QOperatingSystemVersion::Unknown, 15, 0), true));
        QVERIFY(!Shortcut(0, option).isDisallowed());
    }

    void symbolicHotKeys_data()
    {
        QTest::addColumn<QVariant>("input");
        QTest::addColumn<QList<Shortcut>>("expected");
        const auto entry = [](QVariant enabled, QVariant code, QVariant modifiers) {
            QVariantMap map;
            if (enabled.isValid())
                map.insert(QStringLiteral("kHISymbolicHotKeyEnabled"), enabled);
            if (code.isValid())
                map.insert(QStringLiteral("kHISymbolicHotKeyCode"), code);
            if (modifiers.isValid())
                map.insert(QStringLiteral("kHISymbolicHotKeyModifiers"), modifiers);
            return QVariant(map);
        };
        const QVariant spotlight = entry(true, 49, command);
        QTest::newRow("disabled skipped") << QVariant(QVariantList {entry(false, 50, command), spotlight})
                                          << QList<Shortcut> {Shortcut(49, command)};
        QTest::newRow("malformed entries skipped, others kept") << QVariant(QVariantList {
            entry(1, 1, command), entry(true, QStringLiteral("1"), command), entry(true, 2, 1.5),
            entry(QVariant(), 3, command), entry(true, QVariant(), command), entry(true, 4, QVariant()),
            entry(true, 5, option)}) << QList<Shortcut> {Shortcut(5, option)};
        QTest::newRow("not a list") << QVariant(QStringLiteral("x")) << QList<Shortcut> {};
        QTest::newRow("list with a non-map") << QVariant(QVariantList {spotlight, 3}) << QList<Shortcut> {};
    }

    void symbolicHotKeys()
    {
        QFETCH(QVariant, input);
        QFETCH(QList<Shortcut>, expected);
        QCOMPARE(shortcutsFromSymbolicHotKeys(input), expected);
    }

private:
    std::shared_ptr<FakeKeyboardLayout> m_layout;
    std::shared_ptr<FakeSystemShortcutSource> m_system;
};

QTEST_MAIN(TestShortcutDisplay)
#include "tst_shortcutdisplay.moc"
