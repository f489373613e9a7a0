#include "support/WaylandSession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

namespace {

// Depth-first through outputs, workspaces, tiled and floating windows.
template<typename Visit> void walk(const QJsonObject &node, const Visit &visit)
{
    visit(node);
    for (const char *children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue &child : node.value(QLatin1String(children)).toArray())
            walk(child.toObject(), visit);
    }
}

// The words of `env NAME=VALUE... program arguments...`.
QStringList envCommand(const QProcessEnvironment &env, const QString &program, const QStringList &arguments)
{
    QStringList words = {QStringLiteral("env")};
    for (const QString &name : env.keys())
        words << name + u'=' + env.value(name);
    return words << program << arguments;
}

} // namespace

std::optional<WaylandSession> WaylandSession::find(QString *whyNot)
{
    if (qEnvironmentVariableIsSet("HALVEX_SWAY_UNAVAILABLE")) {
        *whyNot = qEnvironmentVariable("HALVEX_SWAY_UNAVAILABLE");
        return std::nullopt;
    }
    WaylandSession session;
    session.m_runtimeDir = qEnvironmentVariable("HALVEX_SWAY_RUNTIME_DIR");
    session.m_display = qEnvironmentVariable("HALVEX_SWAY_DISPLAY");
    session.m_swaySocket = qEnvironmentVariable("HALVEX_SWAY_SOCK");
    session.m_user = qEnvironmentVariable("HALVEX_SESSION_USER");
    if (session.m_runtimeDir.isEmpty() || session.m_display.isEmpty() || session.m_swaySocket.isEmpty()) {
        *whyNot = QStringLiteral("no sway session (run the tests through scripts/test, which starts one "
                                 "with scripts/sway-session)");
        return std::nullopt;
    }
    return session;
}

void WaylandSession::activate() const
{
    qputenv("WAYLAND_DISPLAY", QFile::encodeName(QDir(m_runtimeDir).filePath(m_display)));
    qputenv("SWAYSOCK", QFile::encodeName(m_swaySocket));
}

std::unique_ptr<QTemporaryDir> WaylandSession::makeSharedDir() const
{
    auto dir = std::make_unique<QTemporaryDir>();
    if (!m_user.isEmpty()) {
        if (const passwd *user = getpwnam(m_user.toLocal8Bit().constData())) [[maybe_unused]]
            const int ignored
                = ::chown(QFile::encodeName(dir->path()).constData(), user->pw_uid, user->pw_gid);
    }
    return dir;
}

QString WaylandSession::shellCommand(const QString &program, const QStringList &arguments,
                                     const QProcessEnvironment &extra) const
{
    QStringList words = envCommand(extra, program, arguments);
    for (QString &word : words)
        word = u'\'' + word.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
    return words.join(u' ');
}

std::unique_ptr<QProcess> WaylandSession::start(const QString &program, const QStringList &arguments,
                                                const QProcessEnvironment &extra) const
{
    // The environment sway gives its own children, and nothing else.
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("HOME"), m_runtimeDir);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir);
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), m_display);
    env.insert(QStringLiteral("SWAYSOCK"), m_swaySocket);
    for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (qEnvironmentVariableIsSet(name))
            env.insert(QLatin1String(name), qEnvironmentVariable(name));
    }
    env.insert(extra);
    QStringList command = envCommand(env, program, arguments);
    command.insert(1, QStringLiteral("-i"));
    if (!m_user.isEmpty()) {
        // setpriv executes the program in its own place, so that the process
        // QProcess knows is the program itself.
        command = QStringList {QStringLiteral("--reuid=") + m_user, QStringLiteral("--regid=") + m_user,
                               QStringLiteral("--clear-groups"), QStringLiteral("--")}
            + command;
        command.prepend(QStringLiteral("setpriv"));
    }
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(command.takeFirst(), command);
    process->waitForStarted(10000);
    return process;
}

ToolResult WaylandSession::swaymsg(const QStringList &arguments) const
{
    return runTool(QStringLiteral("swaymsg"), QStringList {QStringLiteral("-s"), m_swaySocket} + arguments);
}

QJsonObject WaylandSession::tree() const
{
    return QJsonDocument::fromJson(swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")}).standardOutput)
        .object();
}

QString WaylandSession::focusedAppId() const
{
    QString appId;
    walk(tree(), [&appId](const QJsonObject &node) {
        if (node.value(QLatin1String("focused")).toBool())
            appId = node.value(QLatin1String("app_id")).toString();
    });
    return appId;
}

bool WaylandSession::hasWindow(const QString &appId) const
{
    bool found = false;
    walk(tree(), [&](const QJsonObject &node) {
        found = found || node.value(QLatin1String("app_id")).toString() == appId;
    });
    return found;
}
