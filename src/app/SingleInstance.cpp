#include "app/SingleInstance.h"

#include "app/AppLogging.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QByteArray okReply = QByteArrayLiteral("ok\n");
const QByteArray busyReply = QByteArrayLiteral("busy\n");
constexpr int listenBacklog = 64;
constexpr int retryDelayMs = 25;

QString safeName(QString name)
{
    for (QChar &c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'.' && c != u'-' && c != u'_')
            c = u'_';
    }
    return name.left(64);
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes a descriptor on every path out of a scope, unless released.
class FdGuard
{
public:
    explicit FdGuard(int fd)
        : m_fd(fd)
    { }
    ~FdGuard()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FdGuard(const FdGuard &) = delete;
    FdGuard &operator=(const FdGuard &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

bool toAddress(const QString &path, sockaddr_un *address)
{
    const QByteArray native = QFile::encodeName(path);
    *address = {};
    address->sun_family = AF_UNIX;
    if (native.isEmpty() || size_t(native.size()) >= sizeof(address->sun_path))
        return false;
    std::memcpy(address->sun_path, native.constData(), size_t(native.size()));
    return true;
}

// The user id of the process at the other end of a connected local socket.
std::optional<uid_t> peerUid(int fd)
{
    ucred credentials {};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return std::nullopt;
    return credentials.uid;
}

// Waits for events on fd until the deadline; false on timeout or error.
bool waitFor(int fd, short events, const QDeadlineTimer &deadline)
{
    for (;;) {
        pollfd p {fd, events, 0};
        const int ready
            = ::poll(&p, 1, int(qBound<qint64>(qint64(0), deadline.remainingTime(), qint64(60000))));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

// One connected launch. Its notifier and timer are children of holder,
// which goes with deleteLater(): a client is dropped from inside their
// signals.
struct SingleInstance::Client
{
    int fd = -1;
    QByteArray buffer;
    QObject *holder = nullptr;
    QSocketNotifier *notifier = nullptr;
    QTimer *timeout = nullptr;
};

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
{
    m_acceptRetry.setSingleShot(true);
    m_acceptRetry.setInterval(100);
    connect(&m_acceptRetry, &QTimer::timeout, this, [this] {
        if (m_acceptNotifier)
            m_acceptNotifier->setEnabled(true);
    });
}

SingleInstance::~SingleInstance()
{
    stopListening();
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
    const QString privateDir
        = QDir(QDir::tempPath()).filePath(QStringLiteral("halvex-%1").arg(uint(getuid())));
    return QDir(privateDir).filePath(name);
}

QString SingleInstance::unsafeDirectoryReason(const QString &path, bool create)
{
    const QString dir = QFileInfo(path).path();
    const QByteArray native = QFile::encodeName(dir);
    if (create && ::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("cannot create %1: %2").arg(dir, errnoText(errno));
    struct stat info = {};
    if (::lstat(native.constData(), &info) != 0)
        return QStringLiteral("cannot examine %1: %2").arg(dir, errnoText(errno));
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("%1 is a symbolic link").arg(dir);
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is not a directory").arg(dir);
    if (info.st_uid != getuid())
        return QStringLiteral("%1 belongs to another user (uid %2)").arg(dir).arg(uint(info.st_uid));
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("%1 can be written by other users (mode %2)")
            .arg(dir)
            .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

bool SingleInstance::isValidMessage(const QByteArray &message)
{
    if (message.isEmpty() || message.size() >= maxMessageSize)
        return false;
    return std::all_of(message.begin(), message.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

SingleInstance::Role SingleInstance::claim(const QByteArray &message, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    m_error.clear();
    if (const QString unsafe = unsafeDirectoryReason(m_socketPath, true); !unsafe.isEmpty()) {
        m_error = QStringLiteral("not using the directory for the instance socket: %1 (remove it, or set "
                                 "XDG_RUNTIME_DIR to a directory only you can write to)")
                      .arg(unsafe);
        return Role::Refused;
    }

    // The kernel drops the lock with its holder, so a crashed launch never
    // leaves a stale one behind.
    const QByteArray lockPath = QFile::encodeName(m_socketPath + QStringLiteral(".lock"));
    FdGuard lock(::open(lockPath.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (lock.get() < 0) {
        m_error = QStringLiteral("cannot open the instance lock %1: %2")
                      .arg(QFile::decodeName(lockPath), errnoText(errno));
        return Role::Unavailable;
    }
    while (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_error = QStringLiteral("cannot take the instance lock: %1").arg(errnoText(errno));
            return Role::Unavailable;
        }
        if (deadline.hasExpired()) {
            // Someone holds it for long: try to reach a running instance anyway.
            if (sendTo(message, 1000) == Delivery::Delivered)
                return Role::Secondary;
            m_error = QStringLiteral("another launch holds the instance lock");
            return Role::Refused;
        }
        QThread::msleep(retryDelayMs);
    }

    struct stat info = {};
    if (::lstat(QFile::encodeName(m_socketPath).constData(), &info) == 0) {
        switch (sendTo(message, int(qMax<qint64>(deadline.remainingTime(), 1000)))) {
        case Delivery::Delivered:
            return Role::Secondary;
        case Delivery::Unanswered:
            m_error = QStringLiteral("a running Halvex did not answer on %1").arg(m_socketPath);
            return Role::Refused;
        case Delivery::Foreign:
            qCWarning(lcApp) << "replacing an instance socket of another user" << m_socketPath;
            break;
        case Delivery::NoServer:
            // Nobody answers: the instance that made it is gone.
            qCInfo(lcApp) << "replacing a stale instance socket" << m_socketPath;
            break;
        }
        if (::unlink(QFile::encodeName(m_socketPath).constData()) != 0 && errno != ENOENT) {
            m_error = QStringLiteral("cannot remove %1: %2").arg(m_socketPath, errnoText(errno));
            return Role::Refused;
        }
    }
    return listen() ? Role::Primary : Role::Unavailable;
}

bool SingleInstance::handOver(const QByteArray &message, int timeoutMs)
{
    if (!unsafeDirectoryReason(m_socketPath, false).isEmpty())
        return false;
    return sendTo(message, timeoutMs) == Delivery::Delivered;
}

SingleInstance::Delivery SingleInstance::sendTo(const QByteArray &message, int timeoutMs) const
{
    if (!isValidMessage(message))
        return Delivery::Unanswered;
    sockaddr_un address;
    if (!toAddress(m_socketPath, &address))
        return Delivery::NoServer;
    const QByteArray line = message + '\n';
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        FdGuard fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (fd.get() < 0)
            return Delivery::NoServer;
        if (::connect(fd.get(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            // A full backlog: the server is there but has not caught up yet.
            const bool busy = errno == EAGAIN || errno == EINTR;
            if (!busy)
                return Delivery::NoServer;
            if (deadline.hasExpired())
                return Delivery::Unanswered;
            QThread::msleep(retryDelayMs);
            continue;
        }
        const std::optional<uid_t> uid = peerUid(fd.get());
        if (!uid || *uid != getuid())
            return Delivery::Foreign;
        qsizetype written = 0;
        while (written < line.size()) {
            if (!waitFor(fd.get(), POLLOUT, deadline))
                return Delivery::Unanswered;
            const ssize_t n
                = ::send(fd.get(), line.constData() + written, size_t(line.size() - written), MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                break; // the server hung up on us: read what it said
            written += qMax<ssize_t>(n, 0);
        }
        QByteArray reply;
        while (!reply.contains('\n') && reply.size() < 16 && waitFor(fd.get(), POLLIN, deadline)) {
            char chunk[16];
            const ssize_t n = ::recv(fd.get(), chunk, sizeof chunk, 0);
            if (n == 0)
                break;
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR)
                    continue;
                break;
            }
            reply.append(chunk, n);
        }
        if (reply == okReply)
            return Delivery::Delivered;
        if (reply != busyReply || deadline.hasExpired())
            return Delivery::Unanswered;
        QThread::msleep(retryDelayMs);
    }
}

bool SingleInstance::listen()
{
    sockaddr_un address;
    if (!toAddress(m_socketPath, &address)) {
        m_error = QStringLiteral("the socket path is too long: %1").arg(m_socketPath);
        return false;
    }
    FdGuard fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.get() < 0 || ::bind(fd.get(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        m_error = QStringLiteral("cannot listen on %1: %2").arg(m_socketPath, errnoText(errno));
        return false;
    }
    const QByteArray native = QFile::encodeName(m_socketPath);
    struct stat info = {};
    if (::chmod(native.constData(), 0600) != 0 || ::lstat(native.constData(), &info) != 0
        || ::listen(fd.get(), listenBacklog) != 0) {
        m_error = QStringLiteral("cannot listen on %1: %2").arg(m_socketPath, errnoText(errno));
        ::unlink(native.constData());
        return false;
    }
    m_socketDevice = info.st_dev;
    m_socketInode = info.st_ino;
    m_listenFd = fd.release();
    m_spareFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    m_acceptNotifier = std::make_unique<QSocketNotifier>(m_listenFd, QSocketNotifier::Read);
    connect(m_acceptNotifier.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::stopListening()
{
    while (!m_clients.empty())
        drop(m_clients.back().get());
    if (m_listenFd < 0)
        return;
    m_acceptNotifier.reset();
    ::close(m_listenFd);
    m_listenFd = -1;
    if (m_spareFd >= 0)
        ::close(m_spareFd);
    m_spareFd = -1;
    // Only our own socket: a later instance may have replaced it.
    const QByteArray native = QFile::encodeName(m_socketPath);
    struct stat info = {};
    if (::lstat(native.constData(), &info) == 0 && info.st_dev == m_socketDevice
        && info.st_ino == m_socketInode)
        ::unlink(native.constData());
}

void SingleInstance::acceptConnections()
{
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            m_outOfDescriptors = false;
            acceptOne(fd);
            continue;
        }
        const int error = errno;
        if (error == EINTR || error == ECONNABORTED)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return;
        if ((error == EMFILE || error == ENFILE) && m_spareFd >= 0) {
            // Out of descriptors: use the spare one to take the waiting
            // client off the queue and turn it away.
            ::close(m_spareFd);
            const int waiting = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (waiting >= 0) {
                ::send(waiting, busyReply.constData(), size_t(busyReply.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
                ::close(waiting);
            }
            m_spareFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (!std::exchange(m_outOfDescriptors, true))
                qCWarning(lcApp) << "out of file descriptors; turning later launches away";
            if (waiting >= 0)
                continue;
        }
        // Still failing: wait a little rather than spin on a socket that
        // stays readable.
        m_acceptNotifier->setEnabled(false);
        m_acceptRetry.start();
        return;
    }
}

void SingleInstance::acceptOne(int fd)
{
    const std::optional<uid_t> uid = peerUid(fd);
    if (!uid || *uid != getuid()) {
        qCWarning(lcApp) << "ignoring a connection from another user" << (uid ? int(*uid) : -1);
        ::close(fd);
        return;
    }
    if (m_clients.size() >= size_t(maxClients)) {
        ::send(fd, busyReply.constData(), size_t(busyReply.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(fd);
        return;
    }
    auto client = std::make_unique<Client>();
    Client *raw = client.get();
    raw->fd = fd;
    raw->holder = new QObject(this);
    raw->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, raw->holder);
    connect(raw->notifier, &QSocketNotifier::activated, this, [this, raw] { readFrom(raw); });
    raw->timeout = new QTimer(raw->holder);
    raw->timeout->setSingleShot(true);
    connect(raw->timeout, &QTimer::timeout, this, [this, raw] {
        qCDebug(lcApp) << "dropping a launch that said nothing";
        drop(raw);
    });
    raw->timeout->start(messageTimeout);
    m_clients.push_back(std::move(client));
}

void SingleInstance::readFrom(Client *client)
{
    char chunk[maxMessageSize];
    const qsizetype room = maxMessageSize - client->buffer.size();
    const ssize_t n = ::recv(client->fd, chunk, size_t(room), 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        drop(client);
        return;
    }
    client->buffer.append(chunk, n);
    const qsizetype end = client->buffer.indexOf('\n');
    if (end < 0) {
        if (client->buffer.size() >= maxMessageSize) {
            qCDebug(lcApp) << "dropping an oversized message from another launch";
            drop(client);
        }
        return;
    }
    const QByteArray message = client->buffer.left(end);
    if (!isValidMessage(message)) {
        qCDebug(lcApp) << "dropping a malformed message from another launch";
        drop(client);
        return;
    }
    ::send(client->fd, okReply.constData(), size_t(okReply.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    drop(client);
    Q_EMIT messageReceived(message);
}

void SingleInstance::drop(Client *client)
{
    const auto it = std::find_if(m_clients.begin(), m_clients.end(),
                                 [client](const std::unique_ptr<Client> &c) { return c.get() == client; });
    if (it == m_clients.end())
        return;
    Client *gone = it->get();
    gone->notifier->setEnabled(false);
    gone->timeout->stop();
    gone->holder->deleteLater();
    ::close(gone->fd);
    m_clients.erase(it);
}
