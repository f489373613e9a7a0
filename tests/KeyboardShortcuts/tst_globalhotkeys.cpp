// Global hotkeys over a fake backend: the hotkey layer (identifiers,
// records, suspension, the failure line, the menu-open mode) and above it
// names, the settings store and the handler registry, in a private settings
// directory.

#include "KeyboardShortcuts/EventStream.h"
#include "KeyboardShortcuts/GlobalHotKeys.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/MenuTracker.h"
#include "KeyboardShortcuts/ShortcutNotifier.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "fakes/FakeHotKeyBackend.h"
#include "fakes/FakeKeyboardLayout.h"
#include "support/PrivateSettings.h"
#include "support/StdoutCapture.h"

#include <QAction>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using namespace KeyboardShortcuts;
using Call = FakeHotKeyBackend::Call;

namespace {

const Shortcut shiftSuperV(9, 0x1200);
const Shortcut cmdShiftV(9, 0x0300);
const Shortcut optionF(3, 0x0800);
const Shortcut cmdK(40, 0x0100);

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

QVariant storedValue(const QString &rawName)
{
    return PrivateSettings::store().value(QStringLiteral("KeyboardShortcuts_") + rawName);
}

void storeValue(const QString &rawName, const QVariant &value)
{
    PrivateSettings::store().setValue(QStringLiteral("KeyboardShortcuts_") + rawName, value);
}

} // namespace

class TestGlobalHotKeys : public QObject
{
    Q_OBJECT

private:
    PrivateSettings m_settings;
    FakeHotKeyBackend *m_backend = nullptr; // the one the registry uses

