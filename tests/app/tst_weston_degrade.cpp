// Halvex on a compositor that offers none of what it needs beyond a window:
// weston, run headless, has no data control, no virtual keyboard, no fake
// input and no toplevel list. Halvex must start, say once why it records
// nothing, still open its panel on `halvex --toggle`, and neither crash nor
// spin.

#include "support/ProcessLog.h"
#include "support/SessionProbes.h"
#include "support/WaylandSession.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int timeoutMs = 15000;

// Processor time the process has used so far, in clock ticks.
qint64 cpuTicks(qint64 pid)
{
    const QByteArray line = fileContents(u"/proc/%1/stat"_qs.arg(pid));
    // Fields after the command name (which may hold blanks), from field 3 on.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : -1;
}

} // namespace

class tst_WestonDegrade : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        HALVEX_FIND_WAYLAND_SESSION_OR_SKIP(m_session);
        // A runtime folder of its own, as every Wayland session has.
        m_runtime = m_session->makeSharedDir();
        QVERIFY(
            QFile::setPermissions(m_runtime->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QProcessEnvironment env;
        env.insert(u"XDG_RUNTIME_DIR"_qs, m_runtime->path());
        env.insert(u"HOME"_qs, m_runtime->path());
        m_weston = std::make_unique<ProcessLog>(
            m_session->start(u"weston"_qs,
                             {u"--backend=headless-backend.so"_qs, u"--use-pixman"_qs,
                              u"--socket=halvex-weston"_qs, u"--idle-time=0"_qs},
                             env));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_runtime->filePath(u"halvex-weston"_qs)), timeoutMs);
        m_env = env;
        m_env.insert(u"WAYLAND_DISPLAY"_qs, u"halvex-weston"_qs);
        m_env.insert(u"SWAYSOCK"_qs, QString());
        m_env.insert(u"XDG_CONFIG_HOME"_qs, m_runtime->filePath(u"config"_qs));
        m_env.insert(u"QT_QPA_PLATFORM"_qs, u"wayland"_qs);
        m_env.insert(u"QT_LOGGING_RULES"_qs, u"halvex.app.debug=true"_qs);
    }

    void cleanupTestCase()
    {
        m_halvex.reset();
        m_weston.reset();
    }

    void diagnoseNamesWhatIsMissing()
    {
        std::unique_ptr<QProcess> diagnose
            = m_session->start(QStringLiteral(HALVEX_BINARY), {u"--diagnose"_qs}, m_env);
        QVERIFY(diagnose->waitForFinished(timeoutMs));
        QCOMPARE(diagnose->exitStatus(), QProcess::NormalExit);
        QCOMPARE(diagnose->exitCode(), 0);
        const QString out = QString::fromUtf8(diagnose->readAll());
        for (const char *line :
             {"platform: Wayland", "clipboard: none", "paste: none",
              "shortcut: compositor binding (halvex --toggle)", "panel: xdg-shell toplevel (app_id halvex)",
              "missing: background clipboard access", "missing: paste keystroke"})
            QVERIFY2(out.contains(QLatin1String(line)), qPrintable(out));
    }

    void startsSaysOnceWhyAndStillOpensThePanel()
    {
        m_halvex = std::make_unique<ProcessLog>(m_session->start(QStringLiteral(HALVEX_BINARY), {}, m_env));
        QVERIFY2(m_halvex->waitFor(u"halvex.app: ready"_qs), m_halvex->tail());
        const QString notice = u"offers no background clipboard access"_qs;
        QCOMPARE(m_halvex->count(notice), 1);

        std::unique_ptr<QProcess> toggle
            = m_session->start(QStringLiteral(HALVEX_BINARY), {u"--toggle"_qs}, m_env);
        QVERIFY(toggle->waitForFinished(timeoutMs));
        QCOMPARE(toggle->exitCode(), 0);
        QVERIFY2(m_halvex->waitFor(u"panel shown"_qs, 1, timeoutMs), m_halvex->tail());

        // Idle with nothing to watch: no busy loop, no crash.
        const qint64 before = cpuTicks(m_halvex->process()->processId());
        QTest::qWait(3000);
        const qint64 after = cpuTicks(m_halvex->process()->processId());
        QVERIFY(before >= 0 && after >= 0);
        QVERIFY2(after - before < 50, qPrintable(u"%1 ticks of CPU in 3 s"_qs.arg(after - before)));
        QCOMPARE(m_halvex->process()->state(), QProcess::Running);
        QCOMPARE(m_halvex->count(notice), 1);
    }

private:
    std::optional<WaylandSession> m_session;
    std::unique_ptr<QTemporaryDir> m_runtime;
    QProcessEnvironment m_env;
    std::unique_ptr<ProcessLog> m_weston;
    std::unique_ptr<ProcessLog> m_halvex;
};

QTEST_MAIN(tst_WestonDegrade)
#include "tst_weston_degrade.moc"
