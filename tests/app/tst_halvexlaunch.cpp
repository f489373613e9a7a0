#include "app/HalvexApp.h"
#include "app/SingleInstance.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The halvex binary's command line, and a launch while another Halvex runs.
// None of this needs a display: the binary runs with DISPLAY pointing
// nowhere.
class TestHalvexLaunch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void commandLine_data();
    void commandLine();
    void secondLaunchTogglesFirstAndExits_data();
    void secondLaunchTogglesFirstAndExits();
    void toggleMessage_data();
    void toggleMessage();

private:
    QProcessEnvironment environment() const;
    std::unique_ptr<QTemporaryDir> m_runtimeDir;
};

void TestHalvexLaunch::init()
{
    m_runtimeDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_runtimeDir->isValid());
}

QProcessEnvironment TestHalvexLaunch::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir->path());
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4242")); // no such server
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

void TestHalvexLaunch::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // expected on standard output
    QTest::addColumn<QString>("error"); // expected on standard error
    QTest::newRow("--version") << QStringList {QStringLiteral("--version")} << 0
                               << QStringLiteral("halvex " HALVEX_VERSION "\n") << QString();
    QTest::newRow("-v") << QStringList {QStringLiteral("-v")} << 0
                        << QStringLiteral("halvex " HALVEX_VERSION "\n") << QString();
    QTest::newRow("--help") << QStringList {QStringLiteral("--help")} << 0 << QStringLiteral("--version")
                            << QString();
    QTest::newRow("-h") << QStringList {QStringLiteral("-h")} << 0 << QStringLiteral("Shift+Super+V")
                        << QString();
    QTest::newRow("--help names --toggle")
        << QStringList {QStringLiteral("--help")} << 0 << QStringLiteral("--toggle") << QString();
    QTest::newRow("--help names --diagnose")
        << QStringList {QStringLiteral("--help")} << 0 << QStringLiteral("--diagnose") << QString();
    QTest::newRow("unknown option") << QStringList {QStringLiteral("--frobnicate")} << 2 << QString()
                                    << QStringLiteral("frobnicate");
    QTest::newRow("stray argument") << QStringList {QStringLiteral("file.txt")} << 2 << QString()
                                    << QStringLiteral("file.txt");
}

void TestHalvexLaunch::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QString, error);
    QProcess halvex;
    halvex.setProcessEnvironment(environment());
    halvex.start(QStringLiteral(HALVEX_BINARY), arguments);
    QVERIFY(halvex.waitForFinished(30000));
    QCOMPARE(halvex.exitStatus(), QProcess::NormalExit);
    QCOMPARE(halvex.exitCode(), status);
    const QString out = QString::fromUtf8(halvex.readAllStandardOutput());
    const QString err = QString::fromUtf8(halvex.readAllStandardError());
    if (output.endsWith(u'\n'))
        QCOMPARE(out, output);
    else if (!output.isEmpty())
        QVERIFY2(out.contains(output), qPrintable(out));
    if (!error.isEmpty())
        QVERIFY2(err.contains(error), qPrintable(err));
    if (status == 0)
        QVERIFY2(err.isEmpty(), qPrintable(err));
}

void TestHalvexLaunch::secondLaunchTogglesFirstAndExits_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("token"); // XDG_ACTIVATION_TOKEN of the launch
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("bare launch") << QStringList() << QByteArray() << QByteArray("toggle-panel");
    QTest::newRow("--toggle") << QStringList {QStringLiteral("--toggle")} << QByteArray()
                              << QByteArray("toggle-panel");
    QTest::newRow("--toggle with a token")
        << QStringList {QStringLiteral("--toggle")} << QByteArray("kwin-4711_x")
        << QByteArray("toggle-panel kwin-4711_x");
    QTest::newRow("bare launch with a token")
        << QStringList() << QByteArray("abc") << QByteArray("toggle-panel abc");
    // A token that would break the one-line message is left out.
    QTest::newRow("token with a blank")
        << QStringList {QStringLiteral("--toggle")} << QByteArray("a b") << QByteArray("toggle-panel");
}

void TestHalvexLaunch::secondLaunchTogglesFirstAndExits()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, token);
    QFETCH(QByteArray, message);
    // This process plays the running Halvex.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtimeDir->path()));
    qputenv("DISPLAY", ":4242");
    SingleInstance running(SingleInstance::defaultSocketPath());
    QCOMPARE(running.claim(HalvexApp::togglePanelMessage), SingleInstance::Role::Primary);
    QSignalSpy messages(&running, &SingleInstance::messageReceived);

    QProcess halvex;
    QProcessEnvironment env = environment();
    if (!token.isEmpty())
        env.insert(QStringLiteral("XDG_ACTIVATION_TOKEN"), QString::fromLatin1(token));
    halvex.setProcessEnvironment(env);
    halvex.start(QStringLiteral(HALVEX_BINARY), arguments);
    QVERIFY(halvex.waitForStarted());
    // It exits by itself, successfully, without touching the (missing) display.
    QTRY_COMPARE_WITH_TIMEOUT(halvex.state(), QProcess::NotRunning, 30000);
    QCOMPARE(halvex.exitStatus(), QProcess::NormalExit);
    QCOMPARE(halvex.exitCode(), 0);
    QTRY_COMPARE(messages.count(), 1);
    QCOMPARE(messages.at(0).at(0).toByteArray(), message);
}

void TestHalvexLaunch::toggleMessage_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("toggles");
    QTest::addColumn<QByteArray>("token");
    QTest::newRow("plain") << QByteArray("toggle-panel") << true << QByteArray();
    QTest::newRow("with a token") << QByteArray("toggle-panel t0k3n.1") << true << QByteArray("t0k3n.1");
    QTest::newRow("two words after") << QByteArray("toggle-panel a b") << false << QByteArray();
    QTest::newRow("control character") << QByteArray("toggle-panel a\x01") << false << QByteArray();
    QTest::newRow("empty token") << QByteArray("toggle-panel ") << false << QByteArray();
    QTest::newRow("glued") << QByteArray("toggle-panelx") << false << QByteArray();
    QTest::newRow("other") << QByteArray("quit") << false << QByteArray();
    QTest::newRow("long token") << QByteArray("toggle-panel " + QByteArray(201, 'a')) << false
                                << QByteArray();
}

void TestHalvexLaunch::toggleMessage()
{
    QFETCH(QByteArray, message);
    QFETCH(bool, toggles);
    QFETCH(QByteArray, token);
    const std::optional<QByteArray> parsed = HalvexApp::parseToggleMessage(message);
    QCOMPARE(parsed.has_value(), toggles);
    if (toggles)
        QCOMPARE(*parsed, token);
}

QTEST_MAIN(TestHalvexLaunch)
#include "tst_halvexlaunch.moc"
