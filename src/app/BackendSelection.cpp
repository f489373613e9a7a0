#include "app/BackendSelection.h"

#include <QCoreApplication>

namespace {

const QByteArray wlrDataControl = QByteArrayLiteral("zwlr_data_control_manager_v1");
const QByteArray extDataControl = QByteArrayLiteral("ext_data_control_manager_v1");
const QByteArray virtualKeyboard = QByteArrayLiteral("zwp_virtual_keyboard_manager_v1");
const QByteArray fakeInput = QByteArrayLiteral("org_kde_kwin_fake_input");
const QByteArray foreignToplevel = QByteArrayLiteral("zwlr_foreign_toplevel_manager_v1");

QString tr(const char *text)
{
    return QCoreApplication::translate("BackendSelection", text);
}

} // namespace

bool BackendSelection::prefersXWayland(const QByteArrayList &waylandGlobals)
{
    return !waylandGlobals.contains(wlrDataControl) && !waylandGlobals.contains(extDataControl);
}

BackendSelection BackendSelection::choose(const Session &session)
{
    BackendSelection choice;
    if (session.qtPlatform == u"xcb") {
        choice.clipboard = Clipboard::X11;
        choice.paste = Paste::XTest;
        choice.shortcut = Shortcut::X11Grab;
        choice.panel = Panel::X11Window;
        return choice;
    }
    if (!session.qtPlatform.startsWith(u"wayland"))
        return choice;
    const QByteArrayList &globals = session.waylandGlobals;
    choice.panel = Panel::XdgToplevel;
    // ext- is the standardised successor of wlr-: the same protocol.
    if (globals.contains(extDataControl))
        choice.clipboard = Clipboard::ExtDataControl;
    else if (globals.contains(wlrDataControl))
        choice.clipboard = Clipboard::WlrDataControl;
    if (globals.contains(virtualKeyboard))
        choice.paste = Paste::VirtualKeyboard;
    else if (globals.contains(fakeInput))
        choice.paste = Paste::FakeInput;
    choice.shortcut = session.shortcutPortal ? Shortcut::Portal : Shortcut::CompositorBinding;
    choice.toplevelTracking = globals.contains(foreignToplevel);
    return choice;
}

bool BackendSelection::isSway(const Session &session) const
{
    return isWayland() && session.desktop.split(u':').contains(u"sway", Qt::CaseInsensitive);
}

QStringList BackendSelection::describe(const Session &session) const
{
    QStringList lines;
    const QString desktop
        = session.desktop.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(session.desktop);
    switch (panel) {
    case Panel::X11Window:
        lines << (session.waylandSession ? QStringLiteral("platform: X11 through XWayland") + desktop
                                         : QStringLiteral("platform: X11") + desktop);
        break;
    case Panel::XdgToplevel:
        lines << QStringLiteral("platform: Wayland") + desktop;
        break;
    case Panel::Other:
        lines << QStringLiteral("platform: %1 (no clipboard access)").arg(session.qtPlatform);
        break;
    }

    switch (clipboard) {
    case Clipboard::X11:
        lines << QStringLiteral("clipboard: X11 selection watcher (XFIXES)");
        break;
    case Clipboard::WlrDataControl:
        lines << QStringLiteral("clipboard: wlr data control");
        break;
    case Clipboard::ExtDataControl:
        lines << QStringLiteral("clipboard: ext data control");
        break;
    case Clipboard::None:
        lines << QStringLiteral("clipboard: none");
        break;
    }

    switch (paste) {
    case Paste::XTest:
        lines << QStringLiteral("paste: XTest");
        break;
    case Paste::VirtualKeyboard:
        lines << QStringLiteral("paste: virtual keyboard");
        break;
    case Paste::FakeInput:
        lines << QStringLiteral("paste: KDE fake input");
        break;
    case Paste::None:
        lines << QStringLiteral("paste: none (copy only: paste with Ctrl+V yourself)");
        break;
    }

    switch (shortcut) {
    case Shortcut::X11Grab:
        // Under XWayland the grab sees keys only while an X11 window has the
        // keyboard: the desktop's own shortcut setting is the way there.
        lines << (session.waylandSession ? QStringLiteral(
                      "shortcut: X11 key grab (X11 windows only; bind halvex --toggle in the "
                      "desktop's keyboard settings)")
                                         : QStringLiteral("shortcut: X11 key grab"));
        break;
    case Shortcut::Portal:
        lines << QStringLiteral("shortcut: GlobalShortcuts portal");
        break;
    case Shortcut::CompositorBinding:
        lines << QStringLiteral("shortcut: compositor binding (halvex --toggle)");
        break;
    }

    switch (panel) {
    case Panel::X11Window:
        lines << QStringLiteral("panel: X11 window");
        break;
    case Panel::XdgToplevel:
        lines << QStringLiteral("panel: xdg-shell toplevel (app_id halvex)");
        break;
    case Panel::Other:
        lines << QStringLiteral("panel: %1 window").arg(session.qtPlatform);
        break;
    }

    if (isWayland()) {
        if (clipboard == Clipboard::None)
            lines << QStringLiteral("missing: background clipboard access (%1 or %2)")
                         .arg(QLatin1String(extDataControl), QLatin1String(wlrDataControl));
        if (paste == Paste::None)
            lines << QStringLiteral("missing: paste keystroke (%1 or %2)")
                         .arg(QLatin1String(virtualKeyboard), QLatin1String(fakeInput));
        if (!toplevelTracking)
            lines << QStringLiteral("missing: focused window's app_id (%1): terminals get Ctrl+V")
                         .arg(QLatin1String(foreignToplevel));
        if (shortcut != Shortcut::Portal)
            lines << QStringLiteral("missing: GlobalShortcuts portal: bind a key to halvex --toggle");
    } else if (panel == Panel::X11Window && session.waylandSession) {
        lines << QStringLiteral("missing: background clipboard access for Wayland applications "
                                "(only X11 applications are seen)");
    }
    return lines;
}

QString BackendSelection::clipboardWarning(const Session &session) const
{
    const bool gnome = session.desktop.split(u':').contains(u"GNOME", Qt::CaseInsensitive);
    if (panel == Panel::X11Window && session.waylandSession) {
        return gnome ? tr("GNOME offers no background clipboard access to Wayland applications. Halvex runs "
                          "through XWayland and records only what X11 applications copy.")
                     : tr("This compositor offers no background clipboard access. Halvex runs through "
                          "XWayland and records only what X11 applications copy.");
    }
    if (clipboard == Clipboard::None) {
        return gnome
            ? tr("GNOME offers no background clipboard access, and there is no XWayland to fall back "
                 "on: Halvex records nothing.")
            : tr("This session offers no background clipboard access: Halvex records nothing.");
    }
    return {};
}
