#include "app/HalvexApp.h"
#include "app/SingleInstance.h"

#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The halvex binary's command line, and a launch while another Halvex runs.
// None of this needs a display: the binary runs with DISPLAY pointing
// nowhere, under a name that would climb out of the runtime folder if it
// were taken into the socket's path as it stands.
class TestHalvexLaunch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_runtimeDir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_runtimeDir->isValid());
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("output"); // expected on standard output
        QTest::addColumn<QString>("error"); // expected on standard error
        const QStringList version {QStringLiteral("halvex " HALVEX_VERSION "\n")};
        const QStringList help {u"--version"_qs, u"--toggle"_qs, u"--diagnose"_qs, u"Shift+Super+V"_qs};
        QTest::newRow("--version") << QStringList {u"--version"_qs} << 0 << version << QString();
        QTest::newRow("--help") << QStringList {u"--help"_qs} << 0 << help << QString();
        QTest::newRow("unknown option")
            << QStringList {u"--frobnicate"_qs} << 2 << QStringList() << u"frobnicate"_qs;
        QTest::newRow("stray argument")
            << QStringList {u"file.txt"_qs} << 2 << QStringList() << u"file.txt"_qs;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, output);
        QFETCH(QString, error);
        QProcess halvex;
        halvex.setProcessEnvironment(environment());
        halvex.start(QStringLiteral(HALVEX_BINARY), arguments);
        QVERIFY(halvex.waitForFinished(30000));
        QCOMPARE(halvex.exitStatus(), QProcess::NormalExit);
        QCOMPARE(halvex.exitCode(), status);
        const QString out = QString::fromUtf8(halvex.readAllStandardOutput());
        const QString err = QString::fromUtf8(halvex.readAllStandardError());
        for (const QString &expected : output) {
            if (expected.endsWith(u'\n'))
                QCOMPARE(out, expected);
            else
                QVERIFY2(out.contains(expected), qPrintable(out));
        }
        if (!error.isEmpty())
            QVERIFY2(err.contains(error), qPrintable(err));
        if (status == 0)
            QVERIFY2(err.isEmpty(), qPrintable(err));
    }

    void secondLaunchTogglesFirstAndExits_data()
    {
        QTest::addColumn<QByteArray>("token"); // XDG_ACTIVATION_TOKEN of the launch
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("--toggle with a token")
            << QByteArray("kwin-4711_x") << QByteArray("toggle-panel kwin-4711_x");
        // A token that would break the one-line message is left out.
        QTest::newRow("token with a blank") << QByteArray("a b") << QByteArray("toggle-panel");
    }

    void secondLaunchTogglesFirstAndExits()
    {
        QFETCH(QByteArray, token);
        QFETCH(QByteArray, message);
        // This process plays the running Halvex.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtimeDir->path()));
        qputenv("DISPLAY", hostileDisplay.toUtf8());
        QCOMPARE(QFileInfo(SingleInstance::defaultSocketPath()).absolutePath(), m_runtimeDir->path());
        SingleInstance running(SingleInstance::defaultSocketPath());
        QCOMPARE(running.claim(HalvexApp::togglePanelMessage), SingleInstance::Role::Primary);
        QSignalSpy messages(&running, &SingleInstance::messageReceived);

        QProcessEnvironment env = environment();
        if (!token.isEmpty())
            env.insert(u"XDG_ACTIVATION_TOKEN"_qs, QString::fromLatin1(token));
        // It exits by itself, successfully, without touching the (missing) display.
        QProcess halvex;
        halvex.setProcessEnvironment(env);
        halvex.start(QStringLiteral(HALVEX_BINARY), {u"--toggle"_qs});
        QVERIFY(QTest::qWaitFor([&] { return halvex.state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(halvex.exitStatus(), QProcess::NormalExit);
        QCOMPARE(halvex.exitCode(), 0);
        QTRY_COMPARE(messages.count(), 1);
        QCOMPARE(messages.at(0).at(0).toByteArray(), message);
    }

    void toggleMessage_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("toggles");
        QTest::addColumn<QByteArray>("token");
        QTest::newRow("plain") << QByteArray("toggle-panel") << true << QByteArray();
        QTest::newRow("with a token") << QByteArray("toggle-panel t0k3n.1") << true << QByteArray("t0k3n.1");
        QTest::newRow("empty token") << QByteArray("toggle-panel ") << false << QByteArray();
        QTest::newRow("glued") << QByteArray("toggle-panelx") << false << QByteArray();
        QTest::newRow("long token") << QByteArray("toggle-panel " + QByteArray(201, 'a')) << false
                                    << QByteArray();
    }

    void toggleMessage()
    {
        QFETCH(QByteArray, message);
        QFETCH(bool, toggles);
        QFETCH(QByteArray, token);
        const std::optional<QByteArray> parsed = HalvexApp::parseToggleMessage(message);
        QCOMPARE(parsed.has_value(), toggles);
        if (toggles)
            QCOMPARE(*parsed, token);
    }

private:
    const QString hostileDisplay = u"../../x:4242"_qs;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_RUNTIME_DIR"_qs, m_runtimeDir->path());
        env.insert(u"DISPLAY"_qs, hostileDisplay); // no such server
        env.remove(u"WAYLAND_DISPLAY"_qs);
        env.remove(u"QT_QPA_PLATFORM"_qs);
        return env;
    }

    std::unique_ptr<QTemporaryDir> m_runtimeDir;
};

QTEST_MAIN(TestHalvexLaunch)
#include "tst_halvexlaunch.moc"
