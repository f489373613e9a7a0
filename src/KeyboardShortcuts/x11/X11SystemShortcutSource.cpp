#include "KeyboardShortcuts/x11/X11SystemShortcutSource.h"

#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/ShortcutsLogging.h"
#include "KeyboardShortcuts/x11/X11KeyCodeTable.h"
#include "KeyboardShortcuts/x11/X11ModifierMasks.h"
#include "x11/XcbConnection.h"
#include "x11/XcbReply.h"

namespace KeyboardShortcuts {

namespace {

constexpr uint8_t badAccess = 10;

// The X modifier mask of a Carbon mask: command -> Control, control -> Super,
// option -> Alt, shift -> Shift. None when the keymap puts Alt or Super on no
// modifier, or for the function bit, which no X modifier stands for.
std::optional<uint16_t> xModifiers(int carbonModifiers, const X11ModifierMasks &masks)
{
    if (carbonModifiers & CarbonModifier::function)
        return std::nullopt;
    uint16_t result = 0;
    if (carbonModifiers & CarbonModifier::shift)
        result |= XCB_MOD_MASK_SHIFT;
    if (carbonModifiers & CarbonModifier::command)
        result |= XCB_MOD_MASK_CONTROL;
    if (carbonModifiers & CarbonModifier::option) {
        if (!masks.alt)
            return std::nullopt;
        result |= masks.alt;
    }
    if (carbonModifiers & CarbonModifier::control) {
        if (!masks.super)
            return std::nullopt;
        result |= masks.super;
    }
    return result;
}

} // namespace

X11SystemShortcutSource::X11SystemShortcutSource(const QByteArray &displayName)
    : m_connection(std::make_unique<XcbConnection>(displayName))
{
    if (!m_connection->isValid())
        qCWarning(lcShortcuts) << "cannot connect to the X server: no shortcut counts as taken";
}

X11SystemShortcutSource::~X11SystemShortcutSource() = default;

QList<Shortcut> X11SystemShortcutSource::reservedShortcuts() const
{
    return {};
}

bool X11SystemShortcutSource::isHeldElsewhere(const Shortcut &shortcut) const
{
    if (!m_connection->isValid())
        return false;
    const std::optional<quint8> keyCode = xKeyCodeFromCarbon(shortcut.carbonKeyCode());
    if (!keyCode)
        return false;
    xcb_connection_t *connection = m_connection->get();
    // A combination that X cannot express cannot be held by anyone either.
    const std::optional<uint16_t> modifiers
        = xModifiers(shortcut.carbonModifiers(), X11ModifierMasks::read(connection));
    if (!modifiers)
        return false;

    const xcb_window_t root = m_connection->rootWindow();
    const xcb_void_cookie_t cookie = xcb_grab_key_checked(connection, 1, root, *modifiers, *keyCode,
                                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    const XcbReply<xcb_generic_error_t> error(xcb_request_check(connection, cookie));
    if (!error) {
        xcb_ungrab_key(connection, *keyCode, root, *modifiers);
        xcb_flush(connection);
        return false;
    }
    if (error->error_code != badAccess)
        qCDebug(lcShortcuts) << "trial grab failed with X error" << error->error_code;
    return error->error_code == badAccess;
}

} // namespace KeyboardShortcuts
