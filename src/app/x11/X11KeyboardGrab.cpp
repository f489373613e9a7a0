#include "app/x11/X11KeyboardGrab.h"

#include "x11/XcbReply.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

Q_LOGGING_CATEGORY(lcGrab, "halvex.app.keyboardgrab")

namespace {

struct KeymapDeleter
{
    void operator()(xkb_keymap *keymap) const { xkb_keymap_unref(keymap); }
    void operator()(xkb_state *state) const { xkb_state_unref(state); }
    void operator()(xkb_context *context) const { xkb_context_unref(context); }
};

bool isModifierKeysym(xkb_keysym_t sym)
{
    return (sym >= XKB_KEY_Shift_L && sym <= XKB_KEY_Hyper_R)
        || (sym >= XKB_KEY_ISO_Lock && sym <= XKB_KEY_ISO_Level5_Lock) || sym == XKB_KEY_Mode_switch
        || sym == XKB_KEY_Num_Lock;
}

// Qt key of the keysyms whose key code is not their text.
int specialQtKey(xkb_keysym_t sym, bool *keypad)
{
    *keypad = false;
    switch (sym) {
    case XKB_KEY_Return:
        return Qt::Key_Return;
    case XKB_KEY_KP_Enter:
        *keypad = true;
        return Qt::Key_Enter;
    case XKB_KEY_Escape:
        return Qt::Key_Escape;
    case XKB_KEY_Tab:
        return Qt::Key_Tab;
    case XKB_KEY_ISO_Left_Tab:
        return Qt::Key_Backtab;
    case XKB_KEY_BackSpace:
        return Qt::Key_Backspace;
    case XKB_KEY_Delete:
        return Qt::Key_Delete;
    case XKB_KEY_KP_Delete:
        *keypad = true;
        return Qt::Key_Delete;
    case XKB_KEY_Insert:
        return Qt::Key_Insert;
    case XKB_KEY_Home:
        return Qt::Key_Home;
    case XKB_KEY_End:
        return Qt::Key_End;
    case XKB_KEY_Left:
        return Qt::Key_Left;
    case XKB_KEY_Right:
        return Qt::Key_Right;
    case XKB_KEY_Up:
        return Qt::Key_Up;
    case XKB_KEY_Down:
        return Qt::Key_Down;
    case XKB_KEY_KP_Left:
        *keypad = true;
        return Qt::Key_Left;
    case XKB_KEY_KP_Right:
        *keypad = true;
        return Qt::Key_Right;
    case XKB_KEY_KP_Up:
        *keypad = true;
        return Qt::Key_Up;
    case XKB_KEY_KP_Down:
        *keypad = true;
        return Qt::Key_Down;
    case XKB_KEY_Page_Up:
        return Qt::Key_PageUp;
    case XKB_KEY_Page_Down:
        return Qt::Key_PageDown;
    default:
        break;
    }
    if (sym >= XKB_KEY_KP_0 && sym <= XKB_KEY_KP_9) {
        *keypad = true;
        return Qt::Key_0 + int(sym - XKB_KEY_KP_0);
    }
    return 0;
}

} // namespace

std::unique_ptr<X11KeyboardGrab> X11KeyboardGrab::create()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return nullptr;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return nullptr;
    return std::make_unique<X11KeyboardGrab>(connection, screen->root);
}

X11KeyboardGrab::X11KeyboardGrab(xcb_connection_t *connection, xcb_window_t root)
    : m_connection(connection)
    , m_root(root)
{ }

X11KeyboardGrab::~X11KeyboardGrab()
{
    release();
    if (m_filterInstalled && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11KeyboardGrab::grab()
{
    if (m_grabbed)
        return true;
    if (!m_filterInstalled) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        m_filterInstalled = true;
    }
    m_queue.clear();
    // owner_events: keys for our own windows (the panel, once it has the
    // focus) are reported to them as usual.
    const auto cookie = xcb_grab_keyboard(m_connection, 1, m_root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                                          XCB_GRAB_MODE_ASYNC);
    const XcbReply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(m_connection, cookie, nullptr));
    m_grabbed = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    if (!m_grabbed)
        qCInfo(lcGrab) << "could not grab the keyboard, status" << (reply ? int(reply->status) : -1);
    return m_grabbed;
}

