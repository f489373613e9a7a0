#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <sys/types.h>
#include <vector>

class QSocketNotifier;

// Keeps one Halvex per user and display. The first instance listens on a
// local socket in a directory only its user can enter; a later launch of the
// same user finds it there, hands it one line and is told to exit.
//
// Both ends check who is on the other side (SO_PEERCRED): a launch hands over
// only to a server of its own user, and the server answers only its own
// user's clients. A socket left behind by an instance that died, or one that
// belongs to somebody else, is replaced; the check and the takeover happen
// under a lock (flock) that the kernel releases with its holder, so that two
// launches at the same moment cannot both become the first.
//
// The server does bounded work per client: at most maxClients connections at
// a time (more are told "busy" and closed), a line of at most maxMessageSize
// bytes of printable ASCII, which must arrive within messageTimeout. Running
// out of file descriptors never closes the listening socket.
//
// The protocol: the client sends one line; the server answers "ok" once it
// has taken the line, or "busy", and closes the connection.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        Primary, // this process serves; messageReceived reports the others
        Secondary, // another instance runs and has been handed the message
        Unavailable, // no socket could be made (for example a read-only directory)
        Refused, // the directory is not safe, or a running instance did not answer
    };
    Q_ENUM(Role)

    // Line end included.
    static constexpr int maxMessageSize = 512;
    static constexpr int maxClients = 4;
    static constexpr std::chrono::milliseconds messageTimeout {1000};

    // socketPath: a file system path, for example defaultSocketPath().
    explicit SingleInstance(QString socketPath, QObject *parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/halvex-<display>.socket; without XDG_RUNTIME_DIR the
    // same name in a directory halvex-<uid> of the temporary directory, which
    // claim() creates for the user alone. The display part comes from DISPLAY
    // (or WAYLAND_DISPLAY), reduced to safe characters.
    static QString defaultSocketPath();

    // Why the directory that holds path must not be used for the socket
    // (another owner, a symbolic link, writable by others, not a directory),
    // or an empty string when it is fine. With create, a missing directory is
    // made with mode 0700 first.
    static QString unsafeDirectoryReason(const QString &path, bool create);

    // Whether message can be sent: one line of printable ASCII that fits.
    static bool isValidMessage(const QByteArray &message);

    const QString &socketPath() const { return m_socketPath; }
    // Why the last claim() answered Refused or Unavailable.
    const QString &errorString() const { return m_error; }

    // Becomes the serving instance, or hands message to the one that serves.
    // Waits at most timeoutMs for the lock and for the other instance.
    Role claim(const QByteArray &message, int timeoutMs = 5000);

    // Only the second half of claim(): hands message to a serving instance
    // of this user if there is one. Needs no event loop, so that a second
    // launch can end before it connects to the display.
    bool handOver(const QByteArray &message, int timeoutMs = 5000);

Q_SIGNALS:
    // One message (without its line end) from a later launch.
    void messageReceived(const QByteArray &message);

private:
    struct Client;
    enum class Delivery { Delivered, NoServer, Foreign, Unanswered };

    Delivery sendTo(const QByteArray &message, int timeoutMs) const;
    bool listen();
    void stopListening();
    void acceptConnections();
    void acceptOne(int fd);
    void readFrom(Client *client);
    void drop(Client *client);

    QString m_socketPath;
    QString m_error;
    int m_listenFd = -1;
    // Held in reserve: closed to make room for one accept() when the process
    // has run out of descriptors, so that the waiting client can be turned
    // away instead of the listener being given up.
    int m_spareFd = -1;
    bool m_outOfDescriptors = false; // warned once per shortage
    dev_t m_socketDevice = 0;
    ino_t m_socketInode = 0;
    std::unique_ptr<QSocketNotifier> m_acceptNotifier;
    QTimer m_acceptRetry;
    std::vector<std::unique_ptr<Client>> m_clients;
};
