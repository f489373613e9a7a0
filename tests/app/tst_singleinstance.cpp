#include "app/SingleInstance.h"
#include "support/OtherUser.h"
#include "support/TestTools.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <sys/stat.h>

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
        QString path = QDir(dir).filePath(u"halvex.socket"_qs);
        if (kind == u"missing parent"_qs) {
            path = m_dir->filePath(u"missing/dir/halvex.socket"_qs);
        } else if (kind == u"0777"_qs) {
            QVERIFY(QDir().mkdir(dir));
            QCOMPARE(::chmod(QFile::encodeName(dir).constData(), 0777), 0);
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

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
