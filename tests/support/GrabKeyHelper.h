#pragma once

// Starts grab_key_helper (grab_key_helper.cpp), another X client that holds
// global hotkeys. Tests that use it are built with
// halvex_use_grab_key_helper() (tests/CMakeLists.txt), which defines
// GRAB_KEY_HELPER.

#include "support/TestTools.h"

// Holds each "keycode:modifiers" grab until the process goes away; null when
// the helper did not get them all.
inline std::unique_ptr<QProcess> startGrabKeyHelper(const QStringList &grabs)
{
    auto process = startTool(QStringLiteral(GRAB_KEY_HELPER), grabs);
    if (!process->waitForReadyRead(10000) || process->readLine().trimmed() != "grabbed")
        return nullptr;
    return process;
}
