// Global hotkeys on a real X server (Xvfb + openbox), driven by xdotool while
// another client's window has the focus.

#include "KeyboardShortcuts/Key.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "KeyboardShortcuts/SubsystemState.h"
#include "KeyboardShortcuts/x11/X11HotKeyBackend.h"
#include "KeyboardShortcuts/x11/X11ModifierMasks.h"
#include "KeyboardShortcuts/x11/X11ShortcutServices.h"
#include "support/GrabKeyHelper.h"
#include "support/PrivateSettings.h"
#include "support/StdoutCapture.h"
#include "support/TestTools.h"
#include "x11/XcbConnection.h"
#include "x11/XcbReply.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QWidget>

#include <vector>

using namespace KeyboardShortcuts;

namespace {

const Shortcut ctrlShiftF(Key::f, Qt::ControlModifier | Qt::ShiftModifier);

bool xdotool(const QStringList &arguments)
{
    return runTool(QStringLiteral("xdotool"), arguments).ok();
}

// Records the key presses an object receives.
class KeyCounter : public QObject
{
public:
    QList<int> keys;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress)
            keys.append(static_cast<QKeyEvent *>(event)->key());
        return false;
    }
};

// Turns CapsLock and/or NumLock on for a test and off again on every path.
class LockState
{
public:
    LockState()
    {
        const X11ModifierMasks masks = X11ModifierMasks::read(m_x.get());
        m_numLock = masks.numLock;
    }
    ~LockState()
    {
        set(XCB_MOD_MASK_LOCK, false);
        set(m_numLock, false);
    }
    quint16 current() const
    {
        XcbReply<xcb_query_pointer_reply_t> reply(
            xcb_query_pointer_reply(m_x.get(), xcb_query_pointer(m_x.get(), m_x.rootWindow()), nullptr));
        return reply ? reply->mask : 0;
    }
    bool set(quint16 lock, bool on)
    {
        if (!lock)
            return false;
        if (bool(current() & lock) != on)
            xdotoolKeys(
                {lock == XCB_MOD_MASK_LOCK ? QStringLiteral("Caps_Lock") : QStringLiteral("Num_Lock")});
        return QTest::qWaitFor([&] { return bool(current() & lock) == on; }, 5000);
    }
    quint16 numLock() const { return m_numLock; }

private:
    XcbConnection m_x;
    quint16 m_numLock = 0;
};

} // namespace

class TestX11HotKeys : public QObject
{
    Q_OBJECT

private:
    PrivateSettings m_settings;
    std::unique_ptr<QProcess> m_xterm;
    QString m_xtermWindow;
    int m_down = 0;
    int m_up = 0;

