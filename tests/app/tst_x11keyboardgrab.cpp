// The type-ahead grab's key handling on a real X server: key events are fed
// to its event filter as the server would report them to the root window
// while the grab is held, so that sequence numbers can be chosen; and real
// key presses, to see it next to the hotkey layer.

#include "KeyboardShortcuts/Key.h"
#include "KeyboardShortcuts/x11/X11KeyCodeTable.h"
#include "KeyboardShortcuts/x11/X11KeyGrabber.h"
#include "app/x11/X11KeyboardGrab.h"
#include "support/TestTools.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

using namespace KeyboardShortcuts;

namespace {

constexpr xcb_timestamp_t someTime = 100000;

} // namespace

class tst_X11KeyboardGrab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        QVERIFY(x11 && x11->connection());
        m_connection = x11->connection();
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }

    void init()
    {
        m_typed.clear();
        m_grab = X11KeyboardGrab::create();
        QVERIFY(m_grab);
        m_grab->onKeyPressed = [this](const TypedKey &key) { m_typed << key; };
        QVERIFY(m_grab->grab());
    }

    void cleanup() { m_grab.reset(); }

    void typedKeysAreTranslated_data()
    {
        QTest::addColumn<int>("carbonKey");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<QString>("text");
        QTest::newRow("shifted digit") << int(Key::one.rawValue()) << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                       << int(Qt::Key_Exclam) << u"!"_qs;
        // (The text of a Ctrl chord is a control character; nothing reads it.)
        QTest::newRow("Ctrl+digit") << int(Key::two.rawValue()) << Qt::KeyboardModifiers(Qt::ControlModifier)
                                    << int(Qt::Key_2) << QString();
    }

    void typedKeysAreTranslated()
    {
        QFETCH(int, carbonKey);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, qtKey);
        QFETCH(QString, text);
        const quint16 state = (modifiers & Qt::ShiftModifier ? XCB_MOD_MASK_SHIFT : 0)
            | (modifiers & Qt::ControlModifier ? XCB_MOD_MASK_CONTROL : 0);
        press(carbonKey, state, someTime + 20, lastSequence());
        QCOMPARE(m_typed.size(), 1);
        QCOMPARE(m_typed[0].key, qtKey);
        if (!text.isNull())
            QCOMPARE(m_typed[0].text, text);
        QCOMPARE(m_typed[0].modifiers & (Qt::ShiftModifier | Qt::ControlModifier), modifiers);
    }

    void hotkeyPressesAreNotTyped()
    {
        // As in the application: the hotkey layer's filter is installed after
        // the grab's, so it sees each key first. A press it reports as a hotkey
        // (a second Shift+Super+V while the panel waits for the keyboard) must
        // not reach the search as a "V" too.
        KeyboardShortcuts::X11KeyGrabber hotkeys(m_connection, m_root);
        QCOMPARE(
            hotkeys.grab(1, *xKeyCodeFromCarbon(Key::v.rawValue()), Qt::ShiftModifier | Qt::MetaModifier), 0);
        QSignalSpy pressed(&hotkeys, &KeyboardShortcuts::X11KeyGrabber::pressed);
        QVERIFY(runTool(u"xdotool"_qs, {u"key"_qs, u"super+shift+v"_qs, u"g"_qs}).ok());
        QTRY_COMPARE_WITH_TIMEOUT(m_typed.size(), 1, 10000);
        QCOMPARE(pressed.size(), 1);
        QCOMPARE(m_typed[0].text, u"g"_qs);
    }

    void keysOnTheirWayAtTheUngrabStillCount()
    {
        const quint16 beforeUngrab = lastSequence();
        m_grab->release();
        const quint16 afterUngrab = lastSequence();
        QVERIFY(beforeUngrab != afterUngrab);
        // Generated before the ungrab, read after it: typed ahead.
        press(Key::a.rawValue(), 0, someTime + 30, beforeUngrab);
        // Generated after it: the focused window's, not ours.
        press(Key::b.rawValue(), 0, someTime + 40, afterUngrab);
        press(Key::c.rawValue(), 0, someTime + 50, afterUngrab);
        QCOMPARE(m_typed.size(), 1);
        QCOMPARE(m_typed[0].text, u"a"_qs);
    }

private:
    // Hands the filter a key press as the server reports it to the root
    // window during the grab.
    void press(int carbonKey, quint16 state, xcb_timestamp_t time, quint16 sequence)
    {
        xcb_key_press_event_t event {};
        event.response_type = XCB_KEY_PRESS;
        event.detail = *xKeyCodeFromCarbon(carbonKey);
        event.sequence = sequence;
        event.time = time;
        event.root = m_root;
        event.event = m_root;
        event.state = state;
        qintptr result = 0;
        m_grab->nativeEventFilter("xcb_generic_event_t", &event, &result);
    }

    quint16 lastSequence() const
    {
        // Events the server generates after processing this request (and before
        // the next one) carry its sequence number.
        return quint16(xcb_no_operation(m_connection).sequence);
    }

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    std::unique_ptr<X11KeyboardGrab> m_grab;
    QList<TypedKey> m_typed;
};

QTEST_MAIN(tst_X11KeyboardGrab)
#include "tst_x11keyboardgrab.moc"
