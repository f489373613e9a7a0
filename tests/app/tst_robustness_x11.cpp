// Fault tests of the halvex binary in the X session: what a hostile or broken
// environment does to it. Each prints the figures it measured (qInfo).

#include "support/OtherUser.h"
#include "support/TestTools.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int deadlineMs = 30000;
// The sanitizers' allocator keeps freed memory in quarantine and leak
// checking runs at exit: RSS and exit times are then theirs, not ours.
constexpr bool sanitized = HALVEX_SANITIZED;
constexpr qint64 rssSlackKiB = sanitized ? 512 * 1024 : 10 * 1024;
constexpr qint64 exitLimitMs = sanitized ? 10000 : 1000;

// Resident memory of a process in KiB, or -1.
qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

bool panelVisible()
{
    const ToolResult found = runTool(QStringLiteral("xdotool"),
                                     {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                      QStringLiteral("--class"), QStringLiteral("halvex")});
    for (const QByteArray &id : found.standardOutput.split('\n')) {
        if (id.trimmed().isEmpty())
            continue;
        const ToolResult geometry
            = runTool(QStringLiteral("xdotool"),
                      {QStringLiteral("getwindowgeometry"), QString::fromLatin1(id.trimmed())});
        if (geometry.standardOutput.contains("450x"))
            return true;
    }
    return false;
}

// A connected, non-blocking client socket of path; -1 when none could be made.
int connectTo(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), size_t(qMin<qsizetype>(native.size(), 100)));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

} // namespace

class TestRobustness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void clipboardFloodKeepsPanelAndMemory();
    void ownerKilledMidTransferDoesNotStopCapture();
    void xServerKilledEndsWithStatusOne();
    void plantedByAnotherUser_data();
    void plantedByAnotherUser();
    void heldConnectionsDoNotCutOffTheInstance();
    void unreadableStoredShortcutIsReported();
    void terminationSignalQuitsCleanly_data();
    void terminationSignalQuitsCleanly();

private:
    QProcessEnvironment environment() const;
    void startHalvex(const QProcessEnvironment &env);
    bool waitForLog(const QString &text, int count, int timeoutMs = deadlineMs);
    QString socketPath() const
    {
        return m_dir->filePath(QStringLiteral("run/halvex-") + display() + QStringLiteral(".socket"));
    }
    static QString display() { return qEnvironmentVariable("DISPLAY").replace(u':', u'_'); }
    int secondLaunch(const QProcessEnvironment &env);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_halvex;
    QByteArray m_log;
};

void TestRobustness::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("run")));
    QFile::setPermissions(m_dir->filePath(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_log.clear();
}

void TestRobustness::cleanup()
{
    if (m_halvex) {
        m_halvex->kill();
        m_halvex->waitForFinished(5000);
        m_halvex.reset();
    }
}

QProcessEnvironment TestRobustness::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir->filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"),
               QStringLiteral("halvex.app.debug=true\nhalvex.clipboard.debug=true"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    return env;
}

void TestRobustness::startHalvex(const QProcessEnvironment &env)
{
    m_halvex = std::make_unique<QProcess>();
    m_halvex->setProcessEnvironment(env);
    m_halvex->setProcessChannelMode(QProcess::MergedChannels);
    connect(m_halvex.get(), &QProcess::readyRead, this, [this] { m_log += m_halvex->readAll(); });
    // The usual soft limit of a desktop session, whatever the test runs under.
    m_halvex->setChildProcessModifier([] {
        rlimit limit {};
        if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_max >= 1024) {
            limit.rlim_cur = 1024;
            setrlimit(RLIMIT_NOFILE, &limit);
        }
    });
    m_halvex->start(QStringLiteral(HALVEX_BINARY), {});
    QVERIFY(m_halvex->waitForStarted(10000));
}

bool TestRobustness::waitForLog(const QString &text, int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return QString::fromUtf8(m_log).count(text) >= count; }, timeoutMs);
}

int TestRobustness::secondLaunch(const QProcessEnvironment &env)
{
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(HALVEX_BINARY), {});
    if (!second.waitForFinished(deadlineMs))
        return -1;
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
}

