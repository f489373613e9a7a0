#pragma once

#include <QByteArray>
#include <QByteArrayList>

// Terminal emulators paste with Ctrl+Shift+V; Ctrl+V reaches their programs as
// a literal ^V. This is the one list of window classes treated as terminals,
// matched case-insensitively against either half of an X11 WM_CLASS (instance
// name or class name) or against a Wayland app_id.
namespace TerminalWindowClasses {

const QByteArrayList &names();

// instanceName and className are the two strings of a window's WM_CLASS.
bool isTerminal(const QByteArray &instanceName, const QByteArray &className);
// appId: a Wayland toplevel's app_id, such as "foot" or "org.kde.konsole".
bool isTerminalAppId(const QByteArray &appId);

} // namespace TerminalWindowClasses
