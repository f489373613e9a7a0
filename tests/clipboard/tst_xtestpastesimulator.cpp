#include "clipboard/x11/XTestPasteSimulator.h"
#include "support/TestTools.h"
#include "x11/XcbConnection.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int deadlineMs = 15000;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The test client of paste_target.cpp, with its window focused.
struct Target
{
    QString output;
    std::unique_ptr<QProcess> process;

    ~Target()
    {
        if (process) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    QString text() const { return QString::fromUtf8(readAll(output)); }
    QStringList keys() const
    {
        return QString::fromUtf8(readAll(output + QStringLiteral(".keys")))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

} // namespace

class XTestPasteSimulatorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void pastesIntoFocusedTextField_data();
    void pastesIntoFocusedTextField();
    void twoQuickPastesPasteTwice();
    void heldShiftDoesNotBecomePartOfTheChord();
    void terminalGetsCtrlShiftV();
    void withoutXTestDoesNothing();

private:
    void startTarget(Target *target);
    void setClipboard(const QString &text);

    QTemporaryDir m_dir;
    int m_targets = 0;
    std::unique_ptr<QProcess> m_target;
};

void XTestPasteSimulatorTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(XTestPasteSimulator().isAvailable(), "the test display must offer XTEST");
}

void XTestPasteSimulatorTest::cleanup()
{
    runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("shift")});
}

void XTestPasteSimulatorTest::startTarget(Target *target)
{
    target->output = m_dir.filePath(QStringLiteral("target%1").arg(++m_targets));
    target->process = startTool(testHelperPath(QStringLiteral("paste_target")), {target->output});
    const QString focused = target->output + QStringLiteral(".focused");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(focused), deadlineMs);
}

void XTestPasteSimulatorTest::setClipboard(const QString &text)
{
    // The target asks this process for the text while the test's event loop
    // runs (QTRY_*); nothing here may block waiting for another client.
    QGuiApplication::clipboard()->setText(text);
    QVERIFY(QGuiApplication::clipboard()->ownsClipboard());
}

void XTestPasteSimulatorTest::pastesIntoFocusedTextField_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QStringLiteral("Hello, paste 123!");
    QTest::newRow("multi-line") << QStringLiteral("first line\nsecond line\n\tindented third");
    QTest::newRow("greek") << QStringLiteral("Καλημέρα κόσμε");
    QTest::newRow("cjk") << QStringLiteral("你好，世界 こんにちは");
}

void XTestPasteSimulatorTest::pastesIntoFocusedTextField()
{
    QFETCH(QString, text);
    Target target;
    startTarget(&target);
    if (QTest::currentTestFailed())
        return;
    setClipboard(text);

    XTestPasteSimulator simulator;
    QSignalSpy sent(&simulator, &XTestPasteSimulator::chordSent);
    simulator.simulatePaste();
    QTRY_COMPARE_WITH_TIMEOUT(target.text(), text, deadlineMs);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.at(0).at(0).toBool(), false);
    QCOMPARE(target.keys(), QStringList {QStringLiteral("Ctrl+V")});
}

void XTestPasteSimulatorTest::twoQuickPastesPasteTwice()
{
    Target target;
    startTarget(&target);
    if (QTest::currentTestFailed())
        return;
    const QString text = QStringLiteral("twice ");
    setClipboard(text);

    XTestPasteSimulator simulator;
    simulator.simulatePaste();
    simulator.simulatePaste();
    QTRY_COMPARE_WITH_TIMEOUT(target.text(), text + text, deadlineMs);
    QCOMPARE(target.keys(), (QStringList {QStringLiteral("Ctrl+V"), QStringLiteral("Ctrl+V")}));
}

void XTestPasteSimulatorTest::heldShiftDoesNotBecomePartOfTheChord()
{
    Target target;
    startTarget(&target);
    if (QTest::currentTestFailed())
        return;
    const QString text = QStringLiteral("shift was held");
    setClipboard(text);

    // The user still holds Shift from the hotkey (Shift+Super+V) and never lets go.
    QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("shift")}).ok());
    XTestPasteSimulator simulator;
    QSignalSpy sent(&simulator, &XTestPasteSimulator::chordSent);
    simulator.simulatePaste();
    QTRY_COMPARE_WITH_TIMEOUT(target.text(), text, deadlineMs);
    QCOMPARE(target.keys(), QStringList {QStringLiteral("Ctrl+V")});
    QCOMPARE(sent.size(), 1);
}

void XTestPasteSimulatorTest::terminalGetsCtrlShiftV()
{
    // An xterm pastes the clipboard on Ctrl+Shift+V with this translation; its
    // shell copies every byte it receives to a file.
    const QString output = m_dir.filePath(QStringLiteral("xterm-output"));
    const QString script = QStringLiteral("stty raw -echo; exec cat > '%1'").arg(output);
    auto xterm = startTool(
        QStringLiteral("xterm"),
        {QStringLiteral("-T"), QStringLiteral("halvex paste terminal"), QStringLiteral("-xrm"),
         QStringLiteral("XTerm*VT100.translations: #override Ctrl Shift <Key>V: insert-selection(CLIPBOARD)"),
         QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"), script});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(output), deadlineMs);
    QTRY_COMPARE_WITH_TIMEOUT(runTool(QStringLiteral("xdotool"),
                                      {QStringLiteral("getwindowfocus"), QStringLiteral("getwindowname")})
                                  .standardOutput.trimmed(),
                              QByteArray("halvex paste terminal"), deadlineMs);
    const QString text = QStringLiteral("echo pasted into a terminal");
    setClipboard(text);

    XTestPasteSimulator simulator;
    QSignalSpy sent(&simulator, &XTestPasteSimulator::chordSent);
    simulator.simulatePaste();
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readAll(output)), text, deadlineMs);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.at(0).at(0).toBool(), true);
    xterm->kill();
    xterm->waitForFinished(5000);
}

void XTestPasteSimulatorTest::withoutXTestDoesNothing()
{
    // A second X server without the extension, on a display number the test
    // session scripts do not use.
    int display = -1;
    for (int n = 250; n < 300 && display < 0; ++n) {
        if (!QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))
            && !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
            display = n;
    }
    QVERIFY(display > 0);
    const QByteArray name = ':' + QByteArray::number(display);
    auto server = startTool(QStringLiteral("Xvfb"),
                            {QString::fromLatin1(name), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                             QStringLiteral("-extension"), QStringLiteral("XTEST")});
    auto stop = qScopeGuard([&] {
        server->terminate();
        server->waitForFinished(5000);
    });
    QTRY_VERIFY_WITH_TIMEOUT(XcbConnection(name).isValid(), deadlineMs);

    XTestPasteSimulator simulator(name);
    QVERIFY(!simulator.isAvailable());
    QSignalSpy sent(&simulator, &XTestPasteSimulator::chordSent);
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("no XTEST extension")));
    simulator.simulatePaste();
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    simulator.simulatePaste();
    QTest::qWait(50);
    QCOMPARE(sent.size(), 0);
}

QTEST_MAIN(XTestPasteSimulatorTest)
#include "tst_xtestpastesimulator.moc"
