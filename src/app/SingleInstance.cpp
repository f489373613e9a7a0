#include "app/SingleInstance.h"

#include "app/AppLogging.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <unistd.h>

namespace {

// A message must arrive this soon after connecting; a client that connects
// and says nothing is dropped.
constexpr int messageTimeoutMs = 2000;

QString safeName(QString name)
{
    for (QChar &c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'.' && c != u'-' && c != u'_')
            c = u'_';
    }
    return name.left(64);
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
{ }

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close(); // removes the socket file
}

QString SingleInstance::defaultSocketPath()
{
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = QStringLiteral("nodisplay");
    const QString name = QStringLiteral("halvex-%1.socket").arg(safeName(display));

    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && QFileInfo(runtimeDir).isDir())
        return QDir(runtimeDir).filePath(name);
    return QDir(QDir::tempPath()).filePath(QStringLiteral("halvex-%1-%2").arg(uint(getuid())).arg(name));
}

SingleInstance::Role SingleInstance::claim(const QByteArray &message, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLockFile lock(m_socketPath + QStringLiteral(".lock"));
    lock.setStaleLockTime(0); // stale only when its process is gone
    if (!lock.tryLock(timeoutMs)) {
        qCWarning(lcApp) << "cannot take the instance lock" << lock.fileName() << lock.error();
        // Someone holds it for long: try to reach a running instance anyway.
        return sendTo(message, int(deadline.remainingTime())) ? Role::Secondary : Role::Unavailable;
    }

    if (QFileInfo::exists(m_socketPath)) {
        if (sendTo(message, qMax(int(deadline.remainingTime()), 500)))
            return Role::Secondary;
        // Nobody answers: the instance that made it is gone.
        qCInfo(lcApp) << "replacing a stale instance socket" << m_socketPath;
        QLocalServer::removeServer(m_socketPath);
    }
    return listen() ? Role::Primary : Role::Unavailable;
}

bool SingleInstance::handOver(const QByteArray &message, int timeoutMs)
{
    return QFileInfo::exists(m_socketPath) && sendTo(message, timeoutMs);
}

bool SingleInstance::sendTo(const QByteArray &message, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(message.left(maxMessageSize - 1) + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The server closes the connection once it has read the message.
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen()
{
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        qCWarning(lcApp) << "cannot listen on" << m_socketPath << m_server->errorString();
        m_server.reset();
        return false;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        socket->setReadBufferSize(maxMessageSize);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessage(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(messageTimeoutMs, socket, [socket] { socket->abort(); });
        readMessage(socket);
    }
}

void SingleInstance::readMessage(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() >= maxMessageSize - 1)
            socket->abort(); // too long to be one of ours
        return;
    }
    QByteArray message = socket->readLine(maxMessageSize);
    message = message.trimmed();
    socket->disconnectFromServer();
    Q_EMIT messageReceived(message);
}
