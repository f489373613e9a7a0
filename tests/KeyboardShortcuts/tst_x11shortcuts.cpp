#include "KeyboardShortcuts/Key.h"
#include "KeyboardShortcuts/LocalEventMonitor.h"
#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/Shortcut.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "KeyboardShortcuts/x11/X11KeyCodeTable.h"
#include "KeyboardShortcuts/x11/X11ModifierMasks.h"
#include "KeyboardShortcuts/x11/X11NativeKeyCodeMap.h"
#include "KeyboardShortcuts/x11/X11SystemShortcutSource.h"
#include "KeyboardShortcuts/x11/XkbKeyboardLayout.h"
#include "support/GrabKeyHelper.h"
#include "support/TestTools.h"
#include "x11/XcbConnection.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace KeyboardShortcuts;

using namespace KeyboardShortcuts::CarbonModifier;

namespace {

bool setLayout(const QString &layout)
{
    return runTool(QStringLiteral("setxkbmap"), {layout}).ok();
}

// Puts the U.S. layout back on every way out of a test.
struct UsLayoutGuard
{
    ~UsLayoutGuard() { setLayout(QStringLiteral("us")); }
};

QString grab(int carbonKeyCode, uint16_t xModifiers)
{
    return QStringLiteral("%1:%2").arg(*xKeyCodeFromCarbon(carbonKeyCode)).arg(xModifiers);
}

} // namespace

