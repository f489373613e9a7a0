#pragma once

#include <QByteArrayList>
#include <QString>
#include <QStringList>

// Which implementation serves each platform service, decided once at start
// from what the session offers. X11 when Qt runs on xcb; on Wayland, from the
// protocols the compositor announces and the desktop portal. Pure decision:
// the application builds the services from it (PlatformServices) and
// `halvex --diagnose` prints it.
struct BackendSelection
{
    // What the session offers.
    struct Session
    {
        QString qtPlatform; // QGuiApplication::platformName()
        QString desktop; // XDG_CURRENT_DESKTOP, e.g. "sway", "KDE", "GNOME"
        QByteArrayList waylandGlobals; // interfaces the compositor announced (Wayland only)
        bool shortcutPortal = false; // org.freedesktop.portal.GlobalShortcuts answers
        bool waylandSession = false; // WAYLAND_DISPLAY is set (also under XWayland)
    };

    enum class Clipboard { X11, WlrDataControl, ExtDataControl, None };
    enum class Paste { XTest, VirtualKeyboard, FakeInput, None };
    enum class Shortcut { X11Grab, Portal, CompositorBinding };
    enum class Panel { X11Window, XdgToplevel, Other };

    Clipboard clipboard = Clipboard::None;
    Paste paste = Paste::None;
    Shortcut shortcut = Shortcut::CompositorBinding;
    Panel panel = Panel::Other;
    // The Wayland compositor tells which window has the keyboard and its
    // app_id (terminals then get Ctrl+Shift+V).
    bool toplevelTracking = false;

    static BackendSelection choose(const Session &session);

    // Before Qt picks its platform: on a Wayland compositor that gives no
    // background clipboard access (GNOME), Halvex is better off as an X11
    // client of XWayland, where it works at least for X11 applications.
    static bool prefersXWayland(const QByteArrayList &waylandGlobals);

    bool isWayland() const { return panel == Panel::XdgToplevel; }
    bool isSway(const Session &session) const;

    // One "<service>: <backend>" line per service, then "missing: ..." lines
    // for what the session lacks; what `halvex --diagnose` prints.
    QStringList describe(const Session &session) const;
    // What the user must be told once at start, or empty: the session gives
    // no background access to the clipboard.
    QString clipboardWarning(const Session &session) const;
};
