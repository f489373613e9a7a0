#include "clipboard/x11/XTestPasteSimulator.h"
#include "settings/x11/XTestPastePermission.h"
#include "support/TestTools.h"
#include "x11/XcbConnection.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class XTestPasteSimulatorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void pastesIntoFocusedWindow_data();
    void pastesIntoFocusedWindow();
    void withoutXTestNothingIsSentNorGranted();

private:
    QTemporaryDir m_dir;
    int m_windows = 0;
};

static constexpr int deadlineMs = 20000;

static QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

static QString focusedWindowName()
{
    return QString::fromUtf8(
        runTool(u"xdotool"_qs, {u"getwindowfocus"_qs, u"getwindowname"_qs}).standardOutput.trimmed());
}

void XTestPasteSimulatorTest::initTestCase()
{
    QVERIFY2(XTestPasteSimulator().isAvailable(), "the test display must offer XTEST");
}

void XTestPasteSimulatorTest::cleanup()
{
    runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("shift")});
    runTool(QStringLiteral("setxkbmap"), {QStringLiteral("us")});
}

void XTestPasteSimulatorTest::pastesIntoFocusedWindow_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shiftHeld"); // still held from the hotkey, never let go
    QTest::addColumn<QString>("variant"); // of the US layout
    QTest::addColumn<bool>("terminal"); // an xterm instead of a text field
    QTest::newRow("multi-line, non-ASCII")
        << u"first line\nΚαλημέρα 你好\n\tindented third"_qs << false << QString() << false;
    QTest::newRow("Shift held") << u"shift was held"_qs << true << QString() << false;
    // Under Dvorak the v keysym sits on the key that types "." under US.
    QTest::newRow("Dvorak") << u"pasted under dvorak"_qs << false << u"dvorak"_qs << false;
    QTest::newRow("terminal gets Ctrl+Shift+V")
        << u"echo pasted into a terminal"_qs << false << QString() << true;
}

void XTestPasteSimulatorTest::pastesIntoFocusedWindow()
{
    QFETCH(QString, text);
    QFETCH(bool, shiftHeld);
    QFETCH(QString, variant);
    QFETCH(bool, terminal);
    if (!variant.isEmpty())
        QVERIFY(runTool(u"setxkbmap"_qs, {u"-layout"_qs, u"us"_qs, u"-variant"_qs, variant}).ok());
    // paste_target writes its text field to output, the keys it saw to
    // output.keys, and makes output.focused once the field has the focus. An
    // xterm pastes the clipboard on Ctrl+Shift+V with this translation; its
    // shell copies every byte it receives to output.
    const QString title = u"paste target %1"_qs.arg(++m_windows);
    const QString output = m_dir.filePath(title);
    const std::unique_ptr<QProcess> window = terminal
        ? startTool(u"xterm"_qs,
                    {u"-T"_qs, title, u"-xrm"_qs,
                     u"XTerm*VT100.translations: #override Ctrl Shift <Key>V: "
                     "insert-selection(CLIPBOARD)"_qs,
                     u"-e"_qs, u"sh"_qs, u"-c"_qs, u"stty raw -echo; exec cat > '%1'"_qs.arg(output)})
        : startTool(testHelperPath(u"paste_target"_qs), {output, title});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(terminal ? output : output + u".focused"_qs), deadlineMs);
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindowName(), title, deadlineMs);
    // The target asks this process for the text while the test's event loop
    // runs (QTRY_*); nothing here may block waiting for another client.
    QGuiApplication::clipboard()->setText(text);
    QVERIFY(QGuiApplication::clipboard()->ownsClipboard());
    if (shiftHeld)
        QVERIFY(runTool(u"xdotool"_qs, {u"keydown"_qs, u"shift"_qs}).ok());

    XTestPasteSimulator simulator;
    QSignalSpy sent(&simulator, &XTestPasteSimulator::chordSent);
    simulator.simulatePaste();
    const auto keys
        = [&] { return QString::fromUtf8(readAll(output + u".keys"_qs)).split(u'\n', Qt::SkipEmptyParts); };
    QTRY_VERIFY2_WITH_TIMEOUT(
        readAll(output) == text.toUtf8(),
        qPrintable(u"text \"%1\", keys [%2], focus on \"%3\""_qs.arg(QString::fromUtf8(readAll(output)),
                                                                     keys().join(u','), focusedWindowName())),
        deadlineMs);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.at(0).at(0).toBool(), terminal); // with Shift
    if (!terminal)
        QCOMPARE(keys(), QStringList {u"Ctrl+V"_qs});
}

// A second X server without the extension (it picks a free display number
// itself and prints it once it accepts connections), and no server at all.
void XTestPasteSimulatorTest::withoutXTestNothingIsSentNorGranted()
{
    auto server = startTool(
        u"Xvfb"_qs, {u"-displayfd"_qs, u"1"_qs, u"-nolisten"_qs, u"tcp"_qs, u"-extension"_qs, u"XTEST"_qs});
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

    XTestPastePermission permission(name);
    QVERIFY(!permission.isGranted());
    QVERIFY(!permission.request());
    QVERIFY(permission.missingExplanation().contains(u"XTEST"_qs));
    QVERIFY(!XTestPastePermission(":999").isGranted());
}

QTEST_MAIN(XTestPasteSimulatorTest)
#include "tst_xtestpastesimulator.moc"
