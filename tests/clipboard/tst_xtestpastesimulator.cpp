#include "PasteTarget.h"
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

} // namespace

class XTestPasteSimulatorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void pastesIntoFocusedTextField_data();
    void pastesIntoFocusedTextField();
    void terminalGetsCtrlShiftV();
    void withoutXTestDoesNothing();

private:
    void setClipboard(const QString &text);
    QString nextTargetPath() { return m_dir.filePath(QStringLiteral("target%1").arg(++m_targets)); }

    QTemporaryDir m_dir;
    int m_targets = 0;
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
    QTest::addColumn<int>("pastes"); // sent at once, one after the other
    QTest::addColumn<bool>("shiftHeld"); // still held from the hotkey, never let go
    QTest::addColumn<QString>("variant"); // of the US layout
    QTest::newRow("ascii") << QStringLiteral("Hello, paste 123!") << 1 << false << QString();
    QTest::newRow("multi-line") << QStringLiteral("first line\nsecond line\n\tindented third") << 1 << false
                                << QString();
    QTest::newRow("greek") << QStringLiteral("Καλημέρα κόσμε") << 1 << false << QString();
    QTest::newRow("cjk") << QStringLiteral("你好，世界 こんにちは") << 1 << false << QString();
    QTest::newRow("two quick pastes") << QStringLiteral("twice ") << 2 << false << QString();
    QTest::newRow("Shift held") << QStringLiteral("shift was held") << 1 << true << QString();
    // Under Dvorak the v keysym sits on the key that types "." under US.
    QTest::newRow("Dvorak") << QStringLiteral("pasted under dvorak") << 1 << false
                            << QStringLiteral("dvorak");
}

void XTestPasteSimulatorTest::pastesIntoFocusedTextField()
{
    QFETCH(QString, text);
    QFETCH(int, pastes);
    QFETCH(bool, shiftHeld);
    QFETCH(QString, variant);
    if (!variant.isEmpty()) {
        QVERIFY(
            runTool(QStringLiteral("setxkbmap"),
                    {QStringLiteral("-layout"), QStringLiteral("us"), QStringLiteral("-variant"), variant})
                .ok());
    }
    auto restore = qScopeGuard([&] {
        if (!variant.isEmpty())
            runTool(QStringLiteral("setxkbmap"), {QStringLiteral("us")});
    });
    PasteTarget target(nextTargetPath());
    target.waitUntilFocused();
    if (QTest::currentTestFailed())
        return;
    setClipboard(text);
    if (shiftHeld)
        QVERIFY(
            runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("shift")}).ok());

    XTestPasteSimulator simulator;
    QSignalSpy sent(&simulator, &XTestPasteSimulator::chordSent);
    for (int i = 0; i < pastes; ++i)
        simulator.simulatePaste();
    QTRY_VERIFY2_WITH_TIMEOUT(target.text() == text.repeated(pastes), qPrintable(target.describe()),
                              deadlineMs);
    QCOMPARE(sent.size(), pastes);
    QCOMPARE(sent.at(0).at(0).toBool(), false);
    QCOMPARE(target.keys(), QStringList(pastes, QStringLiteral("Ctrl+V")));
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
    QTRY_COMPARE_WITH_TIMEOUT(PasteTarget::focusedWindowName(), QStringLiteral("halvex paste terminal"),
                              deadlineMs);
    const QString text = QStringLiteral("echo pasted into a terminal");
    setClipboard(text);

    XTestPasteSimulator simulator;
    QSignalSpy sent(&simulator, &XTestPasteSimulator::chordSent);
    simulator.simulatePaste();
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(PasteTarget::readAll(output)), text, deadlineMs);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.at(0).at(0).toBool(), true);
    xterm->kill();
    xterm->waitForFinished(5000);
}

void XTestPasteSimulatorTest::withoutXTestDoesNothing()
{
    // A second X server without the extension. It picks a free display
    // number itself and prints it once it accepts connections.
    auto server = startTool(QStringLiteral("Xvfb"),
                            {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                             QStringLiteral("tcp"), QStringLiteral("-extension"), QStringLiteral("XTEST")});
    auto stop = qScopeGuard([&] {
        server->terminate();
        server->waitForFinished(5000);
    });
    QTRY_VERIFY_WITH_TIMEOUT(server->canReadLine(), deadlineMs);
    const QByteArray name = ':' + server->readLine().trimmed();
    QVERIFY(XcbConnection(name).isValid());

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
