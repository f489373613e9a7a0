#include "KeyboardShortcuts/ShortcutServices.h"
#include "KeyboardShortcuts/wayland/ShortcutTriggerText.h"
#include "fakes/FakeKeyboardLayout.h"

#include <QTest>

using namespace KeyboardShortcuts;

// Stored shortcuts in the words of the GlobalShortcuts portal and of sway's
// bindsym: modifiers by their names there, the key by its xkb keysym name as
// the current layout (or, for keys without text, a US keyboard) has it.
class TestShortcutTriggerText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { resetShortcutServices(); }
    void triggers_data();
    void triggers();
};

void TestShortcutTriggerText::triggers_data()
{
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("layoutText"); // what the layout puts on the key; empty: the US text
    QTest::addColumn<QString>("portal");
    QTest::addColumn<QString>("sway");
    // Carbon: command 0x100 (Ctrl), shift 0x200, option 0x800 (Alt), control 0x1000 (Super).
    QTest::newRow("default Shift+Super+V")
        << 9 << 0x1200 << QString() << QStringLiteral("SHIFT+LOGO+v") << QStringLiteral("Mod4+Shift+v");
    QTest::newRow("all four") << 9 << 0x1b00 << QString() << QStringLiteral("CTRL+ALT+SHIFT+LOGO+v")
                              << QStringLiteral("Mod4+Ctrl+Mod1+Shift+v");
    QTest::newRow("punctuation by name")
        << 43 << 0x100 << QString() << QStringLiteral("CTRL+comma") << QStringLiteral("Ctrl+comma");
    QTest::newRow("digit") << 18 << 0x1000 << QString() << QStringLiteral("LOGO+1")
                           << QStringLiteral("Mod4+1");
    // A German layout types z on the US y key: the binding follows the layout.
    QTest::newRow("layout's own letter")
        << 16 << 0x1000 << QStringLiteral("z") << QStringLiteral("LOGO+z") << QStringLiteral("Mod4+z");
    // Keys without text take the US keysym.
    QTest::newRow("function key") << 122 << 0 << QString() << QStringLiteral("F1") << QStringLiteral("F1");
    QTest::newRow("return") << 36 << 0x1000 << QString() << QStringLiteral("LOGO+Return")
                            << QStringLiteral("Mod4+Return");
    QTest::newRow("space") << 49 << 0x800 << QString() << QStringLiteral("ALT+space")
                           << QStringLiteral("Mod1+space");
}

void TestShortcutTriggerText::triggers()
{
    QFETCH(int, keyCode);
    QFETCH(int, modifiers);
    QFETCH(QString, layoutText);
    QFETCH(QString, portal);
    QFETCH(QString, sway);
    auto layout = std::make_shared<FakeKeyboardLayout>(FakeKeyboardLayout::usLayout());
    if (!layoutText.isEmpty())
        layout->set(keyCode, layoutText);
    setShortcutServices({layout, nullptr, nullptr, nullptr});
    const Shortcut shortcut(keyCode, modifiers);
    QCOMPARE(ShortcutTriggerText::portalTrigger(shortcut), portal);
    QCOMPARE(ShortcutTriggerText::swayCombination(shortcut), sway);
}

QTEST_MAIN(TestShortcutTriggerText)
#include "tst_shortcuttriggertext.moc"
