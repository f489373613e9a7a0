#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <memory>

// A program under test with what it has printed on both channels so far,
// collected while the event loop runs. Ends the program (terminate, then
// kill) when it goes away.
class ProcessLog
{
public:
    // Takes over process, started or not (a process not yet started gets its
    // channels merged).
    explicit ProcessLog(std::unique_ptr<QProcess> process);
    ~ProcessLog();
    ProcessLog(const ProcessLog &) = delete;
    ProcessLog &operator=(const ProcessLog &) = delete;

    // Starts program with env.
    static std::unique_ptr<ProcessLog> start(const QString &program, const QProcessEnvironment &env,
                                             const QStringList &arguments = {});

    QProcess *process() const { return m_process.get(); }
    QString text() const { return QString::fromUtf8(m_log); }
    // The last lines, for failure messages.
    QByteArray tail() const { return m_log.right(6000); }
    // How often the regular expression pattern matches.
    int count(const QString &pattern) const;
    // Waits until pattern has matched count times.
    bool waitFor(const QString &pattern, int count = 1, int timeoutMs = 30000);

private:
    std::unique_ptr<QProcess> m_process;
    QByteArray m_log;
};
