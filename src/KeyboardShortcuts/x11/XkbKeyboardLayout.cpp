#include "KeyboardShortcuts/x11/XkbKeyboardLayout.h"

#include "KeyboardShortcuts/ShortcutsLogging.h"
#include "KeyboardShortcuts/x11/X11KeyCodeTable.h"
#include "x11/XcbConnection.h"

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace KeyboardShortcuts {

namespace {

struct KeymapDeleter
{
    void operator()(xkb_keymap *keymap) const { xkb_keymap_unref(keymap); }
};
struct StateDeleter
{
    void operator()(xkb_state *state) const { xkb_state_unref(state); }
};

} // namespace

void XkbKeyboardLayout::ContextDeleter::operator()(xkb_context *context) const
{
    xkb_context_unref(context);
}

XkbKeyboardLayout::XkbKeyboardLayout(const QByteArray &displayName)
    : m_connection(std::make_unique<XcbConnection>(displayName))
{
    if (!m_connection->isValid()) {
        qCWarning(lcShortcuts) << "cannot connect to the X server: keys show without their character";
        return;
    }
    if (!xkb_x11_setup_xkb_extension(m_connection->get(), XKB_X11_MIN_MAJOR_XKB_VERSION,
                                     XKB_X11_MIN_MINOR_XKB_VERSION, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS,
                                     nullptr, nullptr, nullptr, nullptr)) {
        qCWarning(lcShortcuts)
            << "the X server has no usable XKB extension: keys show without their character";
        return;
    }
    m_context.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    m_ready = m_context != nullptr;
}

XkbKeyboardLayout::~XkbKeyboardLayout() = default;

std::optional<QString> XkbKeyboardLayout::unshiftedText(int carbonKeyCode) const
{
    if (!m_ready)
        return std::nullopt;
    const std::optional<quint8> keyCode = xKeyCodeFromCarbon(carbonKeyCode);
    if (!keyCode)
        return std::nullopt;

    xcb_connection_t *connection = m_connection->get();
    const int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    if (device < 0)
        return std::nullopt;
    const std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(
        xkb_x11_keymap_new_from_device(m_context.get(), connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return std::nullopt;
    const std::unique_ptr<xkb_state, StateDeleter> state(
        xkb_x11_state_new_from_device(keymap.get(), connection, device));
    if (!state)
        return std::nullopt;

    // The group the key uses right now (a key with fewer groups than the
    // active one wraps or clamps as the keymap says).
    const xkb_layout_index_t group = xkb_state_key_get_layout(state.get(), *keyCode);
    if (group == XKB_LAYOUT_INVALID)
        return std::nullopt;
    return keyText(keymap.get(), *keyCode, group);
}

std::optional<QString> XkbKeyboardLayout::keyText(xkb_keymap *keymap, quint32 keyCode, quint32 group)
{
    const xkb_keysym_t *symbols = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, keyCode, group, 0, &symbols);
    if (count != 1)
        return std::nullopt;
    // Dead keys and function keys have no character: 0.
    const char32_t character = xkb_keysym_to_utf32(symbols[0]);
    if (character == 0 || QChar::category(character) == QChar::Other_Control)
        return std::nullopt;
    return QString::fromUcs4(&character, 1);
}

} // namespace KeyboardShortcuts
