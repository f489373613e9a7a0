// The hotkey layer over a fake backend: identifiers, records, suspension,
// the failure line and the menu-open mode.

#include "KeyboardShortcuts/GlobalHotKeys.h"
#include "KeyboardShortcuts/MenuTracker.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "fakes/FakeHotKeyBackend.h"
#include "fakes/FakeKeyboardLayout.h"
#include "support/StdoutCapture.h"

#include <QKeyEvent>
#include <QTest>
#include <QWindow>

using namespace KeyboardShortcuts;
using Call = FakeHotKeyBackend::Call;

namespace {

const Shortcut shiftSuperV(9, 0x1200);
const Shortcut cmdShiftV(9, 0x0300);
const Shortcut optionF(3, 0x0800);

class KeyRecordingWindow : public QWindow
{
public:
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent *event) override { keys.append(event->key()); }
};

QList<std::pair<quint32, bool>> idsAndStates(const GlobalHotKeys &layer)
{
    QList<std::pair<quint32, bool>> result;
    for (const auto &record : layer.records())
        result.append({record.id, record.registered});
    return result;
}

} // namespace

class TestGlobalHotKeys : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The failure line names the shortcut by its symbol form, which needs
        // the layout's character for V.
        ShortcutServices services;
        services.keyboardLayout = std::make_shared<FakeKeyboardLayout>(FakeKeyboardLayout::usLayout());
        setShortcutServices(services);
    }

    void cleanupTestCase() { resetShortcutServices(); }

    void identifiersAreNeverReused()
    {
        FakeHotKeyBackend backend;
        GlobalHotKeys layer(backend);
        backend.taken.insert(cmdShiftV);

        layer.registerShortcut(shiftSuperV, {}, {});
        QCOMPARE(StdoutCapture::during([&] { layer.registerShortcut(cmdShiftV, {}, {}); }),
                 QStringLiteral("Error registering hotkey ⇧⌘V: 10\n").toUtf8());
        layer.registerShortcut(optionF, {}, {});
        layer.registerShortcut(shiftSuperV, {}, {});
        QCOMPARE(idsAndStates(layer), (QList<std::pair<quint32, bool>> {{1, true}, {3, true}, {4, true}}));

        // Unregistering removes every record of the shortcut.
        layer.unregisterShortcut(shiftSuperV);
        QCOMPARE(idsAndStates(layer), (QList<std::pair<quint32, bool>> {{3, true}}));
        layer.registerShortcut(shiftSuperV, {}, {});
        QCOMPARE(idsAndStates(layer), (QList<std::pair<quint32, bool>> {{3, true}, {5, true}}));
        QCOMPARE(layer.lastIdentifier(), 5u);
        QCOMPARE(backend.calls,
                 (QList<Call> {{Call::Register, 1},
                               {Call::Register, 2},
                               {Call::Register, 3},
                               {Call::Register, 4},
                               {Call::Unregister, 1},
                               {Call::Unregister, 4},
                               {Call::Register, 5}}));
    }

    void suspendAndReregisterKeepIdentifiersOrDrop()
    {
        FakeHotKeyBackend backend;
        GlobalHotKeys layer(backend);
        layer.registerShortcut(shiftSuperV, {}, {});
        layer.registerShortcut(optionF, {}, {});
        backend.calls.clear();

        layer.setEnabled(false);
        QCOMPARE(backend.calls, (QList<Call> {{Call::Unregister, 1}, {Call::Unregister, 2}}));
        QCOMPARE(idsAndStates(layer), (QList<std::pair<quint32, bool>> {{1, false}, {2, false}}));

        backend.calls.clear();
        layer.setEnabled(false);
        QVERIFY(backend.calls.isEmpty());

        layer.setEnabled(true);
        QCOMPARE(backend.calls, (QList<Call> {{Call::Register, 1}, {Call::Register, 2}}));
        QCOMPARE(idsAndStates(layer), (QList<std::pair<quint32, bool>> {{1, true}, {2, true}}));

        backend.calls.clear();
        layer.setEnabled(true);
        QVERIFY(backend.calls.isEmpty());

        // A record whose registration fails on the way back is dropped.
        layer.setEnabled(false);
        backend.taken.insert(shiftSuperV);
        QCOMPARE(StdoutCapture::during([&] { layer.setEnabled(true); }),
                 QStringLiteral("Error registering hotkey ⌃⇧V: 10\n").toUtf8());
        QCOMPARE(idsAndStates(layer), (QList<std::pair<quint32, bool>> {{2, true}}));
    }

    void flagsBeforeFirstRegistrationApplyOnInstall()
    {
        FakeHotKeyBackend backend;
        GlobalHotKeys layer(backend);
        layer.setEnabled(false);
        QVERIFY(backend.calls.isEmpty());

        int pressed = 0;
        layer.registerShortcut(shiftSuperV, [&](const Shortcut &) { ++pressed; }, {});
        // Registered at once, then suspended by the first installation.
        QCOMPARE(backend.calls, (QList<Call> {{Call::Register, 1}, {Call::Unregister, 1}}));
        QVERIFY(!backend.press(shiftSuperV));

        layer.setEnabled(true);
        QCOMPARE(backend.held.size(), size_t(1));
        QVERIFY(backend.press(shiftSuperV));
        QCOMPARE(pressed, 1);
    }

    void menuOpenSuspendsAndMatchesKeyEvents()
    {
        FakeHotKeyBackend backend;
        backend.nativeKeyCodes.add(9 + 8, 9); // V
        backend.nativeKeyCodes.add(0 + 8, 0); // A
        GlobalHotKeys layer(backend);
        MenuTracker tracker(layer, backend.keyCodes());
        int pressed = 0;
        int released = 0;
        layer.registerShortcut(
            shiftSuperV, [&](const Shortcut &) { ++pressed; }, [&](const Shortcut &) { ++released; });
        layer.registerShortcut(Shortcut::fromRawValues(0, 0x1600), [&](const Shortcut &) { ++pressed; }, {});
        backend.calls.clear();

        KeyRecordingWindow popup;
        popup.setFlags(Qt::Popup);
        popup.resize(50, 50);
        popup.show();
        QVERIFY(layer.isMenuOpen());
        QVERIFY(layer.isMatchingKeyEvents());
        QCOMPARE(backend.calls, (QList<Call> {{Call::Unregister, 1}, {Call::Unregister, 2}}));

        auto send = [&](QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, quint32 scanCode,
                        bool autoRepeat = false) {
            QKeyEvent event(type, key, modifiers, scanCode, 0, 0, QString(), autoRepeat);
            QCoreApplication::sendEvent(&popup, &event);
        };
        const auto shiftMeta = Qt::ShiftModifier | Qt::MetaModifier;
        send(QEvent::KeyPress, Qt::Key_V, shiftMeta, 17);
        send(QEvent::KeyPress, Qt::Key_V, shiftMeta, 17, true);
        send(QEvent::KeyRelease, Qt::Key_V, shiftMeta, 17);
        QCOMPARE(pressed, 1);
        QCOMPARE(released, 1);
        // Other keys and other modifiers reach the menu.
        send(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 8);
        send(QEvent::KeyPress, Qt::Key_V, Qt::ShiftModifier, 17);
        QCOMPARE(popup.keys, (QList<int> {Qt::Key_A, Qt::Key_V}));
        QCOMPARE(pressed, 1);

        // A stored modifier outside the five (alpha-lock, hand-edited) never
        // matches a key event.
        QVERIFY(!layer.handleKeyEvent(Shortcut(0, 0x1200), EventType::keyDown));
        QVERIFY(!layer.handleKeyEvent(Shortcut(0, 0x1600), EventType::keyDown));
        QCOMPARE(pressed, 1);

        // The menu stays open until its last popup, a submenu too, closes;
        // an ordinary window does not count.
        QWindow submenu;
        submenu.setFlags(Qt::Popup);
        QWindow ordinary;
        submenu.show();
        ordinary.show();
        ordinary.hide();
        popup.hide();
        QVERIFY(layer.isMenuOpen());
        backend.calls.clear();
        submenu.hide();
        QVERIFY(!layer.isMenuOpen());
        QVERIFY(!layer.isMatchingKeyEvents());
        QCOMPARE(backend.calls, (QList<Call> {{Call::Register, 1}, {Call::Register, 2}}));
        QVERIFY(backend.press(shiftSuperV));
        QCOMPARE(pressed, 2);
    }

    void disabledIgnoresMenusAndKeyEvents()
    {
        FakeHotKeyBackend backend;
        backend.nativeKeyCodes.add(9 + 8, 9);
        GlobalHotKeys layer(backend);
        MenuTracker tracker(layer, backend.keyCodes());
        int pressed = 0;
        layer.registerShortcut(shiftSuperV, [&](const Shortcut &) { ++pressed; }, {});
        layer.setEnabled(false);
        backend.calls.clear();

        KeyRecordingWindow popup;
        popup.setFlags(Qt::Popup);
        popup.show();
        QVERIFY(layer.isMenuOpen());
        QVERIFY(!layer.isMatchingKeyEvents());
        QVERIFY(backend.calls.isEmpty());
        QKeyEvent event(QEvent::KeyPress, Qt::Key_V, Qt::ShiftModifier | Qt::MetaModifier, 17, 0, 0);
        QCoreApplication::sendEvent(&popup, &event);
        QCOMPARE(pressed, 0);
        QCOMPARE(popup.keys, QList<int> {Qt::Key_V});

        // Enabling while the menu is open keeps the hotkeys suspended.
        layer.setEnabled(true);
        QVERIFY(backend.calls.isEmpty());
        QVERIFY(layer.isMatchingKeyEvents());
        popup.hide();
        QCOMPARE(backend.calls, (QList<Call> {{Call::Register, 1}}));
    }
};

QTEST_MAIN(TestGlobalHotKeys)
#include "tst_globalhotkeys.moc"
