// The whole quick-paste road against real X clients: halvex itself as a
// child process, texts copied with xclip, the hotkey and typing sent with
// xdotool (XTest), and a Qt text window (once a GTK one) as the application
// the user works in.

#include "support/TestTools.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString hotkey = QStringLiteral("super+shift+v");
const QStringList entries
    = {QStringLiteral("alpha one"), QStringLiteral("beta two"), QStringLiteral("gamma three")};
constexpr int screenWidth = 1280; // scripts/xvfb-session
constexpr int screenHeight = 800;

QString xdotool(const QStringList &arguments)
{
    return QString::fromUtf8(runTool(QStringLiteral("xdotool"), arguments).standardOutput).trimmed();
}

quint64 windowId(const QString &text)
{
    return text.split(u'\n').first().toULongLong();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_QuickPasteX11 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void hotkeyShowsCentredFocusedPanel();
    void typingAndReturnPastesIntoTheTarget();
    void ctrlDigitPastesThatRow();
    void escapeDismissesWithoutPasting();
    void hotkeyTwiceShowsThenHides();
    void clickOnARowPastesIt();
    void roundsTypedAtOnceBackToBackAllLand();
    void secondLaunchOpensThePanelWithTheKeyboard();
    void pastesIntoAGtkWindow();

private:
    quint64 panelWindow() const;
    quint64 focusedWindow() const { return windowId(xdotool({QStringLiteral("getwindowfocus")})); }
    QRect panelGeometry(quint64 window) const;
    bool waitForLog(const QRegularExpression &pattern, int count, int timeoutMs);
    void openPanel();
    void clearSearch();
    QStringList halvexEnvironment() const;
    QString targetText() const { return QString::fromUtf8(readFile(m_output)); }
    QStringList targetKeys() const;

    QTemporaryDir m_dir;
    QString m_output;
    std::unique_ptr<QProcess> m_target;
    std::unique_ptr<QProcess> m_halvex;
    QByteArray m_log;
    quint64 m_targetWindow = 0;
};

void tst_QuickPasteX11::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_output = m_dir.filePath(QStringLiteral("target.txt"));

    m_target = startTool(QStringLiteral(PASTE_TARGET_BINARY), {m_output});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_output + QStringLiteral(".focused")), 15000);
    m_targetWindow = windowId(
        xdotool({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^paste target$")}));
    QVERIFY(m_targetWindow != 0);

    m_halvex = std::make_unique<QProcess>();
    m_halvex->setEnvironment(halvexEnvironment());
    m_halvex->setProcessChannelMode(QProcess::MergedChannels);
    connect(m_halvex.get(), &QProcess::readyRead, this, [this] { m_log += m_halvex->readAll(); });
    m_halvex->start(QStringLiteral(HALVEX_BINARY), {});
    QVERIFY(m_halvex->waitForStarted(10000));
    QVERIFY2(waitForLog(QRegularExpression(QStringLiteral("ready")), 1, 20000), m_log.constData());

    // Three copies, each taken in before the next.
    int captured = 0;
    for (const QString &text : entries) {
        QVERIFY(runTool(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard")},
                        text.toUtf8())
                    .ok());
        QVERIFY2(waitForLog(QRegularExpression(QStringLiteral("captured text")), ++captured, 10000),
                 m_log.constData());
    }
}

void tst_QuickPasteX11::cleanupTestCase()
{
    if (m_halvex) {
        m_halvex->kill();
        m_halvex->waitForFinished(5000);
    }
}

void tst_QuickPasteX11::init()
{
    QVERIFY(m_halvex && m_halvex->state() == QProcess::Running);
    if (panelWindow() != 0) {
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        QTRY_COMPARE_WITH_TIMEOUT(panelWindow(), quint64(0), 5000);
    }
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(m_targetWindow)});
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), m_targetWindow, 5000);
}

void tst_QuickPasteX11::cleanup()
{
    if (QTest::currentTestFailed())
        qWarning().noquote() << "halvex said:\n" << QString::fromUtf8(m_log.right(6000));
}

QStringList tst_QuickPasteX11::halvexEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"),
               QStringLiteral("halvex.app.debug=true\nhalvex.clipboard.debug=true"));
    return env.toStringList();
}

