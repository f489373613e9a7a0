#include "support/ProcessLog.h"
#include "support/SessionProbes.h"
#include "support/TestTools.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

constexpr int deadlineMs = 20000;

// The docked tray icon: small, and placed by the tray away from the origin.
bool isTrayIcon(const QRect &r)
{
    return r.width() >= 8 && r.width() <= 64 && r.height() >= 8 && r.height() <= 64 && r.x() > 0;
}

// The first mapped halvex window that fits.
std::optional<QRect> shown(const std::function<bool(const QRect &)> &fits)
{
    for (const QRect &r : xdotoolWindows({u"--onlyvisible"_qs, u"--class"_qs, u"halvex"_qs})) {
        if (fits(r))
            return r;
    }
    return std::nullopt;
}

std::optional<QRect> trayIcon()
{
    return shown(isTrayIcon);
}

std::optional<QRect> historyWindow()
{
    return shown([](const QRect &r) { return r.width() == 320; });
}

} // namespace

// The installed program as a user meets it: the halvex binary in an X session
// with and without a tray, driven only from outside.
class TestHalvexSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void cleanup() { m_halvex.reset(); }

    void secondLaunchesToggleTrayOpensHistoryQuitEndsWithZero()
    {
        // An XEmbed tray at the top right of the screen.
        m_tray = startTool(u"trayer"_qs,
                           {u"--edge"_qs, u"top"_qs, u"--align"_qs, u"right"_qs, u"--widthtype"_qs,
                            u"request"_qs, u"--height"_qs, u"24"_qs, u"--transparent"_qs, u"false"_qs,
                            u"--tint"_qs, u"0x333333"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(!xdotoolSearch({u"--class"_qs, u"trayer"_qs}).isEmpty(), deadlineMs);
        startHalvex();
        QTRY_VERIFY_WITH_TIMEOUT(trayIcon().has_value(), deadlineMs);
        QVERIFY(!halvexPanelVisible());

        // The first launch shows the running one's quick-paste panel, the next hides it.
        for (int launch = 1; launch <= 2; ++launch) {
            QCOMPARE(secondLaunch(), 0);
            QVERIFY2(m_halvex->waitFor(u"toggle the panel"_qs, launch, deadlineMs), m_halvex->tail());
            QTRY_COMPARE_WITH_TIMEOUT(halvexPanelVisible(), launch == 1, deadlineMs);
        }
        // One icon only: the second launches never came up.
        const QList<QRect> windows = xdotoolWindows({u"--class"_qs, u"halvex"_qs});
        QCOMPARE(std::count_if(windows.begin(), windows.end(), isTrayIcon), 1);

        QVERIFY(!historyWindow());
        QVERIFY(xclipCopy("copied in the session"));
        QVERIFY(openHistory());
        const QRect window = *historyWindow();
        const QRect icon = *trayIcon();
        QVERIFY2(window.top() > icon.bottom() && window.top() < icon.bottom() + 30,
                 qPrintable(QDebug::toString(window) + QDebug::toString(icon)));
        // A click on the icon closes the window for good: the focus it takes
        // from the window is not followed by a reopen for the same click.
        QVERIFY(xdotoolClick(icon.center()));
        QTRY_VERIFY_WITH_TIMEOUT(!historyWindow(), deadlineMs);
        QTest::qWait(500);
        QVERIFY(!historyWindow());
        QVERIFY(openHistory());

        // The quit button: the rightmost of the header's two buttons.
        QVERIFY(xdotoolClick(QPoint(window.right() - 16 - 8, window.top() + 12 + 10)));
        QTRY_COMPARE_WITH_TIMEOUT(m_halvex->process()->state(), QProcess::NotRunning, deadlineMs);
        QCOMPARE(m_halvex->process()->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_halvex->process()->exitCode(), 0);
        // It took its socket with it.
        QVERIFY(QDir(m_dir.filePath(u"run"_qs)).entryList({u"*.socket"_qs}, QDir::System).isEmpty());
    }

private:
    // The icon can be placed before the tray has finished embedding it, and a
    // click then lands on the tray: click again until the window opens.
    static bool openHistory()
    {
        for (int attempt = 0; attempt < 4; ++attempt) {
            std::optional<QRect> icon;
            if (QTest::qWaitFor([&] { return (icon = trayIcon()).has_value(); }, 5000)
                && xdotoolClick(icon->center())
                && QTest::qWaitFor([] { return historyWindow().has_value(); }, 5000))
                return true;
        }
        return false;
    }

    void startHalvex()
    {
        QProcessEnvironment env = halvexX11Environment(m_dir.path());
        env.insert(u"QT_LOGGING_RULES"_qs, u"halvex.app.debug=true"_qs);
        m_halvex = ProcessLog::start(QStringLiteral(HALVEX_BINARY), env);
    }

    int secondLaunch()
    {
        return runToEnd(QStringLiteral(HALVEX_BINARY), m_halvex->process()->processEnvironment(), {},
                        deadlineMs);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_tray;
    std::unique_ptr<ProcessLog> m_halvex;
};

QTEST_MAIN(TestHalvexSession)
#include "tst_halvexsession.moc"