class TestX11Shortcuts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QGuiApplication::platformName() == QStringLiteral("xcb"));
        QVERIFY(setLayout(QStringLiteral("us")));
    }

    void cleanup() { resetShortcutServices(); }

    // Every named key a PC keyboard has gets a real X keycode (from 8 up,
    // evdev code + 8), and the table maps both ways one to one.
    void tableCoversNamedKeysOneToOne()
    {
        const X11NativeKeyCodeMap map;
        for (const NamedKey &named : namedKeys()) {
            const int carbon = named.key.rawValue();
            const std::optional<quint8> x = xKeyCodeFromCarbon(carbon);
            // A PC keyboard has no Fn key that reaches the X server.
            QVERIFY2(carbon == Key::function.rawValue() ? !x : x && *x >= 8, named.name.data());
            QCOMPARE(map.nativeScanCode(carbon), x ? std::optional<quint32>(*x) : std::nullopt);
        }
        for (const X11KeyCodePair &pair : x11KeyCodeTable()) {
            QCOMPARE(xKeyCodeFromCarbon(pair.carbonKeyCode), std::optional(pair.xKeyCode));
            QCOMPARE(carbonKeyCodeFromX(pair.xKeyCode), std::optional(pair.carbonKeyCode));
            QCOMPARE(map.carbonKeyCode(pair.xKeyCode), std::optional(pair.carbonKeyCode));
        }
        QVERIFY(!xKeyCodeFromCarbon(-1));
        QVERIFY(!xKeyCodeFromCarbon(70000));
        // Keycode 0 means "any key" to a grab; it must never come out of the table.
        QVERIFY(!carbonKeyCodeFromX(0));
        QVERIFY(!carbonKeyCodeFromX(300));
    }

    void knownPositions_data()
    {
        QTest::addColumn<Key>("key");
        QTest::addColumn<int>("xKeyCode");
        // X keycodes of a pc105 keyboard with evdev keycodes (xmodmap -pke).
        QTest::newRow("y") << Key::y << 29;
        QTest::newRow("control is Super_L") << Key::control << 133;
        QTest::newRow("f13") << Key::f13 << 191;
        QTest::newRow("keypad enter") << Key::keypadEnter << 104;
        QTest::newRow("ISO section") << Key(10) << 94;
    }

    void knownPositions()
    {
        QFETCH(Key, key);
        QFETCH(int, xKeyCode);
        QCOMPARE(xKeyCodeFromCarbon(key.rawValue()), std::optional<quint8>(quint8(xKeyCode)));
    }

    void keyToCharacterFollowsLayoutSwitch()
    {
        UsLayoutGuard guard;
        auto layout = std::make_shared<XkbKeyboardLayout>();
        QVERIFY(layout->isValid());
        setShortcutServices({layout, nullptr, nullptr, nullptr});

        const Shortcut zPosition(Key::z, Qt::ControlModifier);
        QCOMPARE(zPosition.keyToCharacter(), std::optional<QString>(QStringLiteral("z")));

        QVERIFY(setLayout(QStringLiteral("de")));
        // Carbon code 6 is the key left of X on a U.S. keyboard, which types y in
        // a German layout; the next call already sees the switch.
        QCOMPARE(zPosition.keyToCharacter(), std::optional<QString>(QStringLiteral("y")));
        QCOMPARE(zPosition.description(), QStringLiteral(u"⌘Y"));
        // The German key left of 1 is a dead circumflex: no character of its own.
        QCOMPARE(Shortcut(Key::backtick, {}).keyToCharacter(), std::nullopt);
    }

    void grabbedCombinationIsTaken()
    {
        XcbConnection connection;
        QVERIFY(connection.isValid());
        const X11ModifierMasks masks = X11ModifierMasks::read(connection.get());

        auto source = std::make_shared<X11SystemShortcutSource>();
        setShortcutServices({nullptr, nullptr, source, nullptr});

        const Shortcut panel(9, shift | control); // Shift+Super+V
        const Shortcut f12(111, 0);
        QVERIFY(!panel.isTakenBySystem());
        QVERIFY(!source->isTaken(f12));

        auto grabber = startGrabKeyHelper({grab(9, XCB_MOD_MASK_SHIFT | masks.super), grab(111, 0)});
        QVERIFY(grabber);
        QVERIFY(panel.isTakenBySystem());
        QVERIFY(!Shortcut(9, control).isTakenBySystem()); // Super+V alone is not held
        // F12 alone is held by the other client, yet never reported as taken.
        QVERIFY(source->isTaken(f12));
        QVERIFY(!f12.isTakenBySystem());
        // A check leaves nothing behind: a free combination stays free.
        QVERIFY(!Shortcut(9, control).isTakenBySystem());

        grabber->kill();
        QVERIFY(grabber->waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!panel.isTakenBySystem(), 10000);
    }

    void keyMonitorSwallowsRealKeyPresses()
    {
        QLineEdit edit;
        edit.show();
        edit.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&edit));
        QTRY_VERIFY_WITH_TIMEOUT(edit.hasFocus(), 5000);

        const X11NativeKeyCodeMap keyCodes;
        QList<Shortcut> seen;
        int modifierPresses = 0;
        auto monitor
            = std::make_unique<LocalEventMonitor>(QList {QEvent::KeyPress}, [&](QObject *, QEvent *event) {
                  if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Control)
                      ++modifierPresses;
                  else if (const auto shortcut = Shortcut::fromKeyEvent(event, keyCodes))
                      seen.append(*shortcut);
                  return EventMonitorVerdict::swallow();
              });
        monitor->start();
        QVERIFY(xdotoolKeys({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("ctrl+v")}));
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 3, 10000);
        QCOMPARE(seen.at(0), Shortcut(Key::a, {}));
        QCOMPARE(seen.at(1), Shortcut(Key::b, {}));
        QCOMPARE(seen.at(2), Shortcut(Key::v, Qt::ControlModifier));
        QCOMPARE(modifierPresses, 1);
        QApplication::processEvents();
        QCOMPARE(edit.text(), QString());

        monitor.reset();
        QVERIFY(xdotoolKeys({QStringLiteral("c"), QStringLiteral("d")}));
        QTRY_COMPARE_WITH_TIMEOUT(edit.text(), QStringLiteral("cd"), 10000);
        QCOMPARE(seen.size(), 3);
    }

    void monitorSeesRealEventsOnce()
    {
        // Real input reaches the window first and is then sent on to the widget
        // (as a copy, for the mouse); the monitor must see each event once and
        // the widget must still get it.
        QPushButton button(QStringLiteral("Target"));
        button.resize(200, 80);
        button.show();
        button.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&button));
        QSignalSpy clicked(&button, &QPushButton::clicked);

        int keyPresses = 0;
        int releases = 0;
        bool swallowReleases = false;
        LocalEventMonitor monitor(
            {QEvent::KeyPress, QEvent::MouseButtonRelease}, [&](QObject *, QEvent *event) {
                if (event->type() == QEvent::KeyPress) {
                    ++keyPresses;
                    return EventMonitorVerdict::pass();
                }
                ++releases;
                return swallowReleases ? EventMonitorVerdict::swallow() : EventMonitorVerdict::pass();
            });
        monitor.start();

        const QPoint centre = button.mapToGlobal(button.rect().center());
        QVERIFY(xdotoolClick(centre));
        QTRY_COMPARE_WITH_TIMEOUT(clicked.count(), 1, 10000);
        QCOMPARE(releases, 1);

        // The space bar clicks a focused push button on its release.
        button.setFocus();
        QVERIFY(xdotoolKeys({QStringLiteral("space")}));
        QTRY_COMPARE_WITH_TIMEOUT(clicked.count(), 2, 10000);
        QCOMPARE(keyPresses, 1);

        // A swallowed release never completes the click.
        swallowReleases = true;
        QVERIFY(xdotoolClick(centre));
        QTRY_COMPARE_WITH_TIMEOUT(releases, 2, 10000);
        QApplication::processEvents();
        QCOMPARE(clicked.count(), 2);
    }
};

QTEST_MAIN(TestX11Shortcuts)
#include "tst_x11shortcuts.moc"