    void startFresh()
    {
        auto backend = std::make_unique<FakeHotKeyBackend>();
        m_backend = backend.get();
        resetState(std::move(backend));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_settings.isValid());
        // The failure line names the shortcut by its symbol form, which needs
        // the layout's character for V.
        ShortcutServices services;
        services.keyboardLayout = std::make_shared<FakeKeyboardLayout>(FakeKeyboardLayout::usLayout());
        setShortcutServices(services);
    }

    void init()
    {
        PrivateSettings::store().clear();
        startFresh();
    }

    void cleanupTestCase()
    {
        resetState();
        resetShortcutServices();
    }

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

    void firstUseWritesTheDefaultOnce()
    {
        QSignalSpy changes(&notifier(), &ShortcutNotifier::shortcutByNameDidChange);
        const Name name = Name::togglePanel();
        QCOMPARE(name.rawValue(), QStringLiteral("togglePanel"));
        QCOMPARE(storedValue(QStringLiteral("togglePanel")).toString(),
                 QStringLiteral(R"({"carbonKeyCode":9,"carbonModifiers":4608})"));
        QCOMPARE(m_backend->calls, (QList<Call> {{Call::Register, 1}}));
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0].value<Name>(), name);

        // Later uses in the same process and the next start keep what is stored.
        setShortcut(optionF, name);
        startFresh();
        QCOMPARE(getShortcut(Name::togglePanel()), optionF);
        QVERIFY(m_backend->calls.isEmpty());

        // Removed, it stays removed at every later start.
        setShortcut(std::nullopt, Name::togglePanel());
        QCOMPARE(storedValue(QStringLiteral("togglePanel")).toString(), QStringLiteral("false"));
        for (int launch = 0; launch < 2; ++launch) {
            startFresh();
            QSignalSpy changes(&notifier(), &ShortcutNotifier::shortcutByNameDidChange);
            QCOMPARE(getShortcut(Name::togglePanel()), std::nullopt);
            QVERIFY(changes.isEmpty());
            QVERIFY(m_backend->calls.isEmpty());
        }
    }

    void resetLeavesGarbageAndRestoresDefaults()
    {
        storeValue(QStringLiteral("plain"), QStringLiteral("abc"));
        storeValue(QStringLiteral("removed"), false);
        storeValue(QStringLiteral("kept"), QString::fromUtf8(cmdK.toJson()));
        QSignalSpy changes(&notifier(), &ShortcutNotifier::shortcutByNameDidChange);

        reset({Name(QStringLiteral("plain")), Name(QStringLiteral("removed"))});
        resetAll();

        QCOMPARE(storedValue(QStringLiteral("plain")).toString(), QStringLiteral("abc"));
        QCOMPARE(storedValue(QStringLiteral("removed")).toString(), QStringLiteral("false"));
        QVERIFY(!PrivateSettings::store().contains(QStringLiteral("KeyboardShortcuts_kept")));
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0].value<Name>().rawValue(), QStringLiteral("kept"));

        // The next store replaces garbage.
        setShortcut(optionF, Name(QStringLiteral("plain")));
        QCOMPARE(getShortcut(Name(QStringLiteral("plain"))), optionF);

        // Reset brings a name's default back.
        const Name name = Name::togglePanel();
        setShortcut(optionF, name);
        reset({name});
        QCOMPARE(getShortcut(name), Name::togglePanelDefault());
        // resetAll makes names without defaults: the entry goes and the hotkey
        // with it.
        m_backend->calls.clear();
        resetAll();
        QVERIFY(!PrivateSettings::store().contains(settingsKey(name)));
        QVERIFY(m_backend->held.empty());
    }

    // Removing nothing writes and says nothing; observers read the new value;
    // the same shortcut again registers again; an early handler waits for it.
    void settingNotifiesAndRegisters()
    {
        const Name name(QStringLiteral("custom"));
        QList<std::optional<Shortcut>> seen;
        connect(&notifier(), &ShortcutNotifier::shortcutByNameDidChange, this,
                [&](const Name &changed) { seen << getShortcut(changed); });
        // A handler installed before any shortcut is stored runs once one is.
        int runs = 0;
        onKeyDown(name, [&] { ++runs; });
        QVERIFY(!isEnabled(name));
        setShortcut(std::nullopt, name);
        QVERIFY(seen.isEmpty());
        QVERIFY(m_backend->calls.isEmpty());
        QVERIFY(!PrivateSettings::store().contains(settingsKey(name)));
        setShortcut(optionF, name);
        QVERIFY(isEnabled(name));
        m_backend->calls.clear();
        setShortcut(optionF, name);
        QCOMPARE(m_backend->calls, (QList<Call> {{Call::Unregister, 1}, {Call::Register, 2}}));
        QCOMPARE(seen, (QList<std::optional<Shortcut>> {optionF, optionF}));
        QVERIFY(m_backend->press(optionF));
        QCOMPARE(runs, 1);
    }

    void dispatchRunsPlainBeforeStreamInOrder()
    {
        const Name first(QStringLiteral("first"));
        const Name second(QStringLiteral("second"));
        const Name unrelated(QStringLiteral("unrelated"));
        setShortcut(optionF, first);
        setShortcut(optionF, second);
        setShortcut(cmdK, unrelated);
        QStringList order;
        auto stream = events(first);
        connect(stream.get(), &EventStream::eventOccurred, this, [&](EventType type) {
            order.append(type == EventType::keyDown ? QStringLiteral("stream down")
                                                    : QStringLiteral("stream up"));
        });
        QCoreApplication::processEvents(); // the stream's handlers are installed on the next turn
        onKeyDown(second, [&] { order.append(QStringLiteral("second")); });
        onKeyDown(first, [&] { order.append(QStringLiteral("first a")); });
        onKeyDown(first, [&] { order.append(QStringLiteral("first b")); });
        onKeyDown(unrelated, [&] { order.append(QStringLiteral("unrelated")); });
        onKeyUp(first, [&] { order.append(QStringLiteral("first up")); });

        QVERIFY(m_backend->press(optionF));
        QVERIFY(m_backend->release(optionF));
        QCOMPARE(order,
                 (QStringList {QStringLiteral("second"), QStringLiteral("first a"), QStringLiteral("first b"),
                               QStringLiteral("stream down"), QStringLiteral("first up"),
                               QStringLiteral("stream up")}));
    }

    void streamsKeepTheHotKeyUntilTheLastEnds()
    {
        const Name name(QStringLiteral("custom"));
        setShortcut(optionF, name);
        onKeyDown(name, [] {});
        auto downs = events(EventType::keyDown, name);
        QList<EventType> seen;
        connect(downs.get(), &EventStream::eventOccurred, this, [&](EventType type) { seen.append(type); });
        QCoreApplication::processEvents();

        removeHandler(name);
        QVERIFY(isEnabled(name));
        QVERIFY(m_backend->press(optionF));
        QVERIFY(m_backend->release(optionF));
        QCOMPARE(seen, QList<EventType> {EventType::keyDown});

        downs.reset();
        QVERIFY(isEnabled(name));
        QCoreApplication::processEvents();
        QVERIFY(!isEnabled(name));
        QVERIFY(m_backend->held.empty());

        // A stream destroyed before it started leaves nothing either.
        events(name).reset();
        QCoreApplication::processEvents();
        QVERIFY(!isEnabled(name));
        QVERIFY(m_backend->held.empty());

        // Removing all handlers spares the hotkeys streams hold.
        const Name streamed(QStringLiteral("streamed"));
        setShortcut(cmdK, streamed);
        onKeyDown(name, [] {});
        onKeyDown(streamed, [] {});
        auto stream = events(streamed);
        QCoreApplication::processEvents();
        removeAllHandlers();
        QVERIFY(!isEnabled(name));
        QVERIFY(isEnabled(streamed));
    }

    // Handlers and own-hotkey answers outlive disabling, suspension and pause.
    void enableDisableAndPauseKeepHandlers()
    {
        const Name name(QStringLiteral("custom"));
        QVERIFY(!isOwnHotKey(optionF));
        setShortcut(optionF, name);
        int runs = 0;
        onKeyDown(name, [&] { ++runs; });
        disable({name});
        QVERIFY(!isEnabled(name));
        QVERIFY(!m_backend->press(optionF));
        enable({name});
        QVERIFY(isEnabled(name));
        QVERIFY(m_backend->press(optionF));
        QCOMPARE(runs, 1);

        setEnabled(false);
        QVERIFY(!isEnabled(name));
        QVERIFY(!m_backend->press(optionF));
        QVERIFY(isOwnHotKey(optionF));
        setEnabled(true);
        QVERIFY(isEnabled(name));

        // A pause silences the handlers without unregistering anything.
        m_backend->calls.clear();
        setPaused(true);
        QVERIFY(isPaused());
        QVERIFY(m_backend->press(optionF));
        QCOMPARE(runs, 1);
        setPaused(false);
        QVERIFY(m_backend->press(optionF));
        QCOMPARE(runs, 2);
        QVERIFY(m_backend->calls.isEmpty());

        setShortcut(cmdK, name);
        QVERIFY(!isOwnHotKey(optionF));
        QVERIFY(isOwnHotKey(cmdK));
    }

    void boundActionFollowsTheName()
    {
        const Shortcut ctrlF5(96, 0x0100);
        const Shortcut altF12(111, 0x0800);
        const Name name(QStringLiteral("bound"));
        const Name other(QStringLiteral("other"));
        setShortcut(ctrlF5, name);
        QAction action;
        bindActionShortcut(&action, name);
        QCOMPARE(action.shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F5));

        setShortcut(altF12, name);
        QTRY_COMPARE(action.shortcut(), QKeySequence(Qt::ALT | Qt::Key_F12));
        setShortcut(ctrlF5, other);
        setShortcut(std::nullopt, name);
        QTRY_COMPARE(action.shortcut(), QKeySequence());

        // Bound to another name, the first one no longer counts.
        bindActionShortcut(&action, other);
        QCOMPARE(action.shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F5));
        setShortcut(altF12, name);
        QCoreApplication::processEvents();
        QCOMPARE(action.shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F5));

        // Unbound, the action is cleared and stays so.
        bindActionShortcut(&action, std::nullopt);
        QCOMPARE(action.shortcut(), QKeySequence());
        setShortcut(altF12, other);
        QCoreApplication::processEvents();
        QCOMPARE(action.shortcut(), QKeySequence());

        // The binding ends with its action: under the address sanitizer this
        // catches an update that reaches a destroyed one.
        auto gone = std::make_unique<QAction>();
        bindActionShortcut(gone.get(), name);
        bindActionShortcut(&action, name);
        setShortcut(ctrlF5, name);
        gone.reset();
        QTRY_COMPARE(action.shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F5));
        setShortcut(std::nullopt, name);
        QTRY_COMPARE(action.shortcut(), QKeySequence());
    }
};

QTEST_MAIN(TestGlobalHotKeys)
#include "tst_globalhotkeys.moc"
