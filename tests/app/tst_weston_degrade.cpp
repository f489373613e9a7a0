// Halvex on a compositor that offers none of what it needs beyond a window:
// weston, run headless, has no data control, no virtual keyboard, no fake
// input and no toplevel list. Halvex must start, say once why it records
// nothing, still open its panel on `halvex --toggle`, and neither crash nor
// spin.

#include "support/TestTools.h"
#include "support/WaylandSession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int timeoutMs = 15000;

// Processor time the process has used so far, in clock ticks.
qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name (which may hold blanks), from field 3 on.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : -1;
}

} // namespace

class tst_WestonDegrade : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void diagnoseNamesWhatIsMissing();
    void startsSaysOnceWhyAndStillOpensThePanel();

private:
    QProcessEnvironment halvexEnvironment() const;

    std::optional<WaylandSession> m_session;
    std::unique_ptr<QTemporaryDir> m_runtime;
    std::unique_ptr<QProcess> m_weston;
    std::unique_ptr<QProcess> m_halvex;
    QByteArray m_log;
};

void tst_WestonDegrade::initTestCase()
{
    QString whyNot;
    m_session = WaylandSession::find(&whyNot);
    if (!m_session)
        QSKIP(qPrintable(whyNot));
    // A runtime folder of its own, as every Wayland session has.
    m_runtime = m_session->makeSharedDir();
    QVERIFY(QFile::setPermissions(m_runtime->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcessEnvironment env;
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime->path());
    env.insert(QStringLiteral("HOME"), m_runtime->path());
    m_weston
        = m_session->start(QStringLiteral("weston"),
                           {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
                            QStringLiteral("--socket=halvex-weston"), QStringLiteral("--idle-time=0")},
                           env);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_runtime->filePath(QStringLiteral("halvex-weston"))), timeoutMs);
}

void tst_WestonDegrade::cleanupTestCase()
{
    for (QProcess *process : {m_halvex.get(), m_weston.get()}) {
        if (process) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
        }
    }
}

QProcessEnvironment tst_WestonDegrade::halvexEnvironment() const
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime->path());
    env.insert(QStringLiteral("HOME"), m_runtime->path());
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("halvex-weston"));
    env.insert(QStringLiteral("SWAYSOCK"), QString());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_runtime->filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("halvex.app.debug=true"));
    return env;
}

void tst_WestonDegrade::diagnoseNamesWhatIsMissing()
{
    std::unique_ptr<QProcess> diagnose = m_session->start(
        QStringLiteral(HALVEX_BINARY), {QStringLiteral("--diagnose")}, halvexEnvironment());
    QVERIFY(diagnose->waitForFinished(timeoutMs));
    QCOMPARE(diagnose->exitStatus(), QProcess::NormalExit);
    QCOMPARE(diagnose->exitCode(), 0);
    const QString out = QString::fromUtf8(diagnose->readAll());
    for (const char *line : {"platform: Wayland", "clipboard: none", "paste: none",
                             "shortcut: compositor binding (halvex --toggle)",
                             "missing: background clipboard access", "missing: paste keystroke"})
        QVERIFY2(out.contains(QLatin1String(line)), qPrintable(out));
}

void tst_WestonDegrade::startsSaysOnceWhyAndStillOpensThePanel()
{
    m_halvex = m_session->start(QStringLiteral(HALVEX_BINARY), {}, halvexEnvironment());
    connect(m_halvex.get(), &QProcess::readyRead, this, [this] { m_log += m_halvex->readAll(); });
    QTRY_VERIFY2_WITH_TIMEOUT(m_log.contains("halvex.app: ready"), m_log.constData(), 30000);
    QCOMPARE(m_log.count("offers no background clipboard access"), 1);

    std::unique_ptr<QProcess> toggle
        = m_session->start(QStringLiteral(HALVEX_BINARY), {QStringLiteral("--toggle")}, halvexEnvironment());
    QVERIFY(toggle->waitForFinished(timeoutMs));
    QCOMPARE(toggle->exitCode(), 0);
    QTRY_VERIFY2_WITH_TIMEOUT(m_log.contains("panel shown"), m_log.constData(), timeoutMs);

    // Idle with nothing to watch: no busy loop, no crash.
    const qint64 before = cpuTicks(m_halvex->processId());
    QTest::qWait(3000);
    const qint64 after = cpuTicks(m_halvex->processId());
    QVERIFY(before >= 0 && after >= 0);
    QVERIFY2(after - before < 50, qPrintable(QStringLiteral("%1 ticks of CPU in 3 s").arg(after - before)));
    QCOMPARE(m_halvex->state(), QProcess::Running);
    QCOMPARE(m_log.count("offers no background clipboard access"), 1);
}

QTEST_MAIN(tst_WestonDegrade)
#include "tst_weston_degrade.moc"
