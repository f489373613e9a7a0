#pragma once

#include "support/TestTools.h"

#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTest>

#include <memory>
#include <optional>

// In a test's initTestCase(): sets session to the running session, or skips
// the whole test saying why there is none.
#define HALVEX_FIND_WAYLAND_SESSION_OR_SKIP(session)                                                         \
    do {                                                                                                     \
        QString whyNot;                                                                                      \
        session = WaylandSession::find(&whyNot);                                                             \
        if (!session)                                                                                        \
            QSKIP(qPrintable(whyNot));                                                                       \
    } while (false)

// The headless sway session that scripts/sway-session runs beside the tests
// (see that script for the variables it exports). Tools the test runs
// itself (wl-copy, wl-paste, wtype, swaymsg) reach it through this process's
// environment once activate() ran; programs that belong inside the session
// (halvex, a text editor) run as the session's user with the environment
// sway gives its own children, so that sway's bindings reach them too.
class WaylandSession
{
public:
    // The running session, or nothing with the reason in *whyNot.
    static std::optional<WaylandSession> find(QString *whyNot);

    // Points WAYLAND_DISPLAY and SWAYSOCK of this process at the session.
    void activate() const;

    // A folder the session's user can write to, removed with the returned object.
    std::unique_ptr<class QTemporaryDir> makeSharedDir() const;
    // Starts program inside the session (as its user), with extra variables.
    std::unique_ptr<QProcess> start(const QString &program, const QStringList &arguments,
                                    const QProcessEnvironment &extra = {}) const;
    // The command line that runs program inside the session, for sway's exec.
    QString shellCommand(const QString &program, const QStringList &arguments,
                         const QProcessEnvironment &extra = {}) const;

    ToolResult swaymsg(const QStringList &arguments) const;
    // sway's window tree.
    QJsonObject tree() const;
    // The app_id of the window that has the keyboard; empty when none.
    QString focusedAppId() const;
    // Whether a window with this app_id is mapped.
    bool hasWindow(const QString &appId) const;

private:
    QString m_runtimeDir;
    QString m_display;
    QString m_swaySocket;
    QString m_user; // empty when the tests run as the session's user
};
