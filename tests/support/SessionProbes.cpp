#include "support/SessionProbes.h"

#include "support/TestTools.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <algorithm>

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<quint64> xdotoolSearch(const QStringList &arguments)
{
    QList<quint64> windows;
    const ToolResult found = runTool(u"xdotool"_qs, QStringList {u"search"_qs} + arguments);
    for (const QByteArray &id : found.standardOutput.split('\n')) {
        if (const quint64 window = id.trimmed().toULongLong())
            windows.append(window);
    }
    return windows;
}

QRect xdotoolGeometry(quint64 window)
{
    const ToolResult shell
        = runTool(u"xdotool"_qs, {u"getwindowgeometry"_qs, u"--shell"_qs, QString::number(window)});
    QHash<QByteArray, int> values;
    for (const QByteArray &line : shell.standardOutput.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            values.insert(line.left(eq), line.mid(eq + 1).toInt());
    }
    return QRect(values.value("X"), values.value("Y"), values.value("WIDTH"), values.value("HEIGHT"));
}

QList<QRect> xdotoolWindows(const QStringList &arguments)
{
    QList<QRect> geometries;
    for (const quint64 window : xdotoolSearch(arguments))
        geometries.append(xdotoolGeometry(window));
    return geometries;
}

QProcessEnvironment halvexX11Environment(const QString &base)
{
    const QString runtime = QDir(base).filePath(u"run"_qs);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_RUNTIME_DIR"_qs, runtime);
    env.insert(u"XDG_CONFIG_HOME"_qs, QDir(base).filePath(u"config"_qs));
    env.insert(u"QT_QPA_PLATFORM"_qs, u"xcb"_qs);
    env.insert(u"QT_LOGGING_RULES"_qs, u"halvex.app.debug=true\nhalvex.clipboard.debug=true"_qs);
    env.remove(u"DBUS_SESSION_BUS_ADDRESS"_qs);
    return env;
}

bool halvexPanelVisible()
{
    const QList<QRect> windows = xdotoolWindows({u"--onlyvisible"_qs, u"--class"_qs, u"halvex"_qs});
    return std::any_of(windows.begin(), windows.end(), [](const QRect &r) { return r.width() == 450; });
}

bool xclipCopy(const QByteArray &text)
{
    return runTool(u"xclip"_qs, {u"-selection"_qs, u"clipboard"_qs}, text).ok();
}

int runToEnd(const QString &program, const QProcessEnvironment &env, const QStringList &arguments,
             int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}
