#include "support/TestTools.h"

#include "support/PngBytes.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>

ToolResult runTool(const QString &program, const QStringList &arguments, const QByteArray &input,
                   int timeoutMs)
{
    ToolResult result;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs))
        return result;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return result;
    }
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

std::unique_ptr<QProcess> startTool(const QString &program, const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(program, arguments);
    process->waitForStarted(5000);
    return process;
}

QString testHelperPath(const QString &name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

QByteArray filledPng(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return pngBytes(image);
}

bool xdotoolKeys(const QStringList &keys)
{
    return runTool(QStringLiteral("xdotool"), QStringList {QStringLiteral("key")} + keys).ok();
}

bool xdotoolClick(const QPoint &global)
{
    // No --sync: it waits for a motion event, which never comes when the
    // pointer is already there. X handles the click after the move anyway.
    return runTool(QStringLiteral("xdotool"),
                   {QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()),
                    QStringLiteral("click"), QStringLiteral("1")})
        .ok();
}
