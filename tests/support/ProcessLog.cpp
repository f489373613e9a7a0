#include "support/ProcessLog.h"

#include <QRegularExpression>
#include <QTest>

ProcessLog::ProcessLog(std::unique_ptr<QProcess> process)
    : m_process(std::move(process))
{
    if (m_process->state() == QProcess::NotRunning)
        m_process->setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(m_process.get(), &QProcess::readyRead, m_process.get(),
                     [this] { m_log += m_process->readAll(); });
}

ProcessLog::~ProcessLog()
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(5000)) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

std::unique_ptr<ProcessLog> ProcessLog::start(const QString &program, const QProcessEnvironment &env,
                                              const QStringList &arguments)
{
    auto log = std::make_unique<ProcessLog>(std::make_unique<QProcess>());
    log->m_process->setProcessEnvironment(env);
    log->m_process->start(program, arguments);
    log->m_process->waitForStarted(10000);
    return log;
}

int ProcessLog::count(const QString &pattern) const
{
    return int(text().count(QRegularExpression(pattern)));
}

bool ProcessLog::waitFor(const QString &pattern, int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return this->count(pattern) >= count; }, timeoutMs);
}
