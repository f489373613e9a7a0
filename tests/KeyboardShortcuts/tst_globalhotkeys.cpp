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

        // Unregistering removes every record of the shortcut, and its hotkeys.
        layer.unregisterShortcut(shiftSuperV);
        QCOMPARE(idsAndStates(layer), (QList<std::pair<quint32, bool>> {{3, true}}));
        QCOMPARE(backend.held.size(), size_t(1));
        layer.registerShortcut(shiftSuperV, {}, {});
        QCOMPARE(idsAndStates(layer), (QList<std::pair<quint32, bool>> {{3, true}, {5, true}}));
    }

    // Switched off and on again, the hotkeys come back under their
    // identifiers; one whose combination was taken meanwhile is dropped and
    // reported.
    void suspendAndReregisterKeepIdentifiersOrDrop()
    {
        FakeHotKeyBackend backend;
        GlobalHotKeys layer(backend);
        layer.registerShortcut(shiftSuperV, {}, {});
        layer.registerShortcut(optionF, {}, {});
        layer.setEnabled(false);
        QCOMPARE(idsAndStates(layer), (QList<std::pair<quint32, bool>> {{1, false}, {2, false}}));
        backend.taken.insert(shiftSuperV);
        backend.calls.clear();
        QCOMPARE(StdoutCapture::during([&] { layer.setEnabled(true); }),
                 QStringLiteral("Error registering hotkey ⌃⇧V: 10\n").toUtf8());
        QCOMPARE(backend.calls, (QList<Call> {{Call::Register, 1}, {Call::Register, 2}}));
        QCOMPARE(idsAndStates(layer), (QList<std::pair<quint32, bool>> {{2, true}}));
    }

    // While a menu is open the hotkeys are suspended and matched in the
    // application's key events: a repeat, another modifier or a stored bit
    // outside the five does not count; the menu stays open until its last
    // popup, a submenu too, closes.
    void menuOpenSuspendsAndMatchesKeyEvents()
    {
        FakeHotKeyBackend backend;
        backend.nativeKeyCodes.add(9 + 8, 9); // V
        GlobalHotKeys layer(backend);
        MenuTracker tracker(layer, backend.keyCodes());
        int pressed = 0;
        layer.registerShortcut(shiftSuperV, [&](const Shortcut &) { ++pressed; }, {});
        KeyRecordingWindow popup;
        popup.setFlags(Qt::Popup);
        popup.show();
        QVERIFY(layer.isMatchingKeyEvents());

        const auto send = [&](Qt::KeyboardModifiers modifiers, bool autoRepeat) {
            QKeyEvent event(QEvent::KeyPress, Qt::Key_V, modifiers, 17, 0, 0, QString(), autoRepeat);
            QCoreApplication::sendEvent(&popup, &event);
        };
        send(Qt::ShiftModifier | Qt::MetaModifier, false);
        send(Qt::ShiftModifier | Qt::MetaModifier, true);
        send(Qt::ShiftModifier, false);
        QCOMPARE(pressed, 1);
        QCOMPARE(popup.keys, QList<int> {Qt::Key_V});
        QVERIFY(!layer.handleKeyEvent(Shortcut(0, 0x1600), EventType::keyDown));

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
        QVERIFY(!layer.isMatchingKeyEvents());
        QCOMPARE(backend.calls, (QList<Call> {{Call::Register, 1}}));
    }

    void firstUseWritesTheDefaultOnce()
    {
        QSignalSpy changes(&notifier(), &ShortcutNotifier::shortcutByNameDidChange);
        const Name name = Name::togglePanel();
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
        reset({Name::togglePanel()});
        QCOMPARE(getShortcut(Name::togglePanel()), Name::togglePanelDefault());
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

    // Plain handlers run before streams; a stream keeps its hotkey after the
    // handlers went, until it ends itself.
    void streamsFollowHandlersAndHoldTheHotKey()
    {
        const Name name(QStringLiteral("custom"));
        setShortcut(optionF, name);
        QStringList order;
        auto stream = events(name);
        connect(stream.get(), &EventStream::eventOccurred, this, [&](EventType type) {
            order.append(type == EventType::keyDown ? u"stream down"_qs : u"stream up"_qs);
        });
        QCoreApplication::processEvents(); // the stream's handlers are installed on the next turn
        onKeyDown(name, [&] { order.append(u"down"_qs); });
        onKeyUp(name, [&] { order.append(u"up"_qs); });
        QVERIFY(m_backend->press(optionF));
        QVERIFY(m_backend->release(optionF));
        QCOMPARE(order, (QStringList {u"down"_qs, u"stream down"_qs, u"up"_qs, u"stream up"_qs}));

        removeHandler(name);
        QVERIFY(isEnabled(name));
        stream.reset();
        QCoreApplication::processEvents();
        QVERIFY(!isEnabled(name));
        QVERIFY(m_backend->held.empty());
    }

    // A pause silences the handlers without unregistering anything; the
    // answer to "is it ours" follows the stored shortcut.
    void pauseAndOwnHotKeys()
    {
        const Name name(QStringLiteral("custom"));
        QVERIFY(!isOwnHotKey(optionF));
        setShortcut(optionF, name);
        int runs = 0;
        onKeyDown(name, [&] { ++runs; });
        disable({name});
        QVERIFY(!m_backend->press(optionF));
        enable({name});
        m_backend->calls.clear();
        setPaused(true);
        QVERIFY(m_backend->press(optionF));
        QCOMPARE(runs, 0);
        setPaused(false);
        QVERIFY(m_backend->press(optionF));
        QCOMPARE(runs, 1);
        QVERIFY(m_backend->calls.isEmpty());

        setShortcut(cmdK, name);
        QVERIFY(!isOwnHotKey(optionF));
        QVERIFY(isOwnHotKey(cmdK));
    }

    // A binding whose action is gone is never touched again (the address
    // sanitizer catches the use of a destroyed one).
    void boundActionFollowsTheName()
    {
        const Name name(QStringLiteral("bound"));
        setShortcut(Shortcut(96, 0x0100), name);
        {
            QAction gone;
            bindActionShortcut(&gone, name);
        }
        QAction action;
        bindActionShortcut(&action, name);
        QCOMPARE(action.shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F5));
        setShortcut(std::nullopt, name);
        QTRY_COMPARE(action.shortcut(), QKeySequence());
    }
};

QTEST_MAIN(TestGlobalHotKeys)
#include "tst_globalhotkeys.moc"
