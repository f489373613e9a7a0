// The whole quick-paste road against real X clients: halvex itself as a
// child process, texts copied with xclip, the hotkey and typing sent with
// xdotool (XTest), and a Qt text window (once a GTK one) as the application
// the user works in.

#include "support/ProcessLog.h"
#include "support/SessionProbes.h"
#include "support/TestTools.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString hotkey = u"super+shift+v"_qs;
const QStringList entries = {u"alpha one"_qs, u"beta two"_qs, u"gamma three"_qs};

quint64 focusedWindow()
{
    return runTool(u"xdotool"_qs, {u"getwindowfocus"_qs}).standardOutput.trimmed().toULongLong();
}

quint64 panelWindow()
{
    return xdotoolSearch({u"--onlyvisible"_qs, u"--name"_qs, u"^Halvex$"_qs}).value(0);
}

} // namespace

class tst_QuickPasteX11 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_output = m_dir.filePath(u"target.txt"_qs);
        m_target = startTool(QStringLiteral(PASTE_TARGET_BINARY), {m_output});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_output + u".focused"_qs), 15000);
        m_targetWindow = xdotoolSearch({u"--name"_qs, u"^paste target$"_qs}).value(0);
        QVERIFY(m_targetWindow != 0);

        m_halvex = ProcessLog::start(QStringLiteral(HALVEX_BINARY), halvexX11Environment(m_dir.path()));
        QVERIFY2(m_halvex->waitFor(u"ready"_qs, 1, 20000), m_halvex->tail());
        // There is no tray in this session: said (once, see below), and halvex runs on.
        QVERIFY2(m_halvex->waitFor(u"no system tray found"_qs, 1, 20000), m_halvex->tail());
        // Three copies, each taken in before the next.
        for (int captured = 1; captured <= entries.size(); ++captured) {
            QVERIFY(xclipCopy(entries[captured - 1].toUtf8()));
            QVERIFY2(m_halvex->waitFor(u"captured text"_qs, captured, 10000), m_halvex->tail());
        }
    }

    void init()
    {
        QCOMPARE(m_halvex->process()->state(), QProcess::Running);
        if (panelWindow() != 0) {
            xdotoolKeys({u"Escape"_qs});
            QTRY_COMPARE_WITH_TIMEOUT(panelWindow(), quint64(0), 5000);
        }
        runTool(u"xdotool"_qs, {u"windowactivate"_qs, u"--sync"_qs, QString::number(m_targetWindow)});
        QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), m_targetWindow, 5000);
    }

    void cleanup()
    {
        if (QTest::currentTestFailed())
            qWarning().noquote() << "halvex said:\n" << QString::fromUtf8(m_halvex->tail());
    }

    // Each way of picking a row pastes it into the window the user came from.
    void pickPastesIntoTheTarget_data()
    {
        QTest::addColumn<QStringList>("keys"); // after the panel opened; empty: click the last row
        QTest::addColumn<int>("entry");
        // Whatever was searched last is selected: typing replaces it.
        QTest::newRow("search and Return") << QStringList {u"e"_qs, u"t"_qs, u"a"_qs, u"Return"_qs} << 1;
        // Rows are newest first: the second row is the second-newest copy.
        QTest::newRow("Ctrl+digit") << QStringList {u"ctrl+a"_qs, u"BackSpace"_qs, u"ctrl+2"_qs} << 1;
        QTest::newRow("click") << QStringList() << 0;
    }

    void pickPastesIntoTheTarget()
    {
        QFETCH(QStringList, keys);
        QFETCH(int, entry);
        const QString before = targetText();
        openPanel();
        if (keys.isEmpty()) {
            // The row before cleared the search: the whole list, centred on
            // the screen of scripts/xvfb-session (1280x800).
            const QRect geometry = xdotoolGeometry(panelWindow());
            QCOMPARE(geometry.width(), 450);
            QVERIFY2(qAbs(geometry.center().x() - 640) <= 1 && qAbs(geometry.center().y() - 400) <= 1,
                     qPrintable(QDebug::toString(geometry)));
            QVERIFY(xdotoolKeys({u"ctrl+a"_qs, u"BackSpace"_qs}));
            // With three rows the last one sits just above the list's bottom
            // padding of 8 pixels; rows are 36 high.
            QVERIFY(xdotoolClick(QPoint(geometry.center().x(), geometry.bottom() + 1 - 8 - 18)));
        } else {
            QVERIFY(xdotoolKeys(keys));
        }
        QTRY_COMPARE_WITH_TIMEOUT(targetText(), before + entries[entry], 5000);
        QCOMPARE(panelWindow(), quint64(0));
        QCOMPARE(focusedWindow(), m_targetWindow);
        runTool(u"xdotool"_qs, {u"mousemove"_qs, u"0"_qs, u"0"_qs});
    }

    // Escape, or the hotkey again, hides the panel and pastes nothing.
    void dismissPastesNothing_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("Escape") << u"Escape"_qs;
        QTest::newRow("hotkey again") << hotkey;
    }

    void dismissPastesNothing()
    {
        QFETCH(QString, key);
        const QString before = targetText();
        const qsizetype keysBefore = targetKeys().size();
        openPanel();
        QVERIFY(xdotoolKeys({key}));
        QTRY_COMPARE_WITH_TIMEOUT(panelWindow(), quint64(0), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), m_targetWindow, 5000);
        QTest::qWait(500); // a paste would arrive 100 ms after the pick
        QCOMPARE(targetText(), before);
        QCOMPARE(targetKeys().size(), keysBefore);
    }

    void roundsTypedAtOnceBackToBackAllLand()
    {
        // A quick user: the hotkey, the search and Return in one go (xdotool's
        // 12 ms between keys), the next round as soon as the paste landed,
        // well within the 400 ms in which Qt still counts the panel as active
        // from the round before.
        const QList<int> order {2, 0, 1, 2, 0, 1};
        const qsizetype keysBefore = targetKeys().size();
        QString expected = targetText();
        for (int entry : order) {
            const QString &text = entries[entry];
            QVERIFY(xdotoolKeys({hotkey, text.left(1), text.mid(1, 1), text.mid(2, 1), u"Return"_qs}));
            expected += text;
            QTRY_COMPARE_WITH_TIMEOUT(targetText(), expected, 5000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(panelWindow(), quint64(0), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), m_targetWindow, 5000);
        // The target saw nothing but the paste chords: no typed key leaked.
        QCOMPARE(targetKeys().mid(keysBefore), QStringList(order.size(), u"Ctrl+V"_qs));
    }

    void secondLaunchOpensThePanelWithTheKeyboard()
    {
        const QString before = targetText();
        QCOMPARE(runToEnd(QStringLiteral(HALVEX_BINARY), m_halvex->process()->processEnvironment()), 0);
        quint64 panel = 0;
        QTRY_VERIFY_WITH_TIMEOUT((panel = panelWindow()) != 0 && focusedWindow() == panel, 5000);
        QVERIFY2(m_halvex->waitFor(u"activate window .* of the server"_qs, 1, 5000), m_halvex->tail());
        QVERIFY(xdotoolKeys({u"b"_qs, u"e"_qs, u"t"_qs, u"Return"_qs}));
        QTRY_COMPARE_WITH_TIMEOUT(targetText(), before + entries[1], 5000);
        QCOMPARE(m_halvex->count(u"no system tray found"_qs), 1);
    }

    void pastesIntoAGtkWindow()
    {
        // GTK stamps _NET_WM_USER_TIME on every key, as most applications do.
        const QString output = m_dir.filePath(u"gtk.txt"_qs);
        auto gtk = startTool(QStringLiteral(GTK_PASTE_TARGET), {output, u"gtk paste target"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(output + u".focused"_qs), 20000);
        const quint64 window = xdotoolSearch({u"--name"_qs, u"^gtk paste target$"_qs}).value(0);
        QVERIFY(window != 0);
        runTool(u"xdotool"_qs, {u"windowactivate"_qs, u"--sync"_qs, QString::number(window)});
        QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), window, 5000);
        // A key into the window first: its user time is now newer than
        // anything halvex has seen.
        QVERIFY(xdotoolKeys({u"x"_qs}));
        QTRY_COMPARE_WITH_TIMEOUT(fileContents(output), QByteArray("x"), 5000);
        QVERIFY(xdotoolKeys({hotkey, u"a"_qs, u"l"_qs, u"p"_qs, u"Return"_qs}));
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(fileContents(output)), u"x"_qs + entries[0], 5000);
        QCOMPARE(QString::fromUtf8(fileContents(output + u".keys"_qs)).split(u'\n', Qt::SkipEmptyParts),
                 (QStringList {u"X"_qs, u"Ctrl+V"_qs}));
        gtk->kill();
        gtk->waitForFinished(5000);
    }

private:
    void openPanel()
    {
        QVERIFY(xdotoolKeys({hotkey}));
        quint64 panel = 0;
        QTRY_VERIFY_WITH_TIMEOUT((panel = panelWindow()) != 0 && focusedWindow() == panel, 5000);
    }
    QString targetText() const { return QString::fromUtf8(fileContents(m_output)); }
    QStringList targetKeys() const
    {
        return QString::fromUtf8(fileContents(m_output + u".keys"_qs)).split(u'\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir m_dir;
    QString m_output;
    std::unique_ptr<QProcess> m_target;
    std::unique_ptr<ProcessLog> m_halvex;
    quint64 m_targetWindow = 0;
};

QTEST_MAIN(tst_QuickPasteX11)
#include "tst_quickpaste_x11.moc"
