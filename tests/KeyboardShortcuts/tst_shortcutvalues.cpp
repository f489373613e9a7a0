#include "KeyboardShortcuts/Key.h"
#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/Shortcut.h"
#include "fakes/FakeNativeKeyCodeMap.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSet>
#include <QTest>

using namespace KeyboardShortcuts;

class TestShortcutValues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namedKeysAreDistinct();

    void carbonToCocoa_data();
    void carbonToCocoa();
    void cocoaToCarbon_data();
    void cocoaToCarbon();
    void carbonToQt_data();
    void carbonToQt();
    void qtToCarbon_data();
    void qtToCarbon();

    void constructorsNormalise();
    void equalityAndHash();

    void jsonRoundTrip_data();
    void jsonRoundTrip();
    void jsonText();
    void strictDecoder_data();
    void strictDecoder();
    void decodingDoesNotNormalise();

    void fromKeyEvent_data();
    void fromKeyEvent();
    void fromOtherEventsGivesNone();
};

void TestShortcutValues::namedKeysAreDistinct()
{
    // A name or code given twice in the table would make two keys one.
    QSet<int> codes;
    QSet<QByteArray> names;
    for (const NamedKey &named : namedKeys()) {
        codes.insert(named.key.rawValue());
        names.insert(QByteArray(named.name.data(), qsizetype(named.name.size())));
    }
    QCOMPARE(codes.size(), qsizetype(namedKeys().size()));
    QCOMPARE(names.size(), qsizetype(namedKeys().size()));
}

void TestShortcutValues::carbonToCocoa_data()
{
    QTest::addColumn<int>("carbon");
    QTest::addColumn<quint64>("cocoa");
    QTest::newRow("none") << 0 << quint64(0);
    QTest::newRow("command") << 0x100 << quint64(0x100000);
    QTest::newRow("shift") << 0x200 << quint64(0x20000);
    QTest::newRow("option") << 0x800 << quint64(0x80000);
    QTest::newRow("control") << 0x1000 << quint64(0x40000);
    QTest::newRow("function") << 0x20000 << quint64(0x800000);
    QTest::newRow("alpha lock dropped") << 0x400 << quint64(0);
    QTest::newRow("right-hand bits dropped") << (0x2000 | 0x4000 | 0x8000 | 0x0100) << quint64(0x100000);
    QTest::newRow("all five") << 0x21B00 << quint64(0x9E0000);
}

void TestShortcutValues::carbonToCocoa()
{
    QFETCH(int, carbon);
    QFETCH(quint64, cocoa);
    QCOMPARE(cocoaFlagsFromCarbon(carbon), cocoa);
}

void TestShortcutValues::cocoaToCarbon_data()
{
    QTest::addColumn<quint64>("cocoa");
    QTest::addColumn<int>("carbon");
    QTest::newRow("none") << quint64(0) << 0;
    QTest::newRow("command") << quint64(0x100000) << 0x100;
    QTest::newRow("control+option") << quint64(0xC0000) << 0x1800;
    QTest::newRow("function") << quint64(0x800000) << 0x20000;
    QTest::newRow("caps lock dropped") << quint64(0x10000) << 0;
    QTest::newRow("numeric pad and help dropped") << quint64(0x600000) << 0;
    QTest::newRow("device bits dropped") << quint64(0x100000 | 0xFFFF) << 0x100;
}

void TestShortcutValues::cocoaToCarbon()
{
    QFETCH(quint64, cocoa);
    QFETCH(int, carbon);
    QCOMPARE(carbonFromCocoaFlags(cocoa), carbon);
}

void TestShortcutValues::carbonToQt_data()
{
    QTest::addColumn<int>("carbon");
    QTest::addColumn<Qt::KeyboardModifiers>("qt");
    QTest::newRow("command is Ctrl") << 0x100 << Qt::KeyboardModifiers(Qt::ControlModifier);
    QTest::newRow("control is Meta") << 0x1000 << Qt::KeyboardModifiers(Qt::MetaModifier);
    QTest::newRow("option is Alt") << 0x800 << Qt::KeyboardModifiers(Qt::AltModifier);
    QTest::newRow("shift") << 0x200 << Qt::KeyboardModifiers(Qt::ShiftModifier);
    QTest::newRow("shift+control") << 0x1200 << (Qt::ShiftModifier | Qt::MetaModifier);
    QTest::newRow("function has no Qt form") << 0x20000 << Qt::KeyboardModifiers();
    QTest::newRow("alpha lock dropped") << (0x400 | 0x100) << Qt::KeyboardModifiers(Qt::ControlModifier);
}

void TestShortcutValues::carbonToQt()
{
    QFETCH(int, carbon);
    QFETCH(Qt::KeyboardModifiers, qt);
    QCOMPARE(qtModifiersFromCarbon(carbon), qt);
}

