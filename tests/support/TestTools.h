#pragma once

#include <QByteArray>
#include <QColor>
#include <QPoint>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

// Running the real X clients (xclip, xdotool, xprop, ...) that integration
// tests drive.
struct ToolResult
{
    int exitCode = -1; // -1 when the program did not start or timed out
    QByteArray standardOutput;
    QByteArray standardError;
    bool ok() const { return exitCode == 0; }
};

// Runs program to completion, feeding input on standard input. Kills it after
// timeoutMs and reports exitCode -1.
ToolResult runTool(const QString &program, const QStringList &arguments, const QByteArray &input = {},
                   int timeoutMs = 10000);

// Starts a program that keeps running (a clipboard owner, a target window);
// killed when the returned object goes away.
std::unique_ptr<QProcess> startTool(const QString &program, const QStringList &arguments);

// Directory of the test helper executables built next to the tests.
QString testHelperPath(const QString &name);

// A PNG of the given size filled with one colour.
QByteArray filledPng(QSize size, QColor colour);

// xdotool: presses and releases each key or chord in turn ("a", "ctrl+v",
// "shift+super+v", "Escape").
bool xdotoolKeys(const QStringList &keys);

// xdotool: moves the pointer to a global position and clicks the left button.
bool xdotoolClick(const QPoint &global);
