#include "support/TestTools.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int deadlineMs = 20000;

// Geometries of the mapped top-level and embedded windows of halvex.
QList<QRect> halvexWindows(bool onlyVisible)
{
    QStringList args {QStringLiteral("search")};
    if (onlyVisible)
        args << QStringLiteral("--onlyvisible");
    args << QStringLiteral("--class") << QStringLiteral("halvex");
    const ToolResult found = runTool(QStringLiteral("xdotool"), args);
    QList<QRect> windows;
    for (const QByteArray &id : found.standardOutput.split('\n')) {
        if (id.trimmed().isEmpty())
            continue;
        const ToolResult geometry = runTool(QStringLiteral("xdotool"),
                                            {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                                             QString::fromLatin1(id.trimmed())});
        QHash<QByteArray, int> values;
        for (const QByteArray &line : geometry.standardOutput.split('\n')) {
            const int eq = line.indexOf('=');
            if (eq > 0)
                values.insert(line.left(eq), line.mid(eq + 1).toInt());
        }
        windows.append(
            QRect(values.value("X"), values.value("Y"), values.value("WIDTH"), values.value("HEIGHT")));
    }
    return windows;
}

// The docked tray icon: small, mapped, and placed by the tray away from the origin.
std::optional<QRect> trayIcon()
{
    for (const QRect &r : halvexWindows(true)) {
        if (r.width() >= 8 && r.width() <= 64 && r.height() >= 8 && r.height() <= 64 && r.x() > 0)
            return r;
    }
    return std::nullopt;
}

bool panelVisible()
{
    for (const QRect &r : halvexWindows(true)) {
        if (r.width() == 450)
            return true;
    }
    return false;
}

std::optional<QRect> historyWindow()
{
    for (const QRect &r : halvexWindows(true)) {
        if (r.width() == 320)
            return r;
    }
    return std::nullopt;
}

} // namespace

// The installed program as a user meets it: the halvex binary in an X session
// with and without a tray, driven only from outside.
class TestHalvexSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void withoutTrayItSaysSoOnceAndRuns();
    void trayIconOpensHistoryAndQuitEndsWithZero();
    void secondLaunchTogglesRunningOneAndExits();

private:
    std::unique_ptr<QProcess> startHalvex();
    void startTray();
    QString stderrOf(QProcess *process);

    QTemporaryDir m_runtimeDir;
    std::unique_ptr<QProcess> m_tray;
    std::unique_ptr<QProcess> m_halvex;
    QByteArray m_halvexStderr;
};

void TestHalvexSession::initTestCase()
{
    QVERIFY(m_runtimeDir.isValid());
}

void TestHalvexSession::cleanupTestCase()
{
    if (m_tray) {
        m_tray->terminate();
        m_tray->waitForFinished(5000);
    }
}

void TestHalvexSession::cleanup()
{
    if (m_halvex) {
        m_halvex->terminate();
        m_halvex->waitForFinished(5000);
        m_halvex.reset();
    }
    m_halvexStderr.clear();
}

std::unique_ptr<QProcess> TestHalvexSession::startHalvex()
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("halvex.app.debug=true"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")); // the XEmbed tray, always
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(HALVEX_BINARY), {});
    process->waitForStarted(10000);
    return process;
}

QString TestHalvexSession::stderrOf(QProcess *process)
{
    m_halvexStderr += process->readAllStandardError();
    return QString::fromUtf8(m_halvexStderr);
}

