#include "KeyboardShortcuts/Key.h"
#include "KeyboardShortcuts/x11/X11KeyCodeTable.h"
#include "KeyboardShortcuts/x11/X11NativeKeyCodeMap.h"

#include <QSet>
#include <QTest>

using namespace KeyboardShortcuts;

class TestX11KeyCodeTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyNamedKeyRoundTrips_data();
    void everyNamedKeyRoundTrips();
    void tableIsOneToOne();
    void knownPositions_data();
    void knownPositions();
    void unmappedCodes();
};

void TestX11KeyCodeTable::everyNamedKeyRoundTrips_data()
{
    QTest::addColumn<int>("carbonKeyCode");
    for (const NamedKey &named : namedKeys())
        QTest::newRow(named.name.data()) << named.key.rawValue();
}

void TestX11KeyCodeTable::everyNamedKeyRoundTrips()
{
    QFETCH(int, carbonKeyCode);
    const std::optional<quint8> xKeyCode = xKeyCodeFromCarbon(carbonKeyCode);
    if (carbonKeyCode == Key::function.rawValue()) {
        // A PC keyboard has no Fn key that reaches the X server.
        QVERIFY(!xKeyCode);
        return;
    }
    QVERIFY(xKeyCode);
    // X keycodes of real keys start at 8 (evdev code + 8).
    QVERIFY(*xKeyCode >= 8);
    QCOMPARE(carbonKeyCodeFromX(*xKeyCode), std::optional<int>(carbonKeyCode));

    const X11NativeKeyCodeMap map;
    QCOMPARE(map.nativeScanCode(carbonKeyCode), std::optional<quint32>(*xKeyCode));
    QCOMPARE(map.carbonKeyCode(*xKeyCode), std::optional<int>(carbonKeyCode));
}

void TestX11KeyCodeTable::tableIsOneToOne()
{
    QSet<int> carbon;
    QSet<int> x;
    for (const X11KeyCodePair &pair : x11KeyCodeTable()) {
        carbon.insert(pair.carbonKeyCode);
        x.insert(pair.xKeyCode);
    }
    QCOMPARE(carbon.size(), qsizetype(x11KeyCodeTable().size()));
    QCOMPARE(x.size(), qsizetype(x11KeyCodeTable().size()));
}

void TestX11KeyCodeTable::knownPositions_data()
{
    QTest::addColumn<Key>("key");
    QTest::addColumn<int>("xKeyCode");
    // X keycodes of a pc105 keyboard with evdev keycodes (xmodmap -pke).
    QTest::newRow("a") << Key::a << 38;
    QTest::newRow("v") << Key::v << 55;
    QTest::newRow("y") << Key::y << 29;
    QTest::newRow("one") << Key::one << 10;
    QTest::newRow("escape") << Key::escape << 9;
    QTest::newRow("return") << Key::returnKey << 36;
    QTest::newRow("space") << Key::space << 65;
    QTest::newRow("backspace") << Key::deleteKey << 22;
    QTest::newRow("command is Control_L") << Key::command << 37;
    QTest::newRow("control is Super_L") << Key::control << 133;
    QTest::newRow("option is Alt_L") << Key::option << 64;
    QTest::newRow("f1") << Key::f1 << 67;
    QTest::newRow("f13") << Key::f13 << 191;
    QTest::newRow("keypad enter") << Key::keypadEnter << 104;
    QTest::newRow("keypad 1") << Key::keypad1 << 87;
    QTest::newRow("up") << Key::upArrow << 111;
    QTest::newRow("ISO section") << Key(10) << 94;
}

void TestX11KeyCodeTable::knownPositions()
{
    QFETCH(Key, key);
    QFETCH(int, xKeyCode);
    QCOMPARE(xKeyCodeFromCarbon(key.rawValue()), std::optional<quint8>(quint8(xKeyCode)));
}

void TestX11KeyCodeTable::unmappedCodes()
{
    QVERIFY(!xKeyCodeFromCarbon(-1));
    QVERIFY(!xKeyCodeFromCarbon(70000));
    QVERIFY(!xKeyCodeFromCarbon(Key::function.rawValue()));
    // Keycode 0 means "any key" to a grab; it must never come out of the table.
    QVERIFY(!carbonKeyCodeFromX(0));
    QVERIFY(!carbonKeyCodeFromX(300));
}

QTEST_GUILESS_MAIN(TestX11KeyCodeTable)
#include "tst_x11keycodetable.moc"