void TestRobustness::clipboardFloodKeepsPanelAndMemory()
{
    startHalvex(environment());
    QVERIFY2(waitForLog(QStringLiteral("ready"), 1), m_log.constData());
    // A first copy, so that the history's own memory is in the baseline.
    QVERIFY(runTool(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard")},
                    "baseline")
                .ok());
    QVERIFY(waitForLog(QStringLiteral("captured text"), 1));
    const qint64 pid = m_halvex->processId();
    const qint64 before = residentKiB(pid);

    QProcess flood;
    flood.start(QStringLiteral(FLOOD_HELPER), {QStringLiteral("10"), QStringLiteral("1000")});
    QVERIFY(flood.waitForReadyRead(10000));
    qint64 peak = before;
    // The panel opens during the flood, more than once.
    QList<qint64> openMs;
    for (int i = 0; i < 3; ++i) {
        QTest::qWait(1500);
        peak = qMax(peak, residentKiB(pid));
        QElapsedTimer opening;
        opening.start();
        QVERIFY(xdotoolKeys({QStringLiteral("super+shift+v")}));
        QVERIFY2(QTest::qWaitFor(panelVisible, 10000), m_log.right(3000).constData());
        openMs.append(opening.elapsed());
        QVERIFY(xdotoolKeys({QStringLiteral("Escape")}));
        QTRY_VERIFY_WITH_TIMEOUT(!panelVisible(), 10000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(flood.state(), QProcess::NotRunning, deadlineMs);
    const QByteArray done = flood.readAllStandardOutput();
    QCOMPARE(m_halvex->state(), QProcess::Running);
    // Memory settles back near where it started.
    qint64 after = residentKiB(pid);
    const bool settled
        = QTest::qWaitFor([&] { return (after = residentKiB(pid)) - before <= rssSlackKiB; }, deadlineMs);
    qInfo("flood: %s; panel opened after %s ms; RSS %lld KiB before, %lld KiB peak, %lld KiB after",
          done.trimmed().split('\n').last().constData(),
          qPrintable(QString::number(openMs[0]) + u'/' + QString::number(openMs[1]) + u'/'
                     + QString::number(openMs[2])),
          before, peak, after);
    QVERIFY2(settled, "RSS did not come back within the slack");
}

void TestRobustness::ownerKilledMidTransferDoesNotStopCapture()
{
    startHalvex(environment());
    QVERIFY2(waitForLog(QStringLiteral("ready"), 1), m_log.constData());
    auto owner = startTool(QStringLiteral(OWNER_HELPER), {QStringLiteral("huge"), QStringLiteral("100000")});
    QByteArray said;
    QVERIFY2(
        QTest::qWaitFor([&] { return (said += owner->readAllStandardOutput()).contains("transfer started"); },
                        deadlineMs),
        QByteArray(said + m_log).constData());
    owner->kill();
    owner->waitForFinished(5000);

    QElapsedTimer recorded;
    recorded.start();
    QVERIFY(runTool(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard")},
                    "after the dead owner")
                .ok());
    QVERIFY2(waitForLog(QStringLiteral("captured text"), 1), m_log.constData());
    qInfo("owner killed mid-transfer: the next copy was recorded after %lld ms", recorded.elapsed());
}

void TestRobustness::xServerKilledEndsWithStatusOne()
{
    // A server of its own: the session's must survive this. It picks a free
    // display number itself and reports it on standard output.
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                QStringLiteral("800x600x24")});
    QVERIFY(xvfb.waitForStarted(10000));
    QByteArray display;
    // Killed, the server leaves its lock and socket behind: remove them, so
    // that every run does not use up a display number.
    auto stopServer = qScopeGuard([&] {
        xvfb.kill();
        xvfb.waitForFinished(5000);
        const QString number = QString::fromLatin1(display.trimmed());
        if (!number.isEmpty()) {
            QFile::remove(QStringLiteral("/tmp/.X%1-lock").arg(number));
            QFile::remove(QStringLiteral("/tmp/.X11-unix/X%1").arg(number));
        }
    });
    QVERIFY(QTest::qWaitFor([&] { return (display += xvfb.readAllStandardOutput()).contains('\n'); },
                            deadlineMs));
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("DISPLAY"), u':' + QString::fromLatin1(display.trimmed()));
    startHalvex(env);
    QVERIFY2(waitForLog(QStringLiteral("ready"), 1), m_log.constData());

    QElapsedTimer gone;
    xvfb.kill();
    gone.start();
    QVERIFY(m_halvex->waitForFinished(deadlineMs));
    const qint64 elapsed = gone.elapsed();
    QCOMPARE(m_halvex->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_halvex->exitCode(), 1);
    qInfo("X server killed: halvex exited with status %d after %lld ms, saying \"%s\"", m_halvex->exitCode(),
          elapsed, qPrintable(QString::fromUtf8(m_log).split(u'\n').filter(QStringLiteral("X11")).value(0)));
    QVERIFY2(elapsed < exitLimitMs, qPrintable(QString::number(elapsed)));
}

void TestRobustness::plantedByAnotherUser_data()
{
    QTest::addColumn<bool>("listening");
    QTest::newRow("another user's directory with a listening socket") << true;
    QTest::newRow("another user's plain file where the directory goes") << false;
}

