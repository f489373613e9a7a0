#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

// Looking at the X session and the files that programs under test leave
// behind, from outside those programs.

// The whole file; empty when it cannot be read.
QByteArray fileContents(const QString &path);

// The windows that `xdotool search <arguments>` finds.
QList<quint64> xdotoolSearch(const QStringList &arguments);
// A window's geometry as xdotool reports it; empty when unknown.
QRect xdotoolGeometry(quint64 window);
// Geometries of the windows that `xdotool search <arguments>` finds.
QList<QRect> xdotoolWindows(const QStringList &arguments);

// The environment halvex runs in on the test's X server: its runtime and
// settings folders under base ("run", "config"), the xcb platform, the app
// and clipboard debug lines logged, the XEmbed tray rather than D-Bus.
QProcessEnvironment halvexX11Environment(const QString &base);

// Whether halvex shows its quick-paste panel (450 pixels wide) on the X session.
bool halvexPanelVisible();
// Puts text on the X clipboard (xclip).
bool xclipCopy(const QByteArray &text);
// Runs program with env to its end: its exit code, or -1 when it crashed or
// did not end within timeoutMs.
int runToEnd(const QString &program, const QProcessEnvironment &env, const QStringList &arguments = {},
             int timeoutMs = 30000);
