#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>

#include <memory>

class QLocalSocket;

// Keeps one Halvex per user session and display. The first instance listens
// on a local socket; a later launch finds it there, hands it a short message
// and is told to exit. A socket left behind by an instance that died is
// detected (nobody answers) and replaced. The check and the takeover happen
// under a lock file, so that two launches at the same moment cannot both
// become the first.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        Primary, // this process serves; messageReceived reports the others
        Secondary, // another instance runs and has been handed the message
        Unavailable, // neither worked (for example an unwritable directory)
    };
    Q_ENUM(Role)

    static constexpr int maxMessageSize = 256;

    // socketPath: a file system path, for example defaultSocketPath().
    explicit SingleInstance(QString socketPath, QObject *parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/halvex-<display>.socket; without XDG_RUNTIME_DIR a
    // name with the user id in the temporary directory. The display part
    // comes from DISPLAY (or WAYLAND_DISPLAY), reduced to safe characters.
    static QString defaultSocketPath();

    const QString &socketPath() const { return m_socketPath; }

    // Becomes the serving instance, or hands message to the one that serves.
    // Waits at most timeoutMs for the lock and for the other instance.
    Role claim(const QByteArray &message, int timeoutMs = 3000);

    // Only the second half of claim(): hands message to a serving instance
    // if there is one. Needs no event loop, so that a second launch can end
    // before it connects to the display.
    bool handOver(const QByteArray &message, int timeoutMs = 3000);

Q_SIGNALS:
    // One message (without its line end) from a later launch.
    void messageReceived(const QByteArray &message);

private:
    bool sendTo(const QByteArray &message, int timeoutMs);
    bool listen();
    void acceptConnections();
    void readMessage(QLocalSocket *socket);

    QString m_socketPath;
    std::unique_ptr<QLocalServer> m_server;
};