void TestRobustness::plantedByAnotherUser()
{
    QFETCH(bool, listening);
    const std::optional<uid_t> other = OtherUser::id();
    if (!other)
        QSKIP(OtherUser::skipReason);
    // Without XDG_RUNTIME_DIR the socket goes to <tmp>/halvex-<uid>/, which
    // the other user got to first.
    const QString tmp = m_dir->filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(tmp));
    QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0711), 0);
    QCOMPARE(::chmod(QFile::encodeName(tmp).constData(), 01777), 0);
    const QString planted = QDir(tmp).filePath(QStringLiteral("halvex-%1").arg(getuid()));
    QProcess squatter;
    OtherUser::runAs(squatter, *other);
    if (listening) {
        squatter.start(QStringLiteral("sh"),
                       {QStringLiteral("-c"),
                        QStringLiteral("mkdir -m 777 \"$1\" && exec \"$2\" listen \"$1/halvex-%1.socket\"")
                            .arg(display()),
                        QStringLiteral("sh"), planted, testHelperPath(QStringLiteral("socket_peer_helper"))});
        QVERIFY(squatter.waitForReadyRead(10000));
        QCOMPARE(squatter.readLine().trimmed(), QByteArray("listening"));
    } else {
        squatter.start(QStringLiteral("touch"), {planted});
        QVERIFY(squatter.waitForFinished(10000));
        QCOMPARE(squatter.exitCode(), 0);
    }

    QProcessEnvironment env = environment();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.insert(QStringLiteral("TMPDIR"), tmp);
    // Neither launch hands over nor starts: both refuse and say why.
    for (int launch = 0; launch < 2; ++launch) {
        m_log.clear();
        startHalvex(env);
        QVERIFY(m_halvex->waitForFinished(deadlineMs));
        QCOMPARE(m_halvex->exitCode(), 1);
        QVERIFY2(m_log.contains(listening ? "belongs to another user" : "is not a directory"),
                 m_log.constData());
        m_halvex.reset();
    }
    if (listening) {
        squatter.kill();
        squatter.waitForFinished(5000);
        QVERIFY2(!squatter.readAllStandardOutput().contains("received"),
                 "the other user was handed a message");
    }
    qInfo("planted by another user: %s",
          qPrintable(QString::fromUtf8(m_log).split(u'\n').filter(QStringLiteral("not using")).value(0)));
}

void TestRobustness::heldConnectionsDoNotCutOffTheInstance()
{
    const QProcessEnvironment env = environment();
    startHalvex(env);
    QVERIFY2(waitForLog(QStringLiteral("ready"), 1), m_log.constData());

    // This process needs a descriptor per connection too.
    constexpr int held = 1100;
    rlimit limit {};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max < rlim_t(held + 200))
        QSKIP("the hard limit on open files is below 1300");
    rlimit raised = limit;
    raised.rlim_cur = qMax<rlim_t>(limit.rlim_cur, held + 200);
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &raised), 0);
    std::vector<int> connections;
    auto release = qScopeGuard([&] {
        for (const int fd : connections)
            ::close(fd);
        setrlimit(RLIMIT_NOFILE, &limit);
    });
    QElapsedTimer opening;
    opening.start();
    while (connections.size() < size_t(held) && opening.elapsed() < deadlineMs) {
        const int fd = connectTo(socketPath());
        if (fd >= 0)
            connections.push_back(fd);
        else
            QTest::qWait(1); // a full backlog: let the server catch up
    }
    QCOMPARE(connections.size(), size_t(held));

    QElapsedTimer handedOver;
    handedOver.start();
    QCOMPARE(secondLaunch(env), 0);
    QVERIFY2(waitForLog(QStringLiteral("toggle the panel"), 1), m_log.constData());
    QCOMPARE(m_halvex->state(), QProcess::Running);
    QVERIFY(QFileInfo::exists(socketPath()));
    qInfo("%d connections held open: a second launch was handed over after %lld ms; RSS %lld KiB", held,
          handedOver.elapsed(), residentKiB(m_halvex->processId()));
}

void TestRobustness::unreadableStoredShortcutIsReported()
{
    const QString config = m_dir->filePath(QStringLiteral("config/Halvex/Halvex.conf"));
    QVERIFY(QDir().mkpath(QFileInfo(config).path()));
    const QByteArray stored = "[General]\nKeyboardShortcuts_togglePanel=garbage\n";
    {
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(stored);
    }
    startHalvex(environment());
    QVERIFY2(waitForLog(QStringLiteral("ready"), 1), m_log.constData());
    const QString warning = QStringLiteral("KeyboardShortcuts_togglePanel in %1 cannot be read").arg(config);
    QVERIFY2(waitForLog(warning, 1), m_log.constData());
    // Once, and the value is kept.
    QCOMPARE(QString::fromUtf8(m_log).count(warning), 1);
    QFile file(config);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("KeyboardShortcuts_togglePanel=garbage"));
    qInfo("unreadable stored shortcut: %s",
          qPrintable(QString::fromUtf8(m_log).split(u'\n').filter(warning).value(0)));
}

void TestRobustness::terminationSignalQuitsCleanly_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestRobustness::terminationSignalQuitsCleanly()
{
    QFETCH(int, signalNumber);
    startHalvex(environment());
    QVERIFY2(waitForLog(QStringLiteral("ready"), 1), m_log.constData());
    QVERIFY(QFileInfo::exists(socketPath()));
    QCOMPARE(::kill(pid_t(m_halvex->processId()), signalNumber), 0);
    QVERIFY(m_halvex->waitForFinished(deadlineMs));
    QCOMPARE(m_halvex->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_halvex->exitCode(), 0);
    QVERIFY(!QFileInfo::exists(socketPath()));
    QVERIFY2(waitForLog(QStringLiteral("quitting on signal"), 1), m_log.constData());
}

QTEST_MAIN(TestRobustness)
#include "tst_robustness_x11.moc"
