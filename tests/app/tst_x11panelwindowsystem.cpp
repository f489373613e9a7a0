// The panel's window-system seam on a real X server with a real window
// manager: activation requests carry the user's time, focus can be set
// without the window manager, and the focus is read from the server.

#include "app/x11/X11PanelWindowSystem.h"
#include "x11/XcbConnection.h"
#include "x11/XcbReply.h"
#include "x11/XcbServerClock.h"

#include <QTest>
#include <QWidget>
#include <QWindow>

namespace {

// _NET_WM_USER_TIME of window, read where the window keeps it.
std::optional<quint32> userTime(xcb_window_t window)
{
    XcbConnection connection;
    const auto property = [&](xcb_window_t w, xcb_atom_t atom, xcb_atom_t type) -> std::optional<quint32> {
        const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection.get(), xcb_get_property(connection.get(), 0, w, atom, type, 0, 1), nullptr));
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 4)
            return std::nullopt;
        return *static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
    };
    const std::optional<quint32> holder
        = property(window, connection.atom("_NET_WM_USER_TIME_WINDOW"), XCB_ATOM_WINDOW);
    return property(holder.value_or(window), connection.atom("_NET_WM_USER_TIME"), XCB_ATOM_CARDINAL);
}

} // namespace

class tst_X11PanelWindowSystem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_windowSystem = X11PanelWindowSystem::create();
        QVERIFY(m_windowSystem);
    }

    void activationCarriesTheUsersTime_data()
    {
        QTest::addColumn<bool>("fromAnEvent");
        QTest::newRow("the hotkey's time") << true;
        QTest::newRow("the server's time (another launch)") << false;
    }

    void activationCarriesTheUsersTime()
    {
        QFETCH(bool, fromAnEvent);
        QWidget other;
        other.setWindowTitle(u"the window the user works in"_qs);
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));

        QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        panel.resize(200, 100);
        m_windowSystem->rememberFocusedWindow();
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));

        // (Some window managers focus a new window at once, others wait for the
        // request.)
        const xcb_timestamp_t before = m_clock.now();
        QVERIFY(before != XCB_CURRENT_TIME);
        m_windowSystem->activate(panel.windowHandle(), fromAnEvent ? before : 0);
        const xcb_timestamp_t after = m_clock.now();
        QVERIFY(waitForFocus(panel.windowHandle()));
        const std::optional<quint32> stamped = userTime(xcb_window_t(panel.winId()));
        QVERIFY(stamped);
        if (fromAnEvent) {
            QCOMPARE(*stamped, before);
        } else {
            QVERIFY2(*stamped >= before && *stamped <= after,
                     qPrintable(u"%1 not in [%2, %3]"_qs.arg(*stamped).arg(before).arg(after)));
        }

        // Going back: the noted window has the keyboard again.
        panel.hide();
        m_windowSystem->restoreFocusedWindow();
        QVERIFY(waitForFocus(other.windowHandle()));
        // The server's clock is read afresh, not cached.
        QTRY_VERIFY(m_clock.now() > after);
    }

    void focusDirectlyNeedsNoWindowManager()
    {
        // The window manager leaves override-redirect windows alone: only the
        // direct request can give this one the keyboard.
        QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint);
        panel.resize(200, 100);
        // Not shown yet: the request is refused without harm.
        panel.winId();
        m_windowSystem->focusDirectly(panel.windowHandle());
        QVERIFY(!*m_windowSystem->hasKeyboardFocus(panel.windowHandle()));

        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        m_windowSystem->focusDirectly(panel.windowHandle());
        QVERIFY(waitForFocus(panel.windowHandle()));
    }

private:
    bool waitForFocus(QWindow *window)
    {
        return QTest::qWaitFor([&] { return m_windowSystem->hasKeyboardFocus(window).value_or(false); },
                               10000);
    }

    std::unique_ptr<X11PanelWindowSystem> m_windowSystem;
    XcbServerClock m_clock;
};

QTEST_MAIN(tst_X11PanelWindowSystem)
#include "tst_x11panelwindowsystem.moc"