    bool focusXterm()
    {
        return xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_xtermWindow});
    }

    void handleTogglePanel()
    {
        onKeyDown(Name::togglePanel(), [this] { ++m_down; });
        onKeyUp(Name::togglePanel(), [this] { ++m_up; });
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_settings.isValid());
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        setShortcutServices(x11ShortcutServices());

        const QString title
            = QStringLiteral("halvex-hotkey-target-%1").arg(QCoreApplication::applicationPid());
        m_xterm = startTool(QStringLiteral("xterm"), {QStringLiteral("-title"), title});
        const ToolResult found = runTool(
            QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"), title}, {}, 20000);
        QVERIFY2(found.ok(), "xterm window did not appear");
        m_xtermWindow = QString::fromUtf8(found.standardOutput).split(QLatin1Char('\n')).first().trimmed();
    }

    void init()
    {
        PrivateSettings::store().clear();
        auto backend = X11HotKeyBackend::create();
        QVERIFY(backend);
        resetState(std::move(backend));
        initialize();
        m_down = m_up = 0;
        QVERIFY(focusXterm());
    }

    void cleanupTestCase()
    {
        resetState();
        resetShortcutServices();
        m_xterm->kill();
        m_xterm->waitForFinished(5000);
    }

    void defaultFiresWhileAnotherWindowHasFocus_data()
    {
        QTest::addColumn<bool>("capsLock");
        QTest::addColumn<bool>("numLock");
        QTest::newRow("NumLock") << false << true;
        QTest::newRow("CapsLock and NumLock") << true << true;
    }

    void defaultFiresWhileAnotherWindowHasFocus()
    {
        QFETCH(bool, capsLock);
        QFETCH(bool, numLock);
        LockState locks;
        QVERIFY(locks.set(XCB_MOD_MASK_LOCK, capsLock));
        if (numLock)
            QVERIFY2(locks.set(locks.numLock(), true), "no NumLock modifier in the keymap");

        handleTogglePanel();
        QCOMPARE(getShortcut(Name::togglePanel()), Shortcut(9, 0x1200));
        QVERIFY(isEnabled(Name::togglePanel()));
        QVERIFY(!QGuiApplication::focusWindow());
        QVERIFY(xdotoolKeys({QStringLiteral("shift+super+v")}));
        QTRY_COMPARE(m_down, 1);
        QTRY_COMPARE(m_up, 1);
    }

    void combinationsNoKeyboardCanPressAreNotGrabbed_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("function modifier") << 9 << 0x20100;
        QTest::newRow("key without an X keycode") << 63 << 0x0100;
    }

    void combinationsNoKeyboardCanPressAreNotGrabbed()
    {
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        const Shortcut shortcut = Shortcut::fromRawValues(keyCode, modifiers);
        auto backend = X11HotKeyBackend::create();
        QCOMPARE(backend->registerHotKey(1, shortcut), X11HotKeyBackend::NotGrabbable);
        const QByteArray line
            = StdoutCapture::during([&] { setShortcut(shortcut, Name(QStringLiteral("unpressable"))); });
        QVERIFY2(line.startsWith("Error registering hotkey ") && line.endsWith(": -50\n"), line.constData());
        QVERIFY(state().hotKeys.records().isEmpty());
    }

    void holdingTheKeysFiresOnce()
    {
        handleTogglePanel();
        QVERIFY(xdotool({QStringLiteral("keydown"), QStringLiteral("shift+super+v")}));
        QTRY_COMPARE(m_down, 1);
        // Longer than the auto-repeat delay, so the server repeats the key.
        QTest::qWait(1500);
        QVERIFY(xdotool({QStringLiteral("keyup"), QStringLiteral("shift+super+v")}));
        QTRY_COMPARE(m_up, 1);
        QCOMPARE(m_down, 1);
    }

    // Pressed again at xdotool's pace (12 ms between keys), before the
    // release could be confirmed as no auto-repeat: both presses count, also
    // with another key in between.
    void pressingAgainRightAwayFiresTwice_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("twice") << QStringList {u"shift+super+v"_qs, u"shift+super+v"_qs};
        QTest::newRow("with Escape between")
            << QStringList {u"shift+super+v"_qs, u"Escape"_qs, u"shift+super+v"_qs};
    }

    void pressingAgainRightAwayFiresTwice()
    {
        QFETCH(QStringList, keys);
        handleTogglePanel();
        QVERIFY(xdotool(QStringList {QStringLiteral("key")} + keys));
        QTRY_COMPARE(m_up, 2);
        QCOMPARE(m_down, 2);
    }

    void combinationHeldElsewhereFailsAndKeepsNothing()
    {
        const auto keycode = X11NativeKeyCodeMap().nativeScanCode(ctrlShiftF.carbonKeyCode());
        QVERIFY(keycode);
        auto holder = startGrabKeyHelper(
            {QStringLiteral("%1:%2").arg(*keycode).arg(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT)});
        QVERIFY(holder);

        const Name name(QStringLiteral("held"));
        int runs = 0;
        onKeyDown(name, [&] { ++runs; });
        QCOMPARE(StdoutCapture::during([&] { setShortcut(ctrlShiftF, name); }),
                 QStringLiteral("Error registering hotkey ⇧⌘F: 10\n").toUtf8());
        QVERIFY(state().hotKeys.records().isEmpty());

        // None of the lock variants stayed grabbed either: once the other
        // client is gone, the key with CapsLock on reaches the focused window.
        holder->kill();
        QVERIFY(holder->waitForFinished(5000));
        LockState locks;
        QVERIFY(locks.set(XCB_MOD_MASK_LOCK, true));
        handleTogglePanel();
        QVERIFY(xdotoolKeys({QStringLiteral("ctrl+shift+f")}));
        QVERIFY(xdotoolKeys({QStringLiteral("shift+super+v")}));
        QTRY_COMPARE(m_down, 1);
        QCOMPARE(runs, 0);
    }

    void openMenuStillRunsTheAction()
    {
        handleTogglePanel();
        QWidget owner;
        owner.resize(200, 100);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QMenu menu(&owner);
        bool itemTriggered = false;
        // Its mnemonic is V: a V reaching the menu would trigger it.
        connect(menu.addAction(QStringLiteral("&Value")), &QAction::triggered, this,
                [&] { itemTriggered = true; });
        menu.addAction(QStringLiteral("Other"));
        KeyCounter menuKeys;
        menu.installEventFilter(&menuKeys);
        menu.popup(owner.mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QTRY_VERIFY(isMenuOpen());
        QVERIFY(state().hotKeys.records().first().registered == false);

        QVERIFY(xdotoolKeys({QStringLiteral("shift+super+v")}));
        QTRY_COMPARE(m_down, 1);
        // Another key does reach the menu, and only after the hotkey did.
        QVERIFY(xdotoolKeys({QStringLiteral("Down")}));
        QTRY_VERIFY(menuKeys.keys.contains(Qt::Key_Down));
        QVERIFY(!menuKeys.keys.contains(Qt::Key_V));
        QVERIFY(!itemTriggered);
        QVERIFY(menu.isVisible());

        menu.hide();
        QTRY_VERIFY(!isMenuOpen());
        QVERIFY(state().hotKeys.records().first().registered);
        QVERIFY(focusXterm());
        QVERIFY(xdotoolKeys({QStringLiteral("shift+super+v")}));
        QTRY_COMPARE(m_down, 2);
    }

    void modifierMapChangeGrabsAgain()
    {
        XcbConnection x;
        XcbReply<xcb_get_modifier_mapping_reply_t> original(
            xcb_get_modifier_mapping_reply(x.get(), xcb_get_modifier_mapping(x.get()), nullptr));
        QVERIFY(original);
        const int perModifier = original->keycodes_per_modifier;
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(original.get());
        const std::vector<xcb_keycode_t> saved(codes, codes + 8 * perModifier);
        const quint16 superBit = X11ModifierMasks::read(x.get()).super;
        QVERIFY(superBit);
        int from = 0;
        while ((1 << from) != superBit)
            ++from;
        int to = 3;
        while (to < 8
               && (to == from
                   || std::any_of(saved.begin() + to * perModifier, saved.begin() + (to + 1) * perModifier,
                                  [](xcb_keycode_t k) { return k != 0; })))
            ++to;
        if (to == 8)
            QSKIP("no free modifier to move Super to");

        auto setMap = [&](const std::vector<xcb_keycode_t> &map) {
            XcbReply<xcb_set_modifier_mapping_reply_t> reply(xcb_set_modifier_mapping_reply(
                x.get(), xcb_set_modifier_mapping(x.get(), uint8_t(perModifier), map.data()), nullptr));
            return reply && reply->status == XCB_MAPPING_STATUS_SUCCESS;
        };
        std::vector<xcb_keycode_t> moved = saved;
        std::copy(saved.begin() + from * perModifier, saved.begin() + (from + 1) * perModifier,
                  moved.begin() + to * perModifier);
        std::fill(moved.begin() + from * perModifier, moved.begin() + (from + 1) * perModifier, 0);
        struct Restore
        {
            std::function<void()> f;
            ~Restore() { f(); }
        } restore {[&] { setMap(saved); }};

        handleTogglePanel();
        QVERIFY(setMap(moved));
        QTRY_COMPARE(X11ModifierMasks::read(x.get()).super, quint16(1 << to));
        // The change reaches the application's connection a moment later.
        QVERIFY(QTest::qWaitFor(
            [&] {
                QCoreApplication::processEvents();
                return xdotoolKeys({QStringLiteral("shift+super+v")})
                    && QTest::qWaitFor([&] { return m_down > 0; }, 500);
            },
            10000));
        QVERIFY(m_down >= 1);
    }
};

QTEST_MAIN(TestX11HotKeys)
#include "tst_x11hotkeys.moc"
