// The panel's window-system seam on a real X server with a real window
// manager: focus can be set without the window manager, and the focus is
// read from the server.

#include "app/x11/X11PanelWindowSystem.h"

#include <QTest>
#include <QWidget>
#include <QWindow>

class tst_X11PanelWindowSystem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_windowSystem = X11PanelWindowSystem::create();
        QVERIFY(m_windowSystem);
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
};

QTEST_MAIN(tst_X11PanelWindowSystem)
#include "tst_x11panelwindowsystem.moc"
