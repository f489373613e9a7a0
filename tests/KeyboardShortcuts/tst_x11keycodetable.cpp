#include "KeyboardShortcuts/Key.h"
#include "KeyboardShortcuts/x11/X11KeyCodeTable.h"
#include "KeyboardShortcuts/x11/X11NativeKeyCodeMap.h"

#include <QTest>

using namespace KeyboardShortcuts;

class TestX11KeyCodeTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        QTest::newRow("one") << Key::one << 10;
        QTest::newRow("escape") << Key::escape << 9;
        QTest::newRow("return") << Key::returnKey << 36;
        QTest::newRow("space") << Key::space << 65;
        QTest::newRow("backspace") << Key::deleteKey << 22;
        QTest::newRow("control is Super_L") << Key::control << 133;
        QTest::newRow("f1") << Key::f1 << 67;
        QTest::newRow("f13") << Key::f13 << 191;
        QTest::newRow("keypad enter") << Key::keypadEnter << 104;
        QTest::newRow("keypad 1") << Key::keypad1 << 87;
        QTest::newRow("up") << Key::upArrow << 111;
        QTest::newRow("ISO section") << Key(10) << 94;
    }

    void knownPositions()
    {
        QFETCH(Key, key);
        QFETCH(int, xKeyCode);
        QCOMPARE(xKeyCodeFromCarbon(key.rawValue()), std::optional<quint8>(quint8(xKeyCode)));
    }
};

QTEST_GUILESS_MAIN(TestX11KeyCodeTable)
#include "tst_x11keycodetable.moc"