quint64 tst_QuickPasteX11::panelWindow() const
{
    return windowId(xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--name"), QStringLiteral("^Halvex$")}));
}

QRect tst_QuickPasteX11::panelGeometry(quint64 window) const
{
    const QString shell
        = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)});
    QHash<QString, int> values;
    for (const QString &line : shell.split(u'\n')) {
        const QStringList parts = line.split(u'=');
        if (parts.size() == 2)
            values.insert(parts[0], parts[1].toInt());
    }
    return QRect(values.value(u"X"_qs), values.value(u"Y"_qs), values.value(u"WIDTH"_qs),
                 values.value(u"HEIGHT"_qs));
}

bool tst_QuickPasteX11::waitForLog(const QRegularExpression &pattern, int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (QString::fromUtf8(m_log).count(pattern) >= count)
            return true;
        QTest::qWait(20);
    }
    return false;
}

void tst_QuickPasteX11::openPanel()
{
    xdotool({QStringLiteral("key"), hotkey});
    quint64 panel = 0;
    QTRY_VERIFY_WITH_TIMEOUT((panel = panelWindow()) != 0 && focusedWindow() == panel, 5000);
}

void tst_QuickPasteX11::clearSearch()
{
    // The search survives hiding; start each case from the full list.
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("BackSpace")});
}

QStringList tst_QuickPasteX11::targetKeys() const
{
    return QString::fromUtf8(readFile(m_output + QStringLiteral(".keys"))).split(u'\n', Qt::SkipEmptyParts);
}

void tst_QuickPasteX11::hotkeyShowsCentredFocusedPanel()
{
    openPanel();
    const QRect geometry = panelGeometry(panelWindow());
    QCOMPARE(geometry.width(), 450);
    QVERIFY2(qAbs(geometry.center().x() - screenWidth / 2) <= 1
                 && qAbs(geometry.center().y() - screenHeight / 2) <= 1,
             qPrintable(QStringLiteral("panel at %1,%2 %3x%4")
                            .arg(geometry.x())
                            .arg(geometry.y())
                            .arg(geometry.width())
                            .arg(geometry.height())));
}

void tst_QuickPasteX11::typingAndReturnPastesIntoTheTarget()
{
    const QString before = targetText();
    openPanel();
    // Whatever was searched last is selected: typing replaces it.
    xdotool({QStringLiteral("type"), QStringLiteral("eta t")});
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QTRY_COMPARE_WITH_TIMEOUT(targetText(), before + entries[1], 5000);
    QCOMPARE(panelWindow(), quint64(0));
    QCOMPARE(focusedWindow(), m_targetWindow);
}

void tst_QuickPasteX11::ctrlDigitPastesThatRow()
{
    const QString before = targetText();
    openPanel();
    clearSearch();
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+2")});
    // Rows are newest first: the second row is the second-newest copy.
    QTRY_COMPARE_WITH_TIMEOUT(targetText(), before + entries[1], 5000);
    QCOMPARE(panelWindow(), quint64(0));
    QCOMPARE(focusedWindow(), m_targetWindow);
}

void tst_QuickPasteX11::escapeDismissesWithoutPasting()
{
    const QString before = targetText();
    const int keysBefore = int(targetKeys().size());
    openPanel();
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    QTRY_COMPARE_WITH_TIMEOUT(panelWindow(), quint64(0), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), m_targetWindow, 5000);
    QTest::qWait(500); // a paste would arrive 100 ms after the pick
    QCOMPARE(targetText(), before);
    QCOMPARE(targetKeys().size(), keysBefore);
}

void tst_QuickPasteX11::hotkeyTwiceShowsThenHides()
{
    const QString before = targetText();
    openPanel();
    xdotool({QStringLiteral("key"), hotkey});
    QTRY_COMPARE_WITH_TIMEOUT(panelWindow(), quint64(0), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), m_targetWindow, 5000);
    QTest::qWait(500);
    QCOMPARE(targetText(), before);
}