void TestShortcutValues::qtToCarbon_data()
{
    QTest::addColumn<Qt::KeyboardModifiers>("qt");
    QTest::addColumn<int>("carbon");
    QTest::newRow("Ctrl") << Qt::KeyboardModifiers(Qt::ControlModifier) << 0x100;
    QTest::newRow("Meta") << Qt::KeyboardModifiers(Qt::MetaModifier) << 0x1000;
    QTest::newRow("Alt") << Qt::KeyboardModifiers(Qt::AltModifier) << 0x800;
    QTest::newRow("Shift+Meta") << (Qt::ShiftModifier | Qt::MetaModifier) << 0x1200;
    QTest::newRow("keypad dropped") << (Qt::KeypadModifier | Qt::ControlModifier) << 0x100;
    QTest::newRow("group switch dropped") << Qt::KeyboardModifiers(Qt::GroupSwitchModifier) << 0;
}

void TestShortcutValues::qtToCarbon()
{
    QFETCH(Qt::KeyboardModifiers, qt);
    QFETCH(int, carbon);
    QCOMPARE(carbonFromQtModifiers(qt), carbon);
}

void TestShortcutValues::constructorsNormalise()
{
    const Shortcut constructed(0, 0x1800 | 0x400);
    QCOMPARE(constructed.carbonKeyCode(), 0);
    QCOMPARE(constructed.carbonModifiers(), 0x1800);

    const Shortcut fromKey(Key::v, Qt::ShiftModifier | Qt::MetaModifier | Qt::KeypadModifier);
    QCOMPARE(fromKey.carbonKeyCode(), 9);
    QCOMPARE(fromKey.carbonModifiers(), 0x1200);
    QCOMPARE(fromKey.key(), Key::v);
    QCOMPARE(fromKey.modifiers(), Qt::ShiftModifier | Qt::MetaModifier);
    QCOMPARE(fromKey.cocoaModifierFlags(), quint64(0x60000));
}

void TestShortcutValues::equalityAndHash()
{
    QCOMPARE(Shortcut(9, 768), Shortcut(Key::v, Qt::ShiftModifier | Qt::ControlModifier));
    QVERIFY(Shortcut(9, 768) != Shortcut(9, 256));
    QVERIFY(Shortcut(9, 768) != Shortcut(11, 768));

    QSet<Shortcut> set {Shortcut(9, 768), Shortcut(9, 0x1200),
                        Shortcut(Key::v, Qt::ShiftModifier | Qt::ControlModifier)};
    QCOMPARE(set.size(), 2);
    QVERIFY(set.contains(Shortcut(9, 0x1200)));
}

void TestShortcutValues::jsonRoundTrip_data()
{
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("shift+command V") << 9 << 768;
    QTest::newRow("no modifiers") << 111 << 0;
    QTest::newRow("all modifiers") << 0 << 0x21B00;
    QTest::newRow("negative code") << -5 << 0x100;
    QTest::newRow("beyond 16 bits") << 70000 << 0x100;
}

void TestShortcutValues::jsonRoundTrip()
{
    QFETCH(int, keyCode);
    QFETCH(int, modifiers);
    const Shortcut shortcut(keyCode, modifiers);
    const std::optional<Shortcut> decoded = Shortcut::fromJson(shortcut.toJson());
    QVERIFY(decoded);
    QCOMPARE(*decoded, shortcut);
}

void TestShortcutValues::jsonText()
{
    QCOMPARE(Shortcut(9, 768).toJson(), QByteArray(R"({"carbonKeyCode":9,"carbonModifiers":768})"));
}

