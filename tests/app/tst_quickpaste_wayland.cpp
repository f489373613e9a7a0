// The whole quick-paste road on a Wayland compositor (headless sway) with
// real clients: halvex itself and FeatherPad (a Qt 5 editor on Wayland) run
// inside the session, copies are made with wl-copy, the panel is opened by a
// sway binding that runs `halvex --toggle`, keys are typed with wtype, and
// wl-paste reads what halvex serves.

#include "support/PngBytes.h"
#include "support/ProcessLog.h"
#include "support/SessionProbes.h"
#include "support/TestTools.h"
#include "support/WaylandSession.h"

#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList entries = {u"alpha one"_qs, u"beta two"_qs, u"gamma three"_qs};
constexpr int timeoutMs = 15000;
const QStringList hotkey
    = {u"-M"_qs, u"logo"_qs, u"-M"_qs, u"shift"_qs, u"v"_qs, u"-m"_qs, u"shift"_qs, u"-m"_qs, u"logo"_qs};

bool wtype(const QStringList &arguments)
{
    return runTool(u"wtype"_qs, arguments).ok();
}

// A picture of one word, large enough for the recogniser.
QByteArray wordPicture(const QString &word)
{
    QImage image(640, 160, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(u"DejaVu Sans"_qs);
    font.setPixelSize(64);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, word);
    painter.end();
    return pngBytes(image);
}

} // namespace

class tst_QuickPasteWayland : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        HALVEX_FIND_WAYLAND_SESSION_OR_SKIP(m_session);
        m_session->activate();
        m_dir = m_session->makeSharedDir();
        QVERIFY(m_dir->isValid());
        m_file = m_dir->filePath(u"notes.txt"_qs);
        // Closed before the editor opens it: the editor watches the file.
        {
            QFile file(m_file);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::setPermissions(m_file,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther
                                          | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup));
        QProcessEnvironment env;
        env.insert(u"XDG_CONFIG_HOME"_qs, m_dir->filePath(u"config"_qs));
        env.insert(u"QT_QPA_PLATFORM"_qs, u"wayland"_qs);

        m_editor = std::make_unique<ProcessLog>(m_session->start(u"featherpad"_qs, {m_file}, env));
        QTRY_COMPARE_WITH_TIMEOUT(m_session->focusedAppId(), u"featherpad"_qs, timeoutMs);
        QVERIFY(runTool(u"wl-copy"_qs, {u"present at launch"_qs}).ok());
        QTRY_COMPARE_WITH_TIMEOUT(runTool(u"wl-paste"_qs, {u"-n"_qs}).standardOutput,
                                  QByteArray("present at launch"), timeoutMs);

        QProcessEnvironment logged = env;
        logged.insert(
            u"QT_LOGGING_RULES"_qs,
            u"halvex.app.debug=true;halvex.clipboard.debug=true;halvex.clipboard.paste.debug=true"_qs);
        m_halvex = std::make_unique<ProcessLog>(m_session->start(QStringLiteral(HALVEX_BINARY), {}, logged));
        QVERIFY2(m_halvex->waitFor(u"ready"_qs, 1, 30000), m_halvex->tail());
        QVERIFY2(m_halvex->count(u"paste: virtual keyboard"_qs), m_halvex->tail());
        QVERIFY(
            m_session
                ->swaymsg({u"bindsym Mod4+Shift+v exec "_qs
                           + m_session->shellCommand(QStringLiteral(HALVEX_BINARY), {u"--toggle"_qs}, env)})
                .ok());
    }

    void cleanup()
    {
        if (QTest::currentTestFailed())
            qWarning().noquote() << "halvex said:\n" << m_halvex->tail();
    }

    void cleanupTestCase()
    {
        if (m_session)
            m_session->swaymsg({u"unbindsym Mod4+Shift+v"_qs});
        m_halvex.reset();
        m_editor.reset();
    }

    // Each copy is taken in before the next; the text present at launch, had
    // it been recorded, would put every count one ahead.
    void copiesAreCapturedButNotWhatWasThereAtLaunch()
    {
        QVERIFY(m_halvex->count(u"content present at start is not recorded"_qs));
        for (int captured = 1; captured <= entries.size(); ++captured) {
            QVERIFY(runTool(u"wl-copy"_qs, {entries[captured - 1]}).ok());
            QVERIFY2(m_halvex->waitFor(u"captured text"_qs, captured, timeoutMs), m_halvex->tail());
            QCOMPARE(m_halvex->count(u"captured text"_qs), captured);
        }
    }

    // The binding pressed again hides the panel and gives the editor the keyboard back.
    void bindingShowsPanelWithKeyboardFocus()
    {
        focusEditor();
        openPanel();
        QVERIFY(wtype(hotkey));
        QTRY_VERIFY_WITH_TIMEOUT(!m_session->hasWindow(u"halvex"_qs), timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_session->focusedAppId(), u"featherpad"_qs, timeoutMs);
    }

    void typingAndReturnPasteIntoTheEditor()
    {
        focusEditor();
        const int pastes = m_halvex->count(u"typed Ctrl\\+V"_qs);
        const int served = m_halvex->count(u"serving \\d+ bytes"_qs);
        openPanel();
        QVERIFY(wtype({u"beta"_qs}));
        QVERIFY(wtype({u"-k"_qs, u"Return"_qs}));
        QTRY_VERIFY_WITH_TIMEOUT(!m_session->hasWindow(u"halvex"_qs), timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_session->focusedAppId(), u"featherpad"_qs, timeoutMs);
        QVERIFY2(m_halvex->waitFor(u"typed Ctrl\\+V into \"featherpad\""_qs, pastes + 1, timeoutMs),
                 m_halvex->tail());
        // The editor has the text once Halvex served its read. Only then comes
        // Ctrl+S: wtype's new keyboard makes the compositor re-enter the focus,
        // which voids every clipboard offer whose read has not started yet.
        QVERIFY2(m_halvex->waitFor(u"serving \\d+ bytes"_qs, served + 1, timeoutMs), m_halvex->tail());
        // Saved with Ctrl+S, then read from the file once it changed.
        const QByteArray before = fileContents(m_file);
        wtype({u"-M"_qs, u"ctrl"_qs, u"s"_qs, u"-m"_qs, u"ctrl"_qs});
        QVERIFY(QTest::qWaitFor([&] { return fileContents(m_file) != before; }, timeoutMs));
        const QString text = QString::fromUtf8(fileContents(m_file));
        QVERIFY2(text.trimmed().endsWith(u"beta two"_qs), qPrintable(text));
        QCOMPARE(runTool(u"wl-paste"_qs, {u"-n"_qs}).standardOutput, QByteArray("beta two"));
    }

    void imageFoundByRecognisedWordGoesBackAsPng()
    {
        const int recognised = m_halvex->count(u"recognised text for"_qs);
        QVERIFY(runTool(u"wl-copy"_qs, {u"--type"_qs, u"image/png"_qs}, wordPicture(u"HARBOUR"_qs)).ok());
        QVERIFY2(m_halvex->waitFor(u"captured image"_qs, 1, timeoutMs), m_halvex->tail());
        QVERIFY2(m_halvex->waitFor(u"recognised text for"_qs, recognised + 1, 30000), m_halvex->tail());
        // Something else on the clipboard, so that the pick is what puts the image back.
        QVERIFY(runTool(u"wl-copy"_qs, {u"alpha one"_qs}).ok());
        QVERIFY(m_halvex->waitFor(u"repeats the newest entry|captured text"_qs, 4, timeoutMs));

        focusEditor();
        openPanel();
        QVERIFY(wtype({u"harbour"_qs}));
        QVERIFY(wtype({u"-k"_qs, u"Return"_qs}));
        QTRY_VERIFY_WITH_TIMEOUT(
            runTool(u"wl-paste"_qs, {u"--list-types"_qs}).standardOutput.split('\n').contains("image/png"),
            timeoutMs);
        const QImage served = QImage::fromData(
            runTool(u"wl-paste"_qs, {u"--type"_qs, u"image/png"_qs}).standardOutput, "PNG");
        QCOMPARE(served.size(), QSize(640, 160));
    }

