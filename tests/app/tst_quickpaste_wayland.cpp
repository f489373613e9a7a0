// The whole quick-paste road on a Wayland compositor (headless sway) with
// real clients: halvex itself and FeatherPad (a Qt 5 editor on Wayland) run
// inside the session, copies are made with wl-copy, the panel is opened by a
// sway binding that runs `halvex --toggle`, keys are typed with wtype, and
// wl-paste reads what halvex serves.

#include "support/TestTools.h"
#include "support/WaylandSession.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList entries
    = {QStringLiteral("alpha one"), QStringLiteral("beta two"), QStringLiteral("gamma three")};
constexpr int timeoutMs = 15000;

ToolResult wtype(const QStringList &arguments)
{
    return runTool(QStringLiteral("wtype"), arguments);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A picture of one word, large enough for the recogniser.
QByteArray wordPicture(const QString &word)
{
    QImage image(640, 160, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(64);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, word);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class tst_QuickPasteWayland : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void copiesAreCapturedButNotWhatWasThereAtLaunch();
    void bindingShowsPanelWithKeyboardFocus();
    void typingAndReturnPasteIntoTheEditor();
    void imageFoundByRecognisedWordGoesBackAsPng();

private:
    int logCount(const QString &pattern) const
    {
        return QString::fromUtf8(m_log).count(QRegularExpression(pattern));
    }
    bool waitForLog(const QString &pattern, int count, int ms = timeoutMs);
    void openPanel();
    void focusEditor();
    QString editorText();

    std::optional<WaylandSession> m_session;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    std::unique_ptr<QProcess> m_editor;
    std::unique_ptr<QProcess> m_halvex;
    QByteArray m_log;
};

void tst_QuickPasteWayland::initTestCase()
{
    QString whyNot;
    m_session = WaylandSession::find(&whyNot);
    if (!m_session)
        QSKIP(qPrintable(whyNot));
    m_session->activate();
    m_dir = m_session->makeSharedDir();
    QVERIFY(m_dir->isValid());
    m_file = m_dir->filePath(QStringLiteral("notes.txt"));
    {
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::setPermissions(m_file,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther
                                      | QFile::ReadGroup | QFile::WriteGroup));
    QProcessEnvironment env;
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));

    m_editor = m_session->start(QStringLiteral("featherpad"), {m_file}, env);
    QTRY_COMPARE_WITH_TIMEOUT(m_session->focusedAppId(), QStringLiteral("featherpad"), timeoutMs);

    QVERIFY(runTool(QStringLiteral("wl-copy"), {QStringLiteral("present at launch")}).ok());
    QTRY_COMPARE_WITH_TIMEOUT(runTool(QStringLiteral("wl-paste"), {QStringLiteral("-n")}).standardOutput,
                              QByteArray("present at launch"), timeoutMs);

    QProcessEnvironment logged = env;
    logged.insert(QStringLiteral("QT_LOGGING_RULES"),
                  QStringLiteral(
                      "halvex.app.debug=true;halvex.clipboard.debug=true;halvex.clipboard.paste.debug=true"));
    m_halvex = m_session->start(QStringLiteral(HALVEX_BINARY), {}, logged);
    connect(m_halvex.get(), &QProcess::readyRead, this, [this] { m_log += m_halvex->readAll(); });
    QVERIFY2(waitForLog(QStringLiteral("ready"), 1, 30000), m_log.constData());
    QVERIFY2(m_log.contains("paste: virtual keyboard"), m_log.constData());
    QVERIFY(m_session
                ->swaymsg({QStringLiteral("bindsym Mod4+Shift+v exec ")
                           + m_session->shellCommand(QStringLiteral(HALVEX_BINARY),
                                                     {QStringLiteral("--toggle")}, env)})
                .ok());
}

void tst_QuickPasteWayland::cleanup()
{
    if (QTest::currentTestFailed())
        qWarning().noquote() << "halvex said:\n" << QString::fromUtf8(m_log.right(6000));
}

void tst_QuickPasteWayland::cleanupTestCase()
{
    if (m_session)
        m_session->swaymsg({QStringLiteral("unbindsym Mod4+Shift+v")});
    for (QProcess *process : {m_halvex.get(), m_editor.get()}) {
        if (process) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
        }
    }
}

bool tst_QuickPasteWayland::waitForLog(const QString &pattern, int count, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (logCount(pattern) >= count)
            return true;
        QTest::qWait(20);
    }
    return false;
}

void tst_QuickPasteWayland::openPanel()
{
    const int shown = logCount(QStringLiteral("panel has the keyboard"));
    QVERIFY(wtype({QStringLiteral("-M"), QStringLiteral("logo"), QStringLiteral("-M"),
                   QStringLiteral("shift"), QStringLiteral("v"), QStringLiteral("-m"),
                   QStringLiteral("shift"), QStringLiteral("-m"), QStringLiteral("logo")})
                .ok());
    QVERIFY2(waitForLog(QStringLiteral("panel has the keyboard"), shown + 1), m_log.constData());
    QTRY_COMPARE_WITH_TIMEOUT(m_session->focusedAppId(), QStringLiteral("halvex"), timeoutMs);
    // Start from the whole list: the search survives hiding.
    QVERIFY(wtype({QStringLiteral("-M"), QStringLiteral("ctrl"), QStringLiteral("a"), QStringLiteral("-m"),
                   QStringLiteral("ctrl"), QStringLiteral("-k"), QStringLiteral("BackSpace")})
                .ok());
}

