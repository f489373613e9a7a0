#include "clipboard/TerminalWindowClasses.h"

namespace TerminalWindowClasses {

const QByteArrayList &names()
{
    // Lower case; compared case-insensitively.
    static const QByteArrayList list = {
        "xterm",
        "uxterm",
        "urxvt",
        "rxvt",
        "gnome-terminal",
        "gnome-terminal-server",
        "org.gnome.console",
        "kgx",
        "konsole",
        "xfce4-terminal",
        "kitty",
        "alacritty",
        "tilix",
        "terminator",
        "st",
        "st-256color",
        "wezterm",
        "org.wezfurlong.wezterm",
        "foot",
        "lxterminal",
        "mate-terminal",
        "qterminal",
        "terminology",
        "sakura",
        "guake",
        "tilda",
        "yakuake",
        "cool-retro-term",
        "eterm",
        "aterm",
        "mlterm",
        "termite",
        "deepin-terminal",
        "io.elementary.terminal",
        "blackbox",
        "contour",
        // Wayland app_ids that differ from the X11 names above
        "footclient",
        "org.gnome.terminal",
        "org.kde.konsole",
        "com.gexperts.tilix",
        "org.gnome.ptyxis",
        "org.codeberg.dnkl.foot",
    };
    return list;
}

static bool listed(const QByteArray &name)
{
    if (name.isEmpty())
        return false;
    const QByteArray lower = name.toLower();
    return names().contains(lower);
}

bool isTerminal(const QByteArray &instanceName, const QByteArray &className)
{
    return listed(instanceName) || listed(className);
}

bool isTerminalAppId(const QByteArray &appId)
{
    return listed(appId);
}

} // namespace TerminalWindowClasses