private:
    void openPanel()
    {
        const int shown = m_halvex->count(u"panel has the keyboard"_qs);
        QVERIFY(wtype(hotkey));
        QVERIFY2(m_halvex->waitFor(u"panel has the keyboard"_qs, shown + 1, timeoutMs), m_halvex->tail());
        QTRY_COMPARE_WITH_TIMEOUT(m_session->focusedAppId(), u"halvex"_qs, timeoutMs);
        // Start from the whole list: the search survives hiding.
        QVERIFY(wtype({u"-M"_qs, u"ctrl"_qs, u"a"_qs, u"-m"_qs, u"ctrl"_qs, u"-k"_qs, u"BackSpace"_qs}));
    }

    void focusEditor()
    {
        if (m_session->hasWindow(u"halvex"_qs)) {
            wtype({u"-k"_qs, u"Escape"_qs});
            QTRY_VERIFY_WITH_TIMEOUT(!m_session->hasWindow(u"halvex"_qs), timeoutMs);
        }
        m_session->swaymsg({u"[app_id=featherpad] focus"_qs});
        QTRY_COMPARE_WITH_TIMEOUT(m_session->focusedAppId(), u"featherpad"_qs, timeoutMs);
    }

    std::optional<WaylandSession> m_session;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    std::unique_ptr<ProcessLog> m_editor;
    std::unique_ptr<ProcessLog> m_halvex;
};

QTEST_MAIN(tst_QuickPasteWayland)
#include "tst_quickpaste_wayland.moc"
