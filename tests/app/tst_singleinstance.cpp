#include "app/SingleInstance.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A later launch: runs on its own thread, as it would in its own process,
// since the serving instance needs this thread's event loop to answer.
QFuture<SingleInstance::Role> launchElsewhere(const QString &path, const QByteArray &message)
{
    return QtConcurrent::run([path, message] {
        SingleInstance other(path);
        return other.claim(message);
    });
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
    void init();
    void secondLaunchHandsOverToFirst();
    void leftoversAreReplaced_data();
    void leftoversAreReplaced();
    void handOverWithoutServerFails();
    void silentClientDoesNotBlockOthers();
    void oversizedMessageIsDropped();
    void unusableDirectoryIsReported();
    void socketGoesAwayWithServer();
    void defaultSocketPath_data();
    void defaultSocketPath();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestSingleInstance::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("halvex-test.socket"));
}

void TestSingleInstance::secondLaunchHandsOverToFirst()
{
    SingleInstance first(m_path);
    QSignalSpy messages(&first, &SingleInstance::messageReceived);
    QCOMPARE(first.claim("toggle-panel"), SingleInstance::Role::Primary);
    QVERIFY(messages.isEmpty());

    for (int launch = 1; launch <= 3; ++launch) {
        QFuture<SingleInstance::Role> second = launchElsewhere(m_path, "toggle-panel");
        QTRY_VERIFY_WITH_TIMEOUT(second.isFinished(), 10000);
        QCOMPARE(second.result(), SingleInstance::Role::Secondary);
        QTRY_COMPARE(messages.count(), launch);
        QCOMPARE(messages.last().at(0).toByteArray(), QByteArray("toggle-panel"));
    }
}

void TestSingleInstance::leftoversAreReplaced_data()
{
    QTest::addColumn<QString>("leftover");
    QTest::newRow("nothing") << QString();
    QTest::newRow("socket of a dead instance") << QStringLiteral("socket");
    QTest::newRow("stale lock of a dead process") << QStringLiteral("lock");
}

void TestSingleInstance::leftoversAreReplaced()
{
    QFETCH(QString, leftover);
    if (leftover == QStringLiteral("socket")) {
        QVERIFY(makeDeadSocket(m_path));
        QVERIFY(QFileInfo::exists(m_path));
    } else if (leftover == QStringLiteral("lock")) {
        // A lock file naming a process that does not exist.
        QFile lock(m_path + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("999999999\nhalvex\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    }

    SingleInstance first(m_path);
    QSignalSpy messages(&first, &SingleInstance::messageReceived);
    QCOMPARE(first.claim("toggle-panel", 5000), SingleInstance::Role::Primary);
    // And it really serves now.
    QFuture<SingleInstance::Role> second = launchElsewhere(m_path, "toggle-panel");
    QTRY_VERIFY_WITH_TIMEOUT(second.isFinished(), 10000);
    QCOMPARE(second.result(), SingleInstance::Role::Secondary);
    QTRY_COMPARE(messages.count(), 1);
}

void TestSingleInstance::handOverWithoutServerFails()
{
    SingleInstance launch(m_path);
    QVERIFY(!launch.handOver("toggle-panel", 500));
    QVERIFY(makeDeadSocket(m_path));
    QVERIFY(!launch.handOver("toggle-panel", 500));
}

void TestSingleInstance::silentClientDoesNotBlockOthers()
{
    SingleInstance first(m_path);
    QSignalSpy messages(&first, &SingleInstance::messageReceived);
    QCOMPARE(first.claim("toggle-panel"), SingleInstance::Role::Primary);

    QLocalSocket silent;
    silent.connectToServer(m_path);
    QTRY_COMPARE(silent.state(), QLocalSocket::ConnectedState);

    QFuture<SingleInstance::Role> second = launchElsewhere(m_path, "toggle-panel");
    QTRY_VERIFY_WITH_TIMEOUT(second.isFinished(), 10000);
    QCOMPARE(second.result(), SingleInstance::Role::Secondary);
    QTRY_COMPARE(messages.count(), 1);
    // The silent one is dropped in the end.
    QTRY_COMPARE_WITH_TIMEOUT(silent.state(), QLocalSocket::UnconnectedState, 10000);
    QCOMPARE(messages.count(), 1);
}

void TestSingleInstance::oversizedMessageIsDropped()
{
    SingleInstance first(m_path);
    QSignalSpy messages(&first, &SingleInstance::messageReceived);
    QCOMPARE(first.claim("toggle-panel"), SingleInstance::Role::Primary);

    QLocalSocket client;
    client.connectToServer(m_path);
    QTRY_COMPARE(client.state(), QLocalSocket::ConnectedState);
    client.write(QByteArray(64 * 1024, 'x'));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 10000);
    QCOMPARE(messages.count(), 0);
}

void TestSingleInstance::unusableDirectoryIsReported()
{
    SingleInstance instance(m_dir->filePath(QStringLiteral("missing/dir/halvex.socket")));
    QCOMPARE(instance.claim("toggle-panel", 500), SingleInstance::Role::Unavailable);
}

void TestSingleInstance::socketGoesAwayWithServer()
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

void TestSingleInstance::defaultSocketPath_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<bool>("runtimeDir");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("display :0") << QStringLiteral(":0") << true << QStringLiteral("halvex-_0.socket");
    QTest::newRow("display with screen")
        << QStringLiteral(":1.0") << true << QStringLiteral("halvex-_1.0.socket");
    QTest::newRow("hostile display name")
        << QStringLiteral("../../x/y") << true << QStringLiteral("halvex-.._.._x_y.socket");
    QTest::newRow("no display") << QString() << true << QStringLiteral("halvex-nodisplay.socket");
    QTest::newRow("no runtime directory")
        << QStringLiteral(":0") << false << QStringLiteral("halvex-%1-halvex-_0.socket").arg(uint(getuid()));
}

void TestSingleInstance::defaultSocketPath()
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
    QCOMPARE(QFileInfo(path).absolutePath(), runtimeDir ? m_dir->path() : QDir::tempPath());
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
