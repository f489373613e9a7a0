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
        QCOMPARE(allSpecialKeys().size(), size_t(53));
        QSet<int> codes;
        QSet<int> named;
        for (const NamedKey &key : namedKeys())
            named.insert(key.key.rawValue());
        for (const SpecialKey key : allSpecialKeys()) {
            const int code = carbonKeyCode(key);
            codes.insert(code);
            QVERIFY2(named.contains(code), qPrintable(QString::number(code)));
            QCOMPARE(specialKeyForKeyCode(code), std::optional<SpecialKey>(key));
            // Keypad keys are the ones without a menu key equivalent.
            QCOMPARE(menuKeyEquivalent(key).has_value(), !isKeypadKey(key));
        }
        QCOMPARE(codes.size(), 53);
        QVERIFY(!specialKeyForKeyCode(Key::a.rawValue()));
        QVERIFY(!specialKeyForKeyCode(Key::command.rawValue()));
        QCOMPARE(specialKeyForKeyCode(Key::keypadEnter.rawValue()), std::optional(SpecialKey::keypadEnter));
    }

    void description_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("shift+command V") << 9 << 768 << QStringLiteral(u"⇧⌘V");
        QTest::newRow("control+option A") << 0 << 0x1800 << QStringLiteral(u"⌃⌥A");
        QTest::newRow("every modifier") << 11 << (control | option | shift | command | function)
                                        << QStringLiteral(u"⌃⌥⇧⌘\U0001F310\uFE0EB");
        QTest::newRow("F12") << 111 << 0 << QStringLiteral("F12");
        QTest::newRow("shift F5") << 96 << shift << QStringLiteral(u"⇧F5");
        QTest::newRow("keypad 1") << 83 << 0 << QStringLiteral(u"1\u20E3");
        QTest::newRow("keypad enter") << 76 << command << QStringLiteral(u"⌘\u21A9\u20E3");
        QTest::newRow("control space") << 49 << control << QStringLiteral(u"⌃Space");
        QTest::newRow("return") << 36 << command << QStringLiteral(u"⌘↩");
        QTest::newRow("help") << 114 << 0 << QStringLiteral(u"?\u20DD");
        QTest::newRow("end and home") << 119 << option << QStringLiteral(u"⌥↘");
        QTest::newRow("digit") << 18 << command << QStringLiteral(u"⌘1");
        QTest::newRow("punctuation") << 43 << command << QStringLiteral(u"⌘,");
        QTest::newRow("no layout character") << 10 << command << QStringLiteral(u"⌘\uFFFD");
        QTest::newRow("modifier key") << 56 << 0 << QStringLiteral(u"\uFFFD");
        QTest::newRow("code beyond 16 bits") << 65536 + 9 << command << QStringLiteral(u"⌘\uFFFD");
        QTest::newRow("unknown bits not shown") << 9 << (command | 0x400) << QStringLiteral(u"⌘V");
    }

    void description()
    {
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        QFETCH(QString, expected);
        QCOMPARE(Shortcut(keyCode, modifiers).description(), expected);
    }

    void keyToCharacter_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<QString>("layoutText"); // empty: the layout has none
        QTest::addColumn<QString>("expected"); // empty: none
        QTest::newRow("letter") << 9 << QStringLiteral("v") << QStringLiteral("v");
        QTest::newRow("non-Latin letter") << 9 << QStringLiteral(u"м") << QStringLiteral(u"м");
        QTest::newRow("combining sequence is one character")
            << 9 << QStringLiteral(u"e\u0301") << QStringLiteral(u"e\u0301");
        QTest::newRow("two characters") << 9 << QStringLiteral("ab") << QString();
        QTest::newRow("dead key") << 9 << QString() << QString();
        QTest::newRow("special key never asks the layout") << 49 << QStringLiteral(" ") << QString();
        QTest::newRow("negative code") << -3 << QStringLiteral("x") << QString();
    }

    void keyToCharacter()
    {
        QFETCH(int, keyCode);
        QFETCH(QString, layoutText);
        QFETCH(QString, expected);
        if (layoutText.isEmpty())
            m_layout->clear(keyCode);
        else
            m_layout->set(keyCode, layoutText);
        const std::optional<QString> character = Shortcut(keyCode, 0).keyToCharacter();
        QCOMPARE(character.value_or(QString()), expected);
        QCOMPARE(character.has_value(), !expected.isEmpty());
    }

    void menuItemKeyEquivalent_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<QString>("expected"); // empty: none
        QTest::newRow("letter") << 9 << QStringLiteral("v");
        QTest::newRow("space") << 49 << QStringLiteral(" ");
        QTest::newRow("F1") << 122 << QStringLiteral(u"\uF704");
        QTest::newRow("F20") << 90 << QStringLiteral(u"\uF717");
        QTest::newRow("escape") << 53 << QStringLiteral(u"⎋");
        QTest::newRow("keypad 1") << 83 << QString();
        QTest::newRow("keypad clear") << 71 << QString();
    }

    void menuItemKeyEquivalent()
    {
        QFETCH(int, keyCode);
        QFETCH(QString, expected);
        const std::optional<QString> equivalent = Shortcut(keyCode, command).menuItemKeyEquivalent();
        QCOMPARE(equivalent.has_value(), !expected.isEmpty());
        QCOMPARE(equivalent.value_or(QString()), expected);
    }

    void nativeText_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("default panel shortcut") << 9 << (shift | control) << QStringLiteral("Shift+Meta+V");
        QTest::newRow("quick pick") << 18 << command << QStringLiteral("Ctrl+1");
        QTest::newRow("all four") << 0 << (shift | control | option | command)
                                  << QStringLiteral("Ctrl+Alt+Shift+Meta+A");
        QTest::newRow("F12") << 111 << 0 << QStringLiteral("F12");
        QTest::newRow("escape") << 53 << (command | shift) << QStringLiteral("Ctrl+Shift+Esc");
        QTest::newRow("space") << 49 << option << QStringLiteral("Alt+Space");
        QTest::newRow("up") << 126 << command << QStringLiteral("Ctrl+Up");
        QTest::newRow("keypad") << 83 << command << QStringLiteral("Ctrl+Num+1");
        QTest::newRow("function bit") << 9 << (function | command) << QStringLiteral("Fn+Ctrl+V");
        QTest::newRow("no character") << 10 << command << QStringLiteral(u"Ctrl+\uFFFD");
    }

    void nativeText()
    {
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        QFETCH(QString, expected);
        QCOMPARE(Shortcut(keyCode, modifiers).nativeText(), expected);
    }

    void titleCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("word") << QStringLiteral("space") << QStringLiteral("Space");
        QTest::newRow("upper") << QStringLiteral("SPACE") << QStringLiteral("Space");
        QTest::newRow("two words") << QStringLiteral("space bar") << QStringLiteral("Space Bar");
        QTest::newRow("umlaut") << QStringLiteral(u"ärger") << QStringLiteral(u"Ärger");
        QTest::newRow("empty") << QString() << QString();
    }

    void titleCase()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(titleCased(text), expected);
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
        QTest::newRow("lower v with shift in mask")
            << 9 << (shift | command) << QStringLiteral("v") << (shift | command) << true;
        QTest::newRow("lower v without shift")
            << 9 << (shift | command) << QStringLiteral("v") << command << false;
        QTest::newRow("command V matches lower v") << 9 << command << QStringLiteral("v") << command << true;
        QTest::newRow("upper V needs shift in the shortcut")
            << 9 << command << QStringLiteral("V") << command << false;
        QTest::newRow("modifiers must be equal")
            << 9 << command << QStringLiteral("v") << (command | option) << false;
        QTest::newRow("unknown item bits spoil the match")
            << 9 << command << QStringLiteral("v") << (command | 0x400) << false;
        QTest::newRow("F5 key equivalent") << 96 << command << QStringLiteral(u"\uF708") << command << true;
        QTest::newRow("space") << 49 << control << QStringLiteral(" ") << control << true;
        QTest::newRow("keypad never matches") << 83 << command << QStringLiteral("1") << command << false;
        QTest::newRow("other key") << 11 << command << QStringLiteral("v") << command << false;
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

    void qtMenuKeyEquivalents_data()
    {
        QTest::addColumn<QKeySequence>("sequence");
        QTest::addColumn<QString>("key"); // empty: none
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Ctrl+V") << QKeySequence(QStringLiteral("Ctrl+V")) << QStringLiteral("v") << command;
        QTest::newRow("Ctrl+Shift+V")
            << QKeySequence(QStringLiteral("Ctrl+Shift+V")) << QStringLiteral("v") << (command | shift);
        QTest::newRow("Meta+Alt+Space")
            << QKeySequence(QStringLiteral("Meta+Alt+Space")) << QStringLiteral(" ") << (control | option);
        QTest::newRow("F5") << QKeySequence(Qt::Key_F5) << QStringLiteral(u"\uF708") << 0;
        QTest::newRow("Ctrl+,") << QKeySequence(QStringLiteral("Ctrl+,")) << QStringLiteral(",") << command;
        QTest::newRow("keypad") << QKeySequence(Qt::KeypadModifier | Qt::Key_1) << QString() << 0;
        QTest::newRow("keypad enter") << QKeySequence(Qt::Key_Enter) << QString() << 0;
    }

    void qtMenuKeyEquivalents()
    {
        QFETCH(QKeySequence, sequence);
        QFETCH(QString, key);
        QFETCH(int, modifiers);
        const std::optional<MenuKeyEquivalent> equivalent = menuKeyEquivalent(sequence[0]);
        QCOMPARE(equivalent.has_value(), !key.isEmpty());
        if (equivalent) {
            QCOMPARE(equivalent->key, key);
            QCOMPARE(equivalent->carbonModifiers, modifiers);
        }
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
        QTest::newRow("default Shift+Super+V")
            << 9 << (shift | control) << QString() << u"SHIFT+LOGO+v"_qs << u"Mod4+Shift+v"_qs;
        QTest::newRow("all four") << 9 << (command | shift | option | control) << QString()
                                  << u"CTRL+ALT+SHIFT+LOGO+v"_qs << u"Mod4+Ctrl+Mod1+Shift+v"_qs;
        QTest::newRow("punctuation by name")
            << 43 << command << QString() << u"CTRL+comma"_qs << u"Ctrl+comma"_qs;
        QTest::newRow("digit") << 18 << control << QString() << u"LOGO+1"_qs << u"Mod4+1"_qs;
        // A German layout types z on the US y key: the binding follows the layout.
        QTest::newRow("layout's own letter") << 16 << control << u"z"_qs << u"LOGO+z"_qs << u"Mod4+z"_qs;
        QTest::newRow("function key") << 122 << 0 << QString() << u"F1"_qs << u"F1"_qs;
        QTest::newRow("return") << 36 << control << QString() << u"LOGO+Return"_qs << u"Mod4+Return"_qs;
        QTest::newRow("space") << 49 << option << QString() << u"ALT+space"_qs << u"Mod1+space"_qs;
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
        // The layout is read at each search: a German layout types Y on the
        // U.S. Z key.
        QAction *redo = menu.addAction(u"Redo"_qs);
        redo->setShortcut(QKeySequence(u"Ctrl+Y"_qs));
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::z, Qt::ControlModifier), &menu), nullptr);
        m_layout->set(Key::z.rawValue(), u"y"_qs);
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::z, Qt::ControlModifier), &menu), redo);
        QCOMPARE(Shortcut(Key::z, Qt::ControlModifier).description(), QStringLiteral(u"⌘Y"));
    }

    void takenBySystem_data()
    {
        QTest::addColumn<QList<Shortcut>>("reserved");
        QTest::addColumn<Shortcut>("shortcut");
        QTest::addColumn<bool>("taken");
        const Shortcut f12(111, 0);
        const Shortcut shiftF12(111, shift);
        QTest::newRow("F12 alone never") << QList<Shortcut> {f12} << f12 << false;
        QTest::newRow("shift F12 listed") << QList<Shortcut> {shiftF12} << shiftF12 << true;
        QTest::newRow("shift F12 not listed") << QList<Shortcut> {f12} << shiftF12 << false;
        QTest::newRow("listed") << QList<Shortcut> {Shortcut(49, command)} << Shortcut(49, command) << true;
        QTest::newRow("other modifiers")
            << QList<Shortcut> {Shortcut(49, command)} << Shortcut(49, control) << false;
        QTest::newRow("empty list") << QList<Shortcut> {} << Shortcut(49, command) << false;
    }

    void takenBySystem()
    {
        QFETCH(QList<Shortcut>, reserved);
        QFETCH(Shortcut, shortcut);
        QFETCH(bool, taken);
        m_system->setReserved(reserved);
        QCOMPARE(shortcut.isTakenBySystem(), taken);
        QCOMPARE(systemReservedShortcuts(), reserved);
    }

    void ownShortcutsAreNotTaken()
    {
        const Shortcut ours(9, shift | control);
        m_system->setReserved({ours, Shortcut(11, command)});
        QVERIFY(ours.isTakenBySystem());
        m_system->setOwnShortcutQuery([ours](const Shortcut &s) { return s == ours; });
        QVERIFY(!ours.isTakenBySystem());
        QVERIFY(Shortcut(11, command).isTakenBySystem());
        // The list is read afresh for every check.
        const int reads = m_system->reads();
        m_system->setReserved({});
        QVERIFY(!Shortcut(11, command).isTakenBySystem());
        QCOMPARE(m_system->reads(), reads + 1);
    }

    void disallowed_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<bool>("sandboxed");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("disallowed");
        QTest::newRow("15.0 option A") << 15 << 0 << true << option << true;
        QTest::newRow("15.1 shift option A") << 15 << 1 << true << (shift | option) << true;
        QTest::newRow("15.2") << 15 << 2 << true << option << false;
        QTest::newRow("14.6") << 14 << 6 << true << option << false;
        QTest::newRow("not sandboxed") << 15 << 0 << false << option << false;
        QTest::newRow("control option") << 15 << 0 << true << (control | option) << false;
        QTest::newRow("no option") << 15 << 0 << true << shift << false;
    }

    void disallowed()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(bool, sandboxed);
        QFETCH(int, modifiers);
        QFETCH(bool, disallowed);
        const QOperatingSystemVersion macOS(QOperatingSystemVersion::MacOS, major, minor);
        QCOMPARE(Shortcut(0, modifiers).isDisallowedOn(macOS, sandboxed), disallowed);
        // The rule belongs to macOS only.
        const QOperatingSystemVersion other(QOperatingSystemVersion::Unknown, major, minor);
        QVERIFY(!Shortcut(0, modifiers).isDisallowedOn(other, sandboxed));
        QVERIFY(!Shortcut(0, modifiers).isDisallowed());
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
        QTest::newRow("enabled entry")
            << QVariant(QVariantList {spotlight}) << QList<Shortcut> {Shortcut(49, command)};
        QTest::newRow("disabled skipped") << QVariant(QVariantList {entry(false, 50, command), spotlight})
                                          << QList<Shortcut> {Shortcut(49, command)};
        QTest::newRow("malformed entries skipped, others kept") << QVariant(QVariantList {
            entry(1, 1, command), entry(true, QStringLiteral("1"), command), entry(true, 2, 1.5),
            entry(QVariant(), 3, command), entry(true, QVariant(), command), entry(true, 4, QVariant()),
            entry(true, 5, option)}) << QList<Shortcut> {Shortcut(5, option)};
        QTest::newRow("unknown modifier bits dropped")
            << QVariant(QVariantList {entry(true, 9, command | 0x400 | 0x4000)})
            << QList<Shortcut> {Shortcut(9, command)};
        QTest::newRow("duplicates stay") << QVariant(QVariantList {spotlight, spotlight})
                                         << QList<Shortcut> {Shortcut(49, command), Shortcut(49, command)};
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