void tst_QuickPasteWayland::focusEditor()
{
    if (m_session->hasWindow(QStringLiteral("halvex"))) {
        wtype({QStringLiteral("-k"), QStringLiteral("Escape")});
        QTRY_VERIFY_WITH_TIMEOUT(!m_session->hasWindow(QStringLiteral("halvex")), timeoutMs);
    }
    m_session->swaymsg({QStringLiteral("[app_id=featherpad] focus")});
    QTRY_COMPARE_WITH_TIMEOUT(m_session->focusedAppId(), QStringLiteral("featherpad"), timeoutMs);
}

QString tst_QuickPasteWayland::editorText()
{
    // Saved with Ctrl+S, then read from the file once it changed.
    const QByteArray before = readFile(m_file);
    wtype({QStringLiteral("-M"), QStringLiteral("ctrl"), QStringLiteral("s"), QStringLiteral("-m"),
           QStringLiteral("ctrl")});
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired() && readFile(m_file) == before)
        QTest::qWait(50);
    return QString::fromUtf8(readFile(m_file));
}

void tst_QuickPasteWayland::copiesAreCapturedButNotWhatWasThereAtLaunch()
{
    QVERIFY(m_log.contains("content present at start is not recorded"));
    // Each copy is taken in before the next; the text present at launch, had
    // it been recorded, would put every count one ahead.
    int captured = 0;
    for (const QString &text : entries) {
        QVERIFY(runTool(QStringLiteral("wl-copy"), {text}).ok());
        ++captured;
        QVERIFY2(waitForLog(QStringLiteral("captured text"), captured), m_log.constData());
        QCOMPARE(logCount(QStringLiteral("captured text")), captured);
    }
}

void tst_QuickPasteWayland::bindingShowsPanelWithKeyboardFocus()
{
    focusEditor();
    openPanel();
    // Pressing the binding again hides the panel and the editor has the keyboard again.
    QVERIFY(wtype({QStringLiteral("-M"), QStringLiteral("logo"), QStringLiteral("-M"),
                   QStringLiteral("shift"), QStringLiteral("v"), QStringLiteral("-m"),
                   QStringLiteral("shift"), QStringLiteral("-m"), QStringLiteral("logo")})
                .ok());
    QTRY_VERIFY_WITH_TIMEOUT(!m_session->hasWindow(QStringLiteral("halvex")), timeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_session->focusedAppId(), QStringLiteral("featherpad"), timeoutMs);
}

void tst_QuickPasteWayland::typingAndReturnPasteIntoTheEditor()
{
    focusEditor();
    const int pastes = logCount(QStringLiteral("typed Ctrl\\+V"));
    openPanel();
    QVERIFY(wtype({QStringLiteral("beta")}).ok());
    QVERIFY(wtype({QStringLiteral("-k"), QStringLiteral("Return")}).ok());
    QTRY_VERIFY_WITH_TIMEOUT(!m_session->hasWindow(QStringLiteral("halvex")), timeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_session->focusedAppId(), QStringLiteral("featherpad"), timeoutMs);
    QVERIFY2(waitForLog(QStringLiteral("typed Ctrl\\+V into \"featherpad\""), pastes + 1), m_log.constData());
    const QString text = editorText();
    // FeatherPad ends the file with a line feed when it saves.
    QVERIFY2(text.trimmed().endsWith(QStringLiteral("beta two")), qPrintable(text));
    // What halvex now serves as the clipboard.
    QCOMPARE(runTool(QStringLiteral("wl-paste"), {QStringLiteral("-n")}).standardOutput,
             QByteArray("beta two"));
}

void tst_QuickPasteWayland::imageFoundByRecognisedWordGoesBackAsPng()
{
    const int recognised = logCount(QStringLiteral("recognised text for"));
    const QByteArray picture = wordPicture(QStringLiteral("HARBOUR"));
    QVERIFY(
        runTool(QStringLiteral("wl-copy"), {QStringLiteral("--type"), QStringLiteral("image/png")}, picture)
            .ok());
    QVERIFY2(waitForLog(QStringLiteral("captured image"), 1), m_log.constData());
    QVERIFY2(waitForLog(QStringLiteral("recognised text for"), recognised + 1, 30000), m_log.constData());
    // Something else on the clipboard, so that the pick is what puts the image back.
    QVERIFY(runTool(QStringLiteral("wl-copy"), {QStringLiteral("alpha one")}).ok());
    QVERIFY(waitForLog(QStringLiteral("repeats the newest entry|captured text"), 4));

    focusEditor();
    openPanel();
    QVERIFY(wtype({QStringLiteral("harbour")}).ok());
    QVERIFY(wtype({QStringLiteral("-k"), QStringLiteral("Return")}).ok());
    QTRY_VERIFY_WITH_TIMEOUT(runTool(QStringLiteral("wl-paste"), {QStringLiteral("--list-types")})
                                 .standardOutput.split('\n')
                                 .contains("image/png"),
                             timeoutMs);
    const QImage served = QImage::fromData(
        runTool(QStringLiteral("wl-paste"), {QStringLiteral("--type"), QStringLiteral("image/png")})
            .standardOutput,
        "PNG");
    QCOMPARE(served.size(), QSize(640, 160));
}

QTEST_MAIN(tst_QuickPasteWayland)
#include "tst_quickpaste_wayland.moc"
