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
    void secondLaunchTogglesFirstAndExits();

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

void TestHalvexLaunch::secondLaunchTogglesFirstAndExits()
{
    // This process plays the running Halvex.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtimeDir->path()));
    qputenv("DISPLAY", ":4242");
    SingleInstance running(SingleInstance::defaultSocketPath());
    QCOMPARE(running.claim(HalvexApp::togglePanelMessage), SingleInstance::Role::Primary);
    QSignalSpy messages(&running, &SingleInstance::messageReceived);

    QProcess halvex;
    halvex.setProcessEnvironment(environment());
    halvex.start(QStringLiteral(HALVEX_BINARY), {});
    QVERIFY(halvex.waitForStarted());
    // It exits by itself, successfully, without touching the (missing) display.
    QTRY_COMPARE_WITH_TIMEOUT(halvex.state(), QProcess::NotRunning, 30000);
    QCOMPARE(halvex.exitStatus(), QProcess::NormalExit);
    QCOMPARE(halvex.exitCode(), 0);
    QTRY_COMPARE(messages.count(), 1);
    QCOMPARE(messages.at(0).at(0).toByteArray(), HalvexApp::togglePanelMessage);
}

QTEST_MAIN(TestHalvexLaunch)
#include "tst_halvexlaunch.moc"
