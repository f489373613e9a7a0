#include "app/SingleInstance.h"
#include "support/OtherUser.h"
#include "support/TestTools.h"

#include <QLocalSocket>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Whether a later launch hands message over to the instance serving at path.
// It runs on its own thread, as it would in its own process, since the
// serving instance needs this thread's event loop to answer.
bool launchHandsOver(const QString &path, const QByteArray &message, int timeoutMs = 10000)
{
    QFuture<SingleInstance::Role> launch = QtConcurrent::run([path, message] {
        SingleInstance other(path);
        return other.claim(message);
    });
    return QTest::qWaitFor([&] { return launch.isFinished(); }, timeoutMs)
        && launch.result() == SingleInstance::Role::Secondary;
}

QStringList capturedWarnings;
QtMessageHandler previousHandler = nullptr;

void captureWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg)
        capturedWarnings.append(text);
    previousHandler(type, context, text);
}

// What a crashed instance leaves behind: a socket file nobody listens on.
bool makeDeadSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    if (size_t(native.size()) >= sizeof(address.sun_path)) {
        ::close(fd);
        return false;
    }
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath(u"halvex-test.socket"_qs);
    }

    void secondLaunchHandsOverToFirst()
    {
        SingleInstance first(m_path);
        QSignalSpy messages(&first, &SingleInstance::messageReceived);
        QCOMPARE(first.claim("toggle-panel"), SingleInstance::Role::Primary);
        QVERIFY(messages.isEmpty());

        for (int launch = 1; launch <= 3; ++launch) {
            QVERIFY(launchHandsOver(m_path, "toggle-panel"));
            QTRY_COMPARE(messages.count(), launch);
            QCOMPARE(messages.last().at(0).toByteArray(), QByteArray("toggle-panel"));
        }
    }

    void leftoversAreReplaced_data()
    {
        QTest::addColumn<QString>("leftover");
        QTest::newRow("nothing") << QString();
        QTest::newRow("socket of a dead instance") << u"socket"_qs;
        QTest::newRow("lock file left behind") << u"lock"_qs;
    }

    void leftoversAreReplaced()
    {
        QFETCH(QString, leftover);
        if (leftover == u"socket"_qs) {
            QVERIFY(makeDeadSocket(m_path));
            QVERIFY(QFileInfo::exists(m_path));
        } else if (leftover == u"lock"_qs) {
            // A lock file naming a process that does not exist.
            QFile lock(m_path + u".lock"_qs);
            QVERIFY(lock.open(QIODevice::WriteOnly));
            lock.write("999999999\nhalvex\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        }

        SingleInstance first(m_path);
        QSignalSpy messages(&first, &SingleInstance::messageReceived);
        QCOMPARE(first.claim("toggle-panel", 5000), SingleInstance::Role::Primary);
        // And it really serves now.
        QVERIFY(launchHandsOver(m_path, "toggle-panel"));
        QTRY_COMPARE(messages.count(), 1);
    }

    void silentClientsDoNotBlockOthers()
    {
        SingleInstance first(m_path);
        QSignalSpy messages(&first, &SingleInstance::messageReceived);
        QCOMPARE(first.claim("toggle-panel"), SingleInstance::Role::Primary);

        // More silent clients than the server serves at once.
        std::vector<std::unique_ptr<QLocalSocket>> silent;
        for (int i = 0; i < SingleInstance::maxClients + 3; ++i) {
            silent.push_back(std::make_unique<QLocalSocket>());
            silent.back()->connectToServer(m_path);
            QTRY_COMPARE(silent.back()->state(), QLocalSocket::ConnectedState);
        }

        QVERIFY(launchHandsOver(m_path, "toggle-panel", 15000));
        QTRY_COMPARE(messages.count(), 1);
        // The silent ones are dropped in the end.
        for (const auto &socket : silent)
            QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QLocalSocket::UnconnectedState, 10000);
        QCOMPARE(messages.count(), 1);
    }

    void badMessagesAreDropped_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("oversized") << QByteArray(64 * 1024, 'x');
        QTest::newRow("just over the cap") << QByteArray(SingleInstance::maxMessageSize, 'x') + '\n';
        QTest::newRow("control characters") << QByteArray("toggle-panel\x1b[2J\n");
        QTest::newRow("not ASCII") << QByteArray("toggle-panel \xc3\xa9\n");
        QTest::newRow("empty line") << QByteArray("\n");
    }

    void badMessagesAreDropped()
    {
        QFETCH(QByteArray, bytes);
        SingleInstance first(m_path);
        QSignalSpy messages(&first, &SingleInstance::messageReceived);
        QCOMPARE(first.claim("toggle-panel"), SingleInstance::Role::Primary);

        QLocalSocket client;
        client.connectToServer(m_path);
        QTRY_COMPARE(client.state(), QLocalSocket::ConnectedState);
        client.write(bytes);
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 10000);
        QVERIFY(!client.readAll().contains("ok"));
        QCOMPARE(messages.count(), 0);

        // The longest valid line, with the token a Wayland launch adds, goes through.
        const QByteArray longest = "toggle-panel " + QByteArray(SingleInstance::maxMessageSize - 14, 't');
        QVERIFY(SingleInstance::isValidMessage(longest));
        QVERIFY(launchHandsOver(m_path, longest));
        QTRY_COMPARE(messages.count(), 1);
        QCOMPARE(messages.at(0).at(0).toByteArray(), longest);
    }

    void unsafeDirectoryIsRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("cannot be created") << u"missing parent"_qs << u"cannot create"_qs;
        QTest::newRow("writable by others") << u"0777"_qs << u"written by other users"_qs;
        QTest::newRow("symbolic link") << u"link"_qs << u"symbolic link"_qs;
        QTest::newRow("plain file") << u"file"_qs << u"not a directory"_qs;
        QTest::newRow("another owner") << u"owner"_qs << u"belongs to another user"_qs;
    }

    void unsafeDirectoryIsRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString dir = m_dir->filePath(u"instance"_qs);
        const QByteArray native = QFile::encodeName(dir);
        QString path = QDir(dir).filePath(u"halvex.socket"_qs);
        if (kind == u"missing parent"_qs) {
            path = m_dir->filePath(u"missing/dir/halvex.socket"_qs);
        } else if (kind == u"0777"_qs) {
            QVERIFY(QDir().mkdir(dir));
            QCOMPARE(::chmod(native.constData(), 0777), 0);
        } else if (kind == u"link"_qs) {
            QVERIFY(QDir().mkdir(m_dir->filePath(u"real"_qs)));
            QVERIFY(QFile::link(m_dir->filePath(u"real"_qs), dir));
        } else if (kind == u"file"_qs) {
            QFile file(dir);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (kind == u"owner"_qs) {
            const std::optional<uid_t> other = OtherUser::id();
            if (!other)
                QSKIP(OtherUser::skipReason);
            QVERIFY(QDir().mkdir(dir));
            QCOMPARE(::chmod(native.constData(), 0700), 0);
            QCOMPARE(::chown(native.constData(), *other, gid_t(-1)), 0);
        }

        SingleInstance instance(path);
        QCOMPARE(instance.claim("toggle-panel", 1000), SingleInstance::Role::Refused);
        QVERIFY2(instance.errorString().contains(reason), qPrintable(instance.errorString()));
        QVERIFY(!instance.handOver("toggle-panel", 500));
        QVERIFY(!QFileInfo::exists(path));
    }

    void runningOutOfDescriptorsKeepsTheSocket()
    {
        SingleInstance first(m_path);
        QSignalSpy messages(&first, &SingleInstance::messageReceived);
        QCOMPARE(first.claim("toggle-panel"), SingleInstance::Role::Primary);

        // A later launch that only hands over (it opens no file but its socket),
        // set up before descriptors run short and started once they have.
        QSemaphore go;
        QFuture<bool> second = QtConcurrent::run([this, &go] {
            SingleInstance launch(m_path);
            go.acquire();
            return launch.handOver("toggle-panel", 20000);
        });
        auto unblock = qScopeGuard([&] {
            go.release();
            second.waitForFinished();
        });

        capturedWarnings.clear();
        previousHandler = qInstallMessageHandler(captureWarnings);
        auto restoreHandler = qScopeGuard([] { qInstallMessageHandler(previousHandler); });

        // Use up every descriptor the process may have but one, which the
        // client takes: the server then has none left to accept it with.
        rlimit saved {};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit low = saved;
        low.rlim_cur = qMin<rlim_t>(saved.rlim_cur, 512);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
        std::vector<int> filler;
        auto release = qScopeGuard([&] {
            for (const int fd : filler)
                ::close(fd);
            ::setrlimit(RLIMIT_NOFILE, &saved);
        });
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            filler.push_back(fd);
        QCOMPARE(errno, EMFILE);
        ::close(filler.back());
        filler.pop_back();

        go.release();
        // The server turns it away for want of a descriptor, and keeps listening.
        QTRY_VERIFY_WITH_TIMEOUT(capturedWarnings.join(u'\n').contains(u"out of file descriptors"_qs), 10000);
        QCOMPARE(messages.count(), 0);
        for (const int fd : filler)
            ::close(fd);
        filler.clear();
        ::setrlimit(RLIMIT_NOFILE, &saved);

        // Once descriptors are free again, the waiting launch gets through.
        QTRY_VERIFY_WITH_TIMEOUT(second.isFinished(), 20000);
        QVERIFY(second.result());
        unblock.dismiss();
        QTRY_COMPARE(messages.count(), 1);
        QVERIFY(QFileInfo::exists(m_path));
    }

    void otherUsersServerIsNotHandedAnything()
    {
        const std::optional<uid_t> other = OtherUser::id();
        if (!other)
            QSKIP(OtherUser::skipReason);
        // The other user needs the directory open only while it sets up.
        const QByteArray dir = QFile::encodeName(m_dir->path());
        QCOMPARE(::chmod(dir.constData(), 0777), 0);
        QProcess planted;
        OtherUser::runAs(planted, *other);
        planted.start(testHelperPath(u"socket_peer_helper"_qs), {u"listen"_qs, m_path});
        QVERIFY(planted.waitForReadyRead(10000));
        QCOMPARE(planted.readLine().trimmed(), QByteArray("listening"));
        QCOMPARE(::chmod(dir.constData(), 0700), 0);

        SingleInstance launch(m_path);
        QVERIFY(!launch.handOver("toggle-panel", 2000));
        // Its socket is replaced: this launch serves, the other user got nothing.
        QSignalSpy messages(&launch, &SingleInstance::messageReceived);
        QCOMPARE(launch.claim("toggle-panel"), SingleInstance::Role::Primary);
        QVERIFY(launchHandsOver(m_path, "toggle-panel"));
        QTRY_COMPARE(messages.count(), 1);
        planted.kill();
        planted.waitForFinished(5000);
        QVERIFY2(!planted.readAllStandardOutput().contains("received"),
                 "the other user was handed a message");
    }

    void otherUsersClientIsNotAnswered()
    {
        const std::optional<uid_t> other = OtherUser::id();
        if (!other)
            QSKIP(OtherUser::skipReason);
        SingleInstance first(m_path);
        QSignalSpy messages(&first, &SingleInstance::messageReceived);
        QCOMPARE(first.claim("toggle-panel"), SingleInstance::Role::Primary);
        // Even with the file system wide open, the peer check turns it away.
        QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755), 0);
        QCOMPARE(::chmod(QFile::encodeName(m_path).constData(), 0777), 0);

        QProcess client;
        OtherUser::runAs(client, *other);
        client.start(testHelperPath(u"socket_peer_helper"_qs), {u"send"_qs, m_path, u"toggle-panel"_qs});
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QProcess::NotRunning, 10000);
        QCOMPARE(client.readAllStandardOutput().trimmed(), QByteArray("reply"));
        QTest::qWait(0);
        QCOMPARE(messages.count(), 0);
    }

    void socketGoesAwayWithServer()
    {
        {
            SingleInstance first(m_path);
            QCOMPARE(first.claim("toggle-panel"), SingleInstance::Role::Primary);
            QVERIFY(QFileInfo::exists(m_path));
            // Only the user may connect.
            QCOMPARE(QFileInfo(m_path).permissions() & (QFile::ReadOther | QFile::WriteOther),
                     QFile::Permissions());
        }
        QVERIFY(!QFileInfo::exists(m_path));
        SingleInstance next(m_path);
        QCOMPARE(next.claim("toggle-panel"), SingleInstance::Role::Primary);
    }

    void defaultSocketPath_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("runtimeDir");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("display :0") << u":0"_qs << true << u"halvex-_0.socket"_qs;
        QTest::newRow("display with screen") << u":1.0"_qs << true << u"halvex-_1.0.socket"_qs;
        QTest::newRow("hostile display name") << u"../../x/y"_qs << true << u"halvex-.._.._x_y.socket"_qs;
        QTest::newRow("no display") << QString() << true << u"halvex-nodisplay.socket"_qs;
        QTest::newRow("no runtime directory") << u":0"_qs << false << u"halvex-_0.socket"_qs;
    }

    void defaultSocketPath()
    {
        QFETCH(QString, display);
        QFETCH(bool, runtimeDir);
        QFETCH(QString, fileName);
        const QByteArray oldDisplay = qgetenv("DISPLAY");
        const QByteArray oldWayland = qgetenv("WAYLAND_DISPLAY");
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        auto restore = qScopeGuard([&] {
            qputenv("DISPLAY", oldDisplay);
            qputenv("WAYLAND_DISPLAY", oldWayland);
            qputenv("XDG_RUNTIME_DIR", oldRuntime);
        });
        qputenv("DISPLAY", display.toUtf8());
        qunsetenv("WAYLAND_DISPLAY");
        if (runtimeDir)
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir->path()));
        else
            qunsetenv("XDG_RUNTIME_DIR");

        const QString path = SingleInstance::defaultSocketPath();
        QCOMPARE(QFileInfo(path).fileName(), fileName);
        QCOMPARE(QFileInfo(path).absolutePath(),
                 runtimeDir ? m_dir->path() : QDir(QDir::tempPath()).filePath(u"halvex-%1"_qs.arg(getuid())));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