QList<TypedKey> X11KeyboardGrab::release()
{
    if (!m_grabbed)
        return {};
    m_grabbed = false;
    xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
    const QList<RawKey> raw = std::exchange(m_queue, {});
    return raw.isEmpty() ? QList<TypedKey> {} : translate(raw);
}

bool X11KeyboardGrab::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_grabbed || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
    // Keys for our own windows reach them; only the ones reported to the
    // grab window were meant for someone else.
    if (press->event != m_root)
        return false;
    m_queue.append(RawKey {press->detail, press->state});
    // Not consumed: Qt ignores root-window keys, and the hotkey layer must
    // still see its own key.
    return false;
}

QList<TypedKey> X11KeyboardGrab::translate(const QList<RawKey> &keys) const
{
    std::unique_ptr<xkb_context, KeymapDeleter> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context)
        return {};
    quint16 major = 0, minor = 0;
    quint8 base = 0, errorBase = 0;
    if (!xkb_x11_setup_xkb_extension(m_connection, XKB_X11_MIN_MAJOR_XKB_VERSION,
                                     XKB_X11_MIN_MINOR_XKB_VERSION, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS,
                                     &major, &minor, &base, &errorBase))
        return {};
    const int32_t device = xkb_x11_get_core_keyboard_device_id(m_connection);
    std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(
        xkb_x11_keymap_new_from_device(context.get(), m_connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return {};
    std::unique_ptr<xkb_state, KeymapDeleter> state(xkb_state_new(keymap.get()));
    if (!state)
        return {};

    QList<TypedKey> result;
    for (const RawKey &raw : keys) {
        // Core state: the modifier bits and, in bits 13-14, the group.
        xkb_state_update_mask(state.get(), raw.state & 0xff, 0, 0, 0, 0, (raw.state >> 13) & 0x3);
        const xkb_keysym_t sym = xkb_state_key_get_one_sym(state.get(), raw.keycode);
        if (sym == XKB_KEY_NoSymbol || isModifierKeysym(sym))
            continue;
        TypedKey typed;
        typed.nativeScanCode = raw.keycode;
        typed.nativeVirtualKey = sym;
        typed.nativeModifiers = raw.state;
        char buffer[64] = {};
        const int length = xkb_state_key_get_utf8(state.get(), raw.keycode, buffer, sizeof buffer);
        if (length > 0 && length < int(sizeof buffer))
            typed.text = QString::fromUtf8(buffer, length);
        const auto active = [&](const char *name) {
            return xkb_state_mod_name_is_active(state.get(), name, XKB_STATE_MODS_EFFECTIVE) > 0;
        };
        if (active(XKB_MOD_NAME_SHIFT))
            typed.modifiers |= Qt::ShiftModifier;
        if (active(XKB_MOD_NAME_CTRL))
            typed.modifiers |= Qt::ControlModifier;
        if (active(XKB_MOD_NAME_ALT))
            typed.modifiers |= Qt::AltModifier;
        if (active(XKB_MOD_NAME_LOGO))
            typed.modifiers |= Qt::MetaModifier;
        bool keypad = false;
        typed.key = specialQtKey(sym, &keypad);
        if (keypad)
            typed.modifiers |= Qt::KeypadModifier;
        if (!typed.key) {
            // A character key: Qt names it by its upper-case character, and
            // with Ctrl held by the character of the key without Ctrl.
            const uint32_t ucs = xkb_keysym_to_utf32(sym);
            if (ucs == 0)
                continue;
            typed.key = int(QChar::toUpper(char32_t(ucs)));
        }
        result.append(typed);
    }
    qCDebug(lcGrab) << "typed ahead:" << result.size() << "keys";
    return result;
}