void TestHalvexSession::startTray()
{
    if (m_tray)
        return;
    m_tray = startTool(QStringLiteral("trayer"),
                       {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                        QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                        QStringLiteral("--height"), QStringLiteral("24")});
    QVERIFY(m_tray->state() == QProcess::Running);
    // The tray owns its selection once it is ready.
    QTRY_VERIFY_WITH_TIMEOUT(
        runTool(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--class"), QStringLiteral("trayer")})
            .ok(),
        deadlineMs);
}

void TestHalvexSession::withoutTrayItSaysSoOnceAndRuns()
{
    QVERIFY(!m_tray);
    m_halvex = startHalvex();
    const QString notice = QStringLiteral("no system tray found");
    QTRY_VERIFY_WITH_TIMEOUT(stderrOf(m_halvex.get()).contains(notice), deadlineMs);
    QCOMPARE(m_halvex->state(), QProcess::Running);
    // Still serving: a second launch is answered by it.
    QProcess second;
    second.setProcessEnvironment(m_halvex->processEnvironment());
    second.start(QStringLiteral(HALVEX_BINARY), {});
    QVERIFY(second.waitForFinished(deadlineMs));
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(stderrOf(m_halvex.get()).contains(QStringLiteral("toggle the panel")),
                             deadlineMs);
    QCOMPARE(stderrOf(m_halvex.get()).count(notice), 1);
    QCOMPARE(m_halvex->state(), QProcess::Running);
}

void TestHalvexSession::trayIconOpensHistoryAndQuitEndsWithZero()
{
    startTray();
    m_halvex = startHalvex();
    QTRY_VERIFY_WITH_TIMEOUT(trayIcon().has_value(), deadlineMs);
    QVERIFY(!historyWindow());
    QVERIFY(runTool(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard")},
                    "copied in the session")
                .ok());

    // The icon can be placed before the tray has finished embedding it, and
    // a click then lands on the tray: click again until the window opens.
    for (int attempt = 0; attempt < 4 && !historyWindow(); ++attempt) {
        QVERIFY(xdotoolClick(trayIcon()->center()));
        if (QTest::qWaitFor([] { return historyWindow().has_value(); }, 5000))
            break;
    }
    QVERIFY(historyWindow().has_value());
    const QRect window = *historyWindow();
    const QRect icon = *trayIcon();
    QVERIFY2(window.top() > icon.bottom() && window.top() < icon.bottom() + 30,
             qPrintable(QDebug::toString(window) + QDebug::toString(icon)));

    // The quit button: the rightmost of the header's two buttons.
    QVERIFY(xdotoolClick(QPoint(window.right() - 16 - 8, window.top() + 12 + 10)));
    QTRY_COMPARE_WITH_TIMEOUT(m_halvex->state(), QProcess::NotRunning, deadlineMs);
    QCOMPARE(m_halvex->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_halvex->exitCode(), 0);
    // It took its socket with it.
    QVERIFY(QDir(m_runtimeDir.path()).entryList({QStringLiteral("*.socket")}, QDir::System).isEmpty());
    m_halvex.reset();
}

void TestHalvexSession::secondLaunchTogglesRunningOneAndExits()
{
    startTray();
    m_halvex = startHalvex();
    QTRY_VERIFY_WITH_TIMEOUT(trayIcon().has_value(), deadlineMs);
    QVERIFY(!panelVisible());

    for (int launch = 1; launch <= 2; ++launch) {
        QProcess second;
        second.setProcessEnvironment(m_halvex->processEnvironment());
        second.start(QStringLiteral(HALVEX_BINARY), {});
        QVERIFY(second.waitForFinished(deadlineMs));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(stderrOf(m_halvex.get()).count(QStringLiteral("toggle the panel")), launch,
                                  deadlineMs);
        // The first launch shows the running one's quick-paste panel, the next hides it.
        const bool shown = launch % 2 == 1;
        QTRY_COMPARE_WITH_TIMEOUT(panelVisible(), shown, deadlineMs);
    }
    // One icon only: the second launches never came up.
    QCOMPARE(m_halvex->state(), QProcess::Running);
    int icons = 0;
    for (const QRect &r : halvexWindows(false))
        icons += (r.width() >= 8 && r.width() <= 64 && r.x() > 0) ? 1 : 0;
    QCOMPARE(icons, 1);
}

QTEST_MAIN(TestHalvexSession)
#include "tst_halvexsession.moc"