void tst_QuickPasteX11::clickOnARowPastesIt()
{
    const QString before = targetText();
    openPanel();
    clearSearch();
    // With three rows the last one sits just above the list's bottom padding
    // of 8 pixels; rows are 36 high.
    const QRect geometry = panelGeometry(panelWindow());
    const QPoint lastRow(geometry.center().x(), geometry.bottom() + 1 - 8 - 18);
    xdotool({QStringLiteral("mousemove"), QString::number(lastRow.x()), QString::number(lastRow.y()),
             QStringLiteral("click"), QStringLiteral("1")});
    QTRY_COMPARE_WITH_TIMEOUT(targetText(), before + entries[0], 5000);
    QCOMPARE(panelWindow(), quint64(0));
    QCOMPARE(focusedWindow(), m_targetWindow);
    xdotool({QStringLiteral("mousemove"), QStringLiteral("0"), QStringLiteral("0")});
}

void tst_QuickPasteX11::roundsTypedAtOnceBackToBackAllLand()
{
    // A quick user: the hotkey, the search and Return in one go (xdotool's
    // 12 ms between keys), the next round as soon as the paste landed. The
    // panel comes back well within the 400 ms in which Qt still counts it
    // as active from the round before, and the previous search is selected.
    const QList<int> order {2, 0, 1, 2, 0, 1};
    const QString before = targetText();
    const int keysBefore = int(targetKeys().size());
    QString expected = before;
    for (int entry : order) {
        xdotool({QStringLiteral("key"), hotkey, entries[entry].left(1), entries[entry].mid(1, 1),
                 entries[entry].mid(2, 1), QStringLiteral("Return")});
        expected += entries[entry];
        QTRY_COMPARE_WITH_TIMEOUT(targetText(), expected, 5000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(panelWindow(), quint64(0), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), m_targetWindow, 5000);
    // The target saw nothing but the paste chords: no typed key leaked.
    QCOMPARE(targetKeys().mid(keysBefore), QStringList(order.size(), u"Ctrl+V"_qs));
}

void tst_QuickPasteX11::secondLaunchOpensThePanelWithTheKeyboard()
{
    const QString before = targetText();
    QProcess second;
    second.setEnvironment(halvexEnvironment());
    second.start(QStringLiteral(HALVEX_BINARY), {});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitCode(), 0);
    quint64 panel = 0;
    QTRY_VERIFY_WITH_TIMEOUT((panel = panelWindow()) != 0 && focusedWindow() == panel, 5000);
    QVERIFY2(waitForLog(QRegularExpression(QStringLiteral("activate window .* of the server")), 1, 5000),
             m_log.constData());
    xdotool({QStringLiteral("key"), QStringLiteral("b"), QStringLiteral("e"), QStringLiteral("t"),
             QStringLiteral("Return")});
    QTRY_COMPARE_WITH_TIMEOUT(targetText(), before + entries[1], 5000);
}

void tst_QuickPasteX11::pastesIntoAGtkWindow()
{
    // GTK stamps _NET_WM_USER_TIME on every key, as most applications do.
    const QString output = m_dir.filePath(QStringLiteral("gtk.txt"));
    const QString title = QStringLiteral("gtk paste target");
    auto gtk = startTool(QStringLiteral(GTK_PASTE_TARGET), {output, title});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(output + QStringLiteral(".focused")), 20000);
    const quint64 window
        = windowId(xdotool({QStringLiteral("search"), QStringLiteral("--name"), u"^"_qs + title + u"$"_qs}));
    QVERIFY(window != 0);
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window)});
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), window, 5000);
    // A key into the window first: its user time is now newer than
    // anything halvex has seen.
    xdotool({QStringLiteral("key"), QStringLiteral("x")});
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readFile(output)), u"x"_qs, 5000);
    xdotool({QStringLiteral("key"), hotkey, QStringLiteral("a"), QStringLiteral("l"), QStringLiteral("p"),
             QStringLiteral("Return")});
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readFile(output)), u"x"_qs + entries[0], 5000);
    QCOMPARE(QString::fromUtf8(readFile(output + QStringLiteral(".keys"))).split(u'\n', Qt::SkipEmptyParts),
             (QStringList {u"X"_qs, u"Ctrl+V"_qs}));
    gtk->kill();
    gtk->waitForFinished(5000);
}

QTEST_MAIN(tst_QuickPasteX11)
#include "tst_quickpaste_x11.moc"
