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
#include "fakes/FakeNativeKeyCodeMap.h"
#include "fakes/FakeSystemShortcutSource.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QOperatingSystemVersion>
#include <QSet>
#include <QTest>

using namespace KeyboardShortcuts;
using namespace KeyboardShortcuts::CarbonModifier;

class TestShortcuts : public QObject
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

    // Each row converts both ways; bits with no counterpart (Caps Lock, the
    // right-hand Carbon bits, Cocoa's numeric pad, help and device bits, Qt's
    // keypad and group switch) are mixed in and must be dropped.
    void modifierConversions_data()
    {
        QTest::addColumn<int>("carbon");
        QTest::addColumn<quint64>("cocoa");
        QTest::addColumn<Qt::KeyboardModifiers>("qt");
        QTest::newRow("none") << 0 << quint64(0) << Qt::KeyboardModifiers();
        QTest::newRow("command is Ctrl")
            << 0x100 << quint64(0x100000) << Qt::KeyboardModifiers(Qt::ControlModifier);
        QTest::newRow("option is Alt") << 0x800 << quint64(0x80000) << Qt::KeyboardModifiers(Qt::AltModifier);
        QTest::newRow("shift+control is Shift+Meta")
            << 0x1200 << quint64(0x60000) << (Qt::ShiftModifier | Qt::MetaModifier);
        QTest::newRow("function has no Qt form") << 0x20000 << quint64(0x800000) << Qt::KeyboardModifiers();
    }

    void modifierConversions()
    {
        QFETCH(int, carbon);
        QFETCH(quint64, cocoa);
        QFETCH(Qt::KeyboardModifiers, qt);
        QCOMPARE(cocoaFlagsFromCarbon(carbon | 0x400 | 0x2000 | 0x4000 | 0x8000), cocoa);
        QCOMPARE(carbonFromCocoaFlags(cocoa | 0x10000 | 0x200000 | 0x400000 | 0xFFFF), carbon);
        QCOMPARE(qtModifiersFromCarbon(carbon | 0x400), qt);
        QCOMPARE(carbonFromQtModifiers(qt | Qt::KeypadModifier | Qt::GroupSwitchModifier), carbon & ~0x20000);
    }

    void constructorsNormaliseAndCompare()
    {
        const Shortcut fromKey(Key::v, Qt::ShiftModifier | Qt::MetaModifier | Qt::KeypadModifier);
        QCOMPARE(fromKey, Shortcut(9, 0x1200 | 0x400));
        QCOMPARE(fromKey.modifiers(), Qt::ShiftModifier | Qt::MetaModifier);
        QSet<Shortcut> set {Shortcut(9, 768), Shortcut(9, 0x1200),
                            Shortcut(Key::v, Qt::ShiftModifier | Qt::ControlModifier)};
        QCOMPARE(set.size(), 2);
        QVERIFY(Shortcut(9, 768) != Shortcut(11, 768));
    }

    // Every value read back is written and read again unchanged.
    void strictDecoder_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        const auto valid = [](const char *name, const char *json, int keyCode, int modifiers) {
            QTest::newRow(name) << QByteArray(json) << true << keyCode << modifiers;
        };
        const auto invalid
            = [](const char *name, QByteArray json) { QTest::newRow(name) << json << false << 0 << 0; };
        valid("any order, extra members ignored", R"({"x":1,"carbonModifiers":768,"carbonKeyCode":9})", 9,
              768);
        valid("whole number as float", R"({"carbonKeyCode":9.0,"carbonModifiers":256})", 9, 256);
        // Read as stored: a hand-edited Caps Lock bit stays, so it never
        // equals the normalised shortcut.
        valid("not normalised", R"({"carbonKeyCode":0,"carbonModifiers":7168})", 0, 0x1C00);
        invalid("missing member", R"({"carbonKeyCode":9})");
        invalid("string member", R"({"carbonKeyCode":9,"carbonModifiers":"768"})");
        invalid("fraction", R"({"carbonKeyCode":9.5,"carbonModifiers":0})");
        invalid("beyond int", R"({"carbonKeyCode":9,"carbonModifiers":4294967296})");
        invalid("huge exponent", R"({"carbonKeyCode":1e300,"carbonModifiers":0})");
        invalid("array", R"([9,768])");
        invalid("truncated", "{\"carbonKeyCode\":9,\"carbonModif");
    }

    void strictDecoder()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, valid);
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        const std::optional<Shortcut> decoded = Shortcut::fromJson(json);
        QCOMPARE(decoded.has_value(), valid);
        if (!valid)
            return;
        QCOMPARE(decoded->carbonKeyCode(), keyCode);
        QCOMPARE(decoded->carbonModifiers(), modifiers);
        QCOMPARE(Shortcut::fromJson(decoded->toJson()), decoded);
        QCOMPARE(*decoded == Shortcut(keyCode, modifiers), (modifiers & 0x400) == 0);
    }

    void fromKeyEvent_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<quint32>("scanCode");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("carbonModifiers");
        const auto press = int(QEvent::KeyPress);
        const auto ctrl = Qt::KeyboardModifiers(Qt::ControlModifier);
        QTest::newRow("Shift+Meta+V release")
            << int(QEvent::KeyRelease) << 55u << (Qt::ShiftModifier | Qt::MetaModifier) << true << 9
            << 0x1200;
        QTest::newRow("keypad modifier dropped")
            << press << 87u << (Qt::KeypadModifier | Qt::AltModifier) << true << 83 << 0x800;
        QTest::newRow("unknown scan code") << press << 250u << ctrl << false << 0 << 0;
        QTest::newRow("shortcut override") << int(QEvent::ShortcutOverride) << 38u << ctrl << false << 0 << 0;
        QTest::newRow("mouse release") << int(QEvent::MouseButtonRelease) << 0u << ctrl << false << 0 << 0;
    }

    void fromKeyEvent()
    {
        QFETCH(int, type);
        QFETCH(quint32, scanCode);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, valid);
        QFETCH(int, keyCode);
        QFETCH(int, carbonModifiers);
        FakeNativeKeyCodeMap keyCodes;
        keyCodes.add(38, 0);
        keyCodes.add(55, 9);
        keyCodes.add(87, 83);
        std::unique_ptr<QEvent> event;
        if (type == QEvent::MouseButtonRelease)
            event = std::make_unique<QMouseEvent>(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1),
                                                  Qt::LeftButton, Qt::NoButton, modifiers);
        else
            event
                = std::make_unique<QKeyEvent>(QEvent::Type(type), Qt::Key_unknown, modifiers, scanCode, 0, 0);
        const std::optional<Shortcut> shortcut = Shortcut::fromKeyEvent(event.get(), keyCodes);
        QCOMPARE(shortcut, valid ? std::optional(Shortcut(keyCode, carbonModifiers)) : std::nullopt);
        QVERIFY(!Shortcut::fromKeyEvent(nullptr, keyCodes));
    }

    void specialKeyTable()
    {
        for (const SpecialKey key : allSpecialKeys()) {
            const int code = carbonKeyCode(key);
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
        QTest::newRow("escape") << 53 << (command | shift) << QStringLiteral(u"⇧⌘⎋")
                                << QStringLiteral("Ctrl+Shift+Esc");
        QTest::newRow("keypad enter")
            << 76 << command << QStringLiteral(u"⌘\u21A9\u20E3") << QStringLiteral("Ctrl+Num+Enter");
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
        menu.addAction(u"Pad"_qs)->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_1));
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(83, 0), &menu), nullptr);
        // The layout is read at each search: a German layout types Y on the
        // U.S. Z key.
        QAction *redo = menu.addAction(u"Redo"_qs);
        redo->setShortcut(QKeySequence(u"Ctrl+Y"_qs));
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::z, Qt::ControlModifier), &menu), nullptr);
        m_layout->set(Key::z.rawValue(), u"y"_qs);
        QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::z, Qt::ControlModifier), &menu), redo);
    }

    // Shortcuts must match the list exactly (F12 alone is never taken:
    // tst_x11shortcuts); the
    // hotkeys' own combinations do not count; the list is read at each check.
    void takenBySystem()
    {
        const Shortcut ours(9, shift | control);
        const QList<Shortcut> reserved {Shortcut(111, shift), Shortcut(49, command), ours};
        m_system->setReserved(reserved);
        QCOMPARE(systemReservedShortcuts(), reserved);
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

    // Option alone is refused on sandboxed macOS 15.0 and 15.1 only; never
    // here. Shortcuts from the symbolic hotkeys keep the enabled entries only.
    void macOSRules()
    {
        const QOperatingSystemVersion macOS15(QOperatingSystemVersion::MacOS, 15, 0);
        QVERIFY(Shortcut(0, option).isDisallowedOn(macOS15, true));
        QVERIFY(!Shortcut(0, option).isDisallowedOn(macOS15, false));
        QVERIFY(!Shortcut(0, option).isDisallowed());

        const auto entry = [](bool enabled, int code) {
            return QVariantMap {{u"kHISymbolicHotKeyEnabled"_qs, enabled},
                                {u"kHISymbolicHotKeyCode"_qs, code},
                                {u"kHISymbolicHotKeyModifiers"_qs, command}};
        };
        QCOMPARE(shortcutsFromSymbolicHotKeys(QVariantList {entry(false, 50), entry(true, 49)}),
                 QList<Shortcut> {Shortcut(49, command)});
        QVERIFY(shortcutsFromSymbolicHotKeys(u"x"_qs).isEmpty());
    }

private:
    std::shared_ptr<FakeKeyboardLayout> m_layout;
    std::shared_ptr<FakeSystemShortcutSource> m_system;
};

QTEST_MAIN(TestShortcuts)
#include "tst_shortcuts.moc"
