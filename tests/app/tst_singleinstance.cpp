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
#include <sys/stat.h>
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

    // What a crashed instance leaves behind is replaced; the server hands
    // over to every later launch, and takes its user-only socket with it.
    void leftoversAreReplacedAndEveryLaunchHandsOver_data()
    {
        QTest::addColumn<bool>("deadSocket");
        QTest::newRow("socket nobody listens on") << true;
        QTest::newRow("lock file left behind") << false;
    }

    void leftoversAreReplacedAndEveryLaunchHandsOver()
    {
        QFETCH(bool, deadSocket);
        if (deadSocket) {
            QProcess crashed;
            crashed.start(testHelperPath(u"socket_peer_helper"_qs), {u"listen"_qs, m_path});
            QVERIFY(crashed.waitForReadyRead(10000));
            crashed.kill();
            crashed.waitForFinished(5000);
            QVERIFY(QFileInfo::exists(m_path));
        } else {
            QFile lock(m_path + u".lock"_qs);
            QVERIFY(lock.open(QIODevice::WriteOnly));
            lock.write("999999999\nhalvex\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        }
        {
            SingleInstance first(m_path);
            QSignalSpy messages(&first, &SingleInstance::messageReceived);
            QCOMPARE(first.claim("toggle-panel", 5000), SingleInstance::Role::Primary);
            QCOMPARE(QFileInfo(m_path).permissions() & (QFile::ReadOther | QFile::WriteOther),
                     QFile::Permissions());
            for (int launch = 1; launch <= 3; ++launch) {
                QVERIFY(launchHandsOver(m_path, "toggle-panel"));
                QTRY_COMPARE(messages.count(), launch);
                QCOMPARE(messages.last().at(0).toByteArray(), QByteArray("toggle-panel"));
            }
        }
        QVERIFY(!QFileInfo::exists(m_path));
    }

    void badMessagesAreDropped_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no line end") << QByteArray(64 * 1024, 'x');
        QTest::newRow("just over the cap") << QByteArray(SingleInstance::maxMessageSize, 'x') + '\n';
        QTest::newRow("control characters") << QByteArray("toggle-panel\x1b[2J\n");
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
        }
        SingleInstance instance(path);
        QCOMPARE(instance.claim("toggle-panel", 1000), SingleInstance::Role::Refused);
        QVERIFY2(instance.errorString().contains(reason), qPrintable(instance.errorString()));
        QVERIFY(!instance.handOver("toggle-panel", 500));
        QVERIFY(!QFileInfo::exists(path));
    }

    // Catches a server that closes its listening socket when accept() fails
    // for want of a descriptor.
    void runningOutOfDescriptorsKeepsTheSocket()
    {
        SingleInstance first(m_path);
        QSignalSpy messages(&first, &SingleInstance::messageReceived);
        QCOMPARE(first.claim("toggle-panel"), SingleInstance::Role::Primary);
        // Set up before descriptors run short (handing over opens only its socket).
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

        // Every descriptor but one in use: the client takes it, the server has none to accept with.
        rlimit saved {};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit low = saved;
        low.rlim_cur = qMin<rlim_t>(saved.rlim_cur, 512);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
        std::vector<int> filler;
        const auto releaseFiller = [&] {
            for (const int fd : filler)
                ::close(fd);
            filler.clear();
            ::setrlimit(RLIMIT_NOFILE, &saved);
        };
        auto release = qScopeGuard(releaseFiller);
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            filler.push_back(fd);
        QCOMPARE(errno, EMFILE);
        ::close(filler.back());
        filler.pop_back();

        go.release();
        QTRY_VERIFY_WITH_TIMEOUT(capturedWarnings.join(u'\n').contains(u"out of file descriptors"_qs), 10000);
        QCOMPARE(messages.count(), 0);
        releaseFiller();
        QTRY_VERIFY_WITH_TIMEOUT(second.isFinished(), 20000);
        QVERIFY(second.result());
        unblock.dismiss();
        QTRY_COMPARE(messages.count(), 1);
        QVERIFY(QFileInfo::exists(m_path));
    }

    // Both ends check the peer: a launch does not hand over to another user's
    // socket (it replaces it), and the server does not answer another user.
    void anotherUserIsNeverTalkedTo()
    {
        const std::optional<uid_t> other = OtherUser::id();
        if (!other)
            QSKIP(OtherUser::skipReason);
        const QByteArray dir = QFile::encodeName(m_dir->path());
        QCOMPARE(::chmod(dir.constData(), 0777), 0);
        QProcess planted;
        OtherUser::runAs(planted, *other);
        planted.start(testHelperPath(u"socket_peer_helper"_qs), {u"listen"_qs, m_path});
        QVERIFY(planted.waitForReadyRead(10000));
        QCOMPARE(planted.readLine().trimmed(), QByteArray("listening"));
        QCOMPARE(::chmod(dir.constData(), 0755), 0);

        SingleInstance first(m_path);
        QVERIFY(!first.handOver("toggle-panel", 2000));
        QSignalSpy messages(&first, &SingleInstance::messageReceived);
        QCOMPARE(first.claim("toggle-panel"), SingleInstance::Role::Primary);
        planted.kill();
        planted.waitForFinished(5000);
        QVERIFY2(!planted.readAllStandardOutput().contains("received"),
                 "the other user was handed a message");

        // Even with the socket wide open, the peer check turns the other user away.
        QCOMPARE(::chmod(QFile::encodeName(m_path).constData(), 0777), 0);
        QProcess client;
        OtherUser::runAs(client, *other);
        client.start(testHelperPath(u"socket_peer_helper"_qs), {u"send"_qs, m_path, u"toggle-panel"_qs});
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QProcess::NotRunning, 10000);
        QCOMPARE(client.readAllStandardOutput().trimmed(), QByteArray("reply"));
        QVERIFY(launchHandsOver(m_path, "toggle-panel"));
        QTRY_COMPARE(messages.count(), 1);
    }

    void defaultSocketPath_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("runtimeDir");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("hostile display name") << u"../../x:1.0"_qs << true << u"halvex-.._.._x_1.0.socket"_qs;
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