void TestShortcutValues::strictDecoder_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("canonical") << QByteArray(R"({"carbonKeyCode":9,"carbonModifiers":768})") << true << 9
                               << 768;
    QTest::newRow("other order") << QByteArray(R"({"carbonModifiers":768,"carbonKeyCode":9})") << true << 9
                                 << 768;
    QTest::newRow("extra members ignored")
        << QByteArray(R"({"x":1,"carbonKeyCode":9,"carbonModifiers":768,"y":"z"})") << true << 9 << 768;
    QTest::newRow("whitespace") << QByteArray(" {\n \"carbonKeyCode\" : 9 ,\"carbonModifiers\":0 } ") << true
                                << 9 << 0;
    QTest::newRow("whole number as float")
        << QByteArray(R"({"carbonKeyCode":9.0,"carbonModifiers":256})") << true << 9 << 256;
    QTest::newRow("missing modifiers") << QByteArray(R"({"carbonKeyCode":9})") << false << 0 << 0;
    QTest::newRow("missing key code") << QByteArray(R"({"carbonModifiers":768})") << false << 0 << 0;
    QTest::newRow("string member") << QByteArray(R"({"carbonKeyCode":9,"carbonModifiers":"768"})") << false
                                   << 0 << 0;
    QTest::newRow("boolean member") << QByteArray(R"({"carbonKeyCode":true,"carbonModifiers":0})") << false
                                    << 0 << 0;
    QTest::newRow("null member") << QByteArray(R"({"carbonKeyCode":null,"carbonModifiers":0})") << false << 0
                                 << 0;
    QTest::newRow("fraction") << QByteArray(R"({"carbonKeyCode":9.5,"carbonModifiers":0})") << false << 0
                              << 0;
    QTest::newRow("beyond int") << QByteArray(R"({"carbonKeyCode":9,"carbonModifiers":4294967296})") << false
                                << 0 << 0;
    QTest::newRow("huge exponent") << QByteArray(R"({"carbonKeyCode":1e300,"carbonModifiers":0})") << false
                                   << 0 << 0;
    QTest::newRow("array") << QByteArray(R"([9,768])") << false << 0 << 0;
    QTest::newRow("not json") << QByteArray("abc") << false << 0 << 0;
    QTest::newRow("empty") << QByteArray() << false << 0 << 0;
    QTest::newRow("truncated") << QByteArray(R"({"carbonKeyCode":9,"carbonModif)") << false << 0 << 0;
}

void TestShortcutValues::strictDecoder()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, valid);
    const std::optional<Shortcut> decoded = Shortcut::fromJson(json);
    QCOMPARE(decoded.has_value(), valid);
    if (valid) {
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        QCOMPARE(decoded->carbonKeyCode(), keyCode);
        QCOMPARE(decoded->carbonModifiers(), modifiers);
    }
}

void TestShortcutValues::decodingDoesNotNormalise()
{
    const std::optional<Shortcut> decoded
        = Shortcut::fromJson(R"({"carbonKeyCode":0,"carbonModifiers":7168})");
    QVERIFY(decoded);
    QCOMPARE(decoded->carbonModifiers(), 0x1C00);
    QVERIFY(*decoded != Shortcut(0, 0x1C00));
    QCOMPARE(Shortcut(0, 0x1C00).carbonModifiers(), 0x1800);
}

void TestShortcutValues::fromKeyEvent_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("scanCode");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<int>("carbonModifiers");
    const auto press = int(QEvent::KeyPress);
    const auto release = int(QEvent::KeyRelease);
    QTest::newRow("Ctrl+A press") << press << 38u << Qt::KeyboardModifiers(Qt::ControlModifier) << true << 0
                                  << 0x100;
    QTest::newRow("Shift+Meta+V release")
        << release << 55u << (Qt::ShiftModifier | Qt::MetaModifier) << true << 9 << 0x1200;
    QTest::newRow("keypad modifier dropped")
        << press << 87u << (Qt::KeypadModifier | Qt::AltModifier) << true << 83 << 0x800;
    QTest::newRow("unknown scan code")
        << press << 250u << Qt::KeyboardModifiers(Qt::ControlModifier) << false << 0 << 0;
    QTest::newRow("no scan code") << press << 0u << Qt::KeyboardModifiers() << false << 0 << 0;
    QTest::newRow("shortcut override") << int(QEvent::ShortcutOverride) << 38u
                                       << Qt::KeyboardModifiers(Qt::ControlModifier) << false << 0 << 0;
}

void TestShortcutValues::fromKeyEvent()
{
    QFETCH(int, type);
    QFETCH(quint32, scanCode);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, valid);
    FakeNativeKeyCodeMap keyCodes;
    keyCodes.add(38, 0);
    keyCodes.add(55, 9);
    keyCodes.add(87, 83);
    const QKeyEvent event(QEvent::Type(type), Qt::Key_unknown, modifiers, scanCode, 0, 0);
    const std::optional<Shortcut> shortcut = Shortcut::fromKeyEvent(&event, keyCodes);
    QCOMPARE(shortcut.has_value(), valid);
    if (valid) {
        QFETCH(int, keyCode);
        QFETCH(int, carbonModifiers);
        QCOMPARE(shortcut->carbonKeyCode(), keyCode);
        QCOMPARE(shortcut->carbonModifiers(), carbonModifiers);
    }
}

void TestShortcutValues::fromOtherEventsGivesNone()
{
    FakeNativeKeyCodeMap keyCodes;
    keyCodes.add(38, 0);
    const QMouseEvent mouse(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                            Qt::NoButton, Qt::ControlModifier);
    QVERIFY(!Shortcut::fromKeyEvent(&mouse, keyCodes));
    QVERIFY(!Shortcut::fromKeyEvent(nullptr, keyCodes));
}

QTEST_GUILESS_MAIN(TestShortcutValues)
#include "tst_shortcutvalues.moc"
