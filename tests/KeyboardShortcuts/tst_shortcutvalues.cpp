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
    // A name or code given twice in the table would make two keys one.
    void namedKeysAreDistinct()
    {
        QSet<int> codes;
        QSet<QByteArray> names;
        for (const NamedKey &named : namedKeys()) {
            codes.insert(named.key.rawValue());
            names.insert(QByteArray(named.name.data(), qsizetype(named.name.size())));
        }
        QCOMPARE(codes.size(), qsizetype(namedKeys().size()));
        QCOMPARE(names.size(), qsizetype(namedKeys().size()));
    }

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
        QCOMPARE(Shortcut(9, 768).toJson(), QByteArray(R"({"carbonKeyCode":9,"carbonModifiers":768})"));
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
        QTest::newRow("Ctrl+A press") << press << 38u << ctrl << true << 0 << 0x100;
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
};

QTEST_GUILESS_MAIN(TestShortcutValues)
#include "tst_shortcutvalues.moc"
