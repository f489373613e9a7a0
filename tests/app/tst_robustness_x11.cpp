// Fault tests of the halvex binary in the X session: what a hostile or broken
// environment does to it. Each prints the figures it measured (qInfo).

#include "support/OtherUser.h"
#include "support/ProcessLog.h"
#include "support/SessionProbes.h"
#include "support/TestTools.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
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
    for (const QByteArray &line : fileContents(u"/proc/%1/status"_qs.arg(pid)).split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// A connected, non-blocking client socket of path; -1 when none could be made.
int connectTo(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), size_t(qMin<qsizetype>(native.size(), 100)));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

class TestRobustness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_env = halvexX11Environment(m_dir->path());
    }

    void cleanup() { m_halvex.reset(); }

    void clipboardFloodAndDyingOwnerDoNotStopTheInstance()
    {
        QVERIFY2(startReady(), m_halvex->tail());
        // A first copy, so that the history's own memory is in the baseline.
        QVERIFY(xclipCopy("baseline"));
        QVERIFY(m_halvex->waitFor(u"captured text"_qs));
        const qint64 pid = m_halvex->process()->processId();
        const qint64 before = residentKiB(pid);

        QProcess flood;
        flood.start(QStringLiteral(FLOOD_HELPER), {u"10"_qs, u"1000"_qs});
        QVERIFY(flood.waitForReadyRead(10000));
        qint64 peak = before;
        // The panel opens during the flood, more than once.
        QStringList openMs;
        for (int i = 0; i < 3; ++i) {
            QTest::qWait(1500);
            peak = qMax(peak, residentKiB(pid));
            QElapsedTimer opening;
            opening.start();
            QVERIFY(xdotoolKeys({u"super+shift+v"_qs}));
            QVERIFY2(QTest::qWaitFor(halvexPanelVisible, 10000), m_halvex->tail());
            openMs.append(QString::number(opening.elapsed()));
            QVERIFY(xdotoolKeys({u"Escape"_qs}));
            // Generous: under the sanitizers every recorded change costs
            // many times more, and the flood keeps coming meanwhile.
            QVERIFY2(QTest::qWaitFor([] { return !halvexPanelVisible(); }, deadlineMs), m_halvex->tail());
        }
        QTRY_COMPARE_WITH_TIMEOUT(flood.state(), QProcess::NotRunning, deadlineMs);
        const QByteArray done = flood.readAllStandardOutput();
        QCOMPARE(m_halvex->process()->state(), QProcess::Running);
        // Memory settles back near where it started.
        qint64 after = residentKiB(pid);
        const bool settled
            = QTest::qWaitFor([&] { return (after = residentKiB(pid)) - before <= rssSlackKiB; }, deadlineMs);
        qInfo("flood: %s; panel opened after %s ms; RSS %lld KiB before, %lld KiB peak, %lld KiB after",
              done.trimmed().split('\n').last().constData(), qPrintable(openMs.join(u'/')), before, peak,
              after);
        QVERIFY2(settled, "RSS did not come back within the slack");

        // An owner killed in the middle of a transfer does not stop capture.
        auto owner = startTool(QStringLiteral(OWNER_HELPER), {u"huge"_qs, u"100000"_qs});
        QByteArray said;
        QVERIFY2(QTest::qWaitFor(
                     [&] { return (said += owner->readAllStandardOutput()).contains("transfer started"); },
                     deadlineMs),
                 QByteArray(said + m_halvex->tail()));
        owner->kill();
        owner->waitForFinished(5000);
        const int captured = m_halvex->count(u"captured text"_qs);
        QVERIFY(xclipCopy("after the dead owner"));
        QVERIFY2(m_halvex->waitFor(u"captured text"_qs, captured + 1), m_halvex->tail());
    }

    void xServerKilledEndsWithStatusOne()
    {
        // A server of its own: the session's must survive this. It picks a
        // free display number itself and reports it on standard output.
        QProcess xvfb;
        xvfb.start(u"Xvfb"_qs,
                   {u"-displayfd"_qs, u"1"_qs, u"-nolisten"_qs, u"tcp"_qs, u"-screen"_qs, u"0"_qs,
                    u"800x600x24"_qs});
        QVERIFY(xvfb.waitForStarted(10000));
        QByteArray display;
        // Killed, the server leaves its lock and socket behind: remove them,
        // so that every run does not use up a display number.
        auto stopServer = qScopeGuard([&] {
            xvfb.kill();
            xvfb.waitForFinished(5000);
            if (const QString number = QString::fromLatin1(display.trimmed()); !number.isEmpty()) {
                QFile::remove(u"/tmp/.X%1-lock"_qs.arg(number));
                QFile::remove(u"/tmp/.X11-unix/X%1"_qs.arg(number));
            }
        });
        QVERIFY(QTest::qWaitFor([&] { return (display += xvfb.readAllStandardOutput()).contains('\n'); },
                                deadlineMs));
        m_env.insert(u"DISPLAY"_qs, u':' + QString::fromLatin1(display.trimmed()));
        QVERIFY2(startReady(), m_halvex->tail());

        QElapsedTimer gone;
        xvfb.kill();
        gone.start();
        QVERIFY(m_halvex->process()->waitForFinished(deadlineMs));
        const qint64 elapsed = gone.elapsed();
        QCOMPARE(m_halvex->process()->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_halvex->process()->exitCode(), 1);
        qInfo("X server killed: halvex exited with status 1 after %lld ms, saying \"%s\"", elapsed,
              m_halvex->tail().trimmed().split('\n').last().constData());
        QVERIFY2(elapsed < exitLimitMs, qPrintable(QString::number(elapsed)));
    }

    // Another user got to <tmp>/halvex-<uid>/ first (where the socket goes
    // without XDG_RUNTIME_DIR) and listens there: neither launch hands over
    // nor starts; both refuse and say why.
    void plantedByAnotherUser()
    {
        const std::optional<uid_t> other = OtherUser::id();
        if (!other)
            QSKIP(OtherUser::skipReason);
        const QString tmp = m_dir->filePath(u"tmp"_qs);
        QVERIFY(QDir().mkpath(tmp));
        QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0711), 0);
        QCOMPARE(::chmod(QFile::encodeName(tmp).constData(), 01777), 0);
        const QString planted = QDir(tmp).filePath(u"halvex-%1"_qs.arg(getuid()));
        QProcess squatter;
        OtherUser::runAs(squatter, *other);
        squatter.start(
            u"sh"_qs,
            {u"-c"_qs, u"mkdir -m 777 \"$1\" && exec \"$2\" listen \"$1/halvex-%1.socket\""_qs.arg(display()),
             u"sh"_qs, planted, testHelperPath(u"socket_peer_helper"_qs)});
        QVERIFY(squatter.waitForReadyRead(10000));
        QCOMPARE(squatter.readLine().trimmed(), QByteArray("listening"));

        m_env.remove(u"XDG_RUNTIME_DIR"_qs);
        m_env.insert(u"TMPDIR"_qs, tmp);
        for (int launch = 0; launch < 2; ++launch) {
            QVERIFY(start());
            QVERIFY(m_halvex->process()->waitForFinished(deadlineMs));
            QCOMPARE(m_halvex->process()->exitCode(), 1);
            QVERIFY2(m_halvex->count(u"belongs to another user"_qs), m_halvex->tail());
        }
        squatter.kill();
        squatter.waitForFinished(5000);
        QVERIFY2(!squatter.readAllStandardOutput().contains("received"),
                 "the other user was handed a message");
    }

    void heldConnectionsDoNotCutOffTheInstance()
    {
        QVERIFY2(startReady(), m_halvex->tail());
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
        QCOMPARE(runToEnd(QStringLiteral(HALVEX_BINARY), m_env), 0);
        QVERIFY2(m_halvex->waitFor(u"toggle the panel"_qs), m_halvex->tail());
        QCOMPARE(m_halvex->process()->state(), QProcess::Running);
        QVERIFY(QFileInfo::exists(socketPath()));
        qInfo("%d connections held open: a second launch was handed over after %lld ms; RSS %lld KiB", held,
              handedOver.elapsed(), residentKiB(m_halvex->process()->processId()));
    }

    void terminationSignalQuitsCleanly_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    // With an unreadable stored shortcut, which is reported once and kept.
    void terminationSignalQuitsCleanly()
    {
        QFETCH(int, signalNumber);
        const QString config = m_dir->filePath(u"config/Halvex/Halvex.conf"_qs);
        QVERIFY(QDir().mkpath(QFileInfo(config).path()));
        {
            QFile file(config);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[General]\nKeyboardShortcuts_togglePanel=garbage\n");
        }
        QVERIFY2(startReady(), m_halvex->tail());
        const QString warning = QRegularExpression::escape(
            u"KeyboardShortcuts_togglePanel in %1 cannot be read"_qs.arg(config));
        QVERIFY2(m_halvex->waitFor(warning), m_halvex->tail());
        QCOMPARE(m_halvex->count(warning), 1);
        QVERIFY(fileContents(config).contains("KeyboardShortcuts_togglePanel=garbage"));

        QVERIFY(QFileInfo::exists(socketPath()));
        QCOMPARE(::kill(pid_t(m_halvex->process()->processId()), signalNumber), 0);
        QVERIFY(m_halvex->process()->waitForFinished(deadlineMs));
        QCOMPARE(m_halvex->process()->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_halvex->process()->exitCode(), 0);
        QVERIFY(!QFileInfo::exists(socketPath()));
        QVERIFY2(m_halvex->waitFor(u"quitting on signal"_qs), m_halvex->tail());
    }

private:
    bool start()
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(m_env);
        // The usual soft limit of a desktop session, whatever the test runs under.
        process->setChildProcessModifier([] {
            rlimit limit {};
            if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_max >= 1024) {
                limit.rlim_cur = 1024;
                setrlimit(RLIMIT_NOFILE, &limit);
            }
        });
        m_halvex = std::make_unique<ProcessLog>(std::move(process));
        m_halvex->process()->start(QStringLiteral(HALVEX_BINARY), {});
        return m_halvex->process()->waitForStarted(10000);
    }
    bool startReady() { return start() && m_halvex->waitFor(u"ready"_qs); }
    static QString display() { return qEnvironmentVariable("DISPLAY").replace(u':', u'_'); }
    QString socketPath() const { return m_dir->filePath(u"run/halvex-"_qs + display() + u".socket"_qs); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcessEnvironment m_env;
    std::unique_ptr<ProcessLog> m_halvex;
};

QTEST_MAIN(TestRobustness)
#include "tst_robustness_x11.moc"
