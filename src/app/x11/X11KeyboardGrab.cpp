#include "app/x11/X11KeyboardGrab.h"

#include "app/AppLogging.h"
#include "x11/XcbHeldKeys.h"
#include "x11/XcbReply.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace {

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

void X11KeyboardGrab::XkbDeleter::operator()(xkb_context *context) const
{
    xkb_context_unref(context);
}

void X11KeyboardGrab::XkbDeleter::operator()(xkb_keymap *keymap) const
{
    xkb_keymap_unref(keymap);
}

void X11KeyboardGrab::XkbDeleter::operator()(xkb_state *state) const
{
    xkb_state_unref(state);
}

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
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11KeyboardGrab::~X11KeyboardGrab()
{
    release();
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11KeyboardGrab::grab()
{
    if (m_grabbed)
        return true;
    // Not owner_events: every key is reported to the root window, also once
    // the panel has the focus, so nothing overtakes what is queued and the
    // release of the hotkey's own key reaches the hotkey layer.
    const auto cookie = xcb_grab_keyboard(m_connection, 0, m_root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                                          XCB_GRAB_MODE_ASYNC);
    const XcbReply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(m_connection, cookie, nullptr));
    m_grabbed = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    if (!m_grabbed) {
        qCInfo(lcApp) << "could not grab the keyboard, status" << (reply ? int(reply->status) : -1);
        return false;
    }
    m_listening = true;
    m_heldAtGrab = keysDown();
    m_keymap.reset(); // read again on the first key: the layout may have changed
    qCDebug(lcApp) << "keyboard grabbed";
    return true;
}

std::bitset<256> X11KeyboardGrab::keysDown() const
{
    return queryHeldKeys(m_connection);
}

bool X11KeyboardGrab::isAnyKeyDown() const
{
    return keysDown().any();
}

void X11KeyboardGrab::release()
{
    if (!m_grabbed)
        return;
    m_grabbed = false;
    m_ungrabSequence = quint16(xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME).sequence);
    xcb_flush(m_connection);
    qCDebug(lcApp) << "keyboard released";
}

bool X11KeyboardGrab::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_listening || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
    if (press->event != m_root)
        return false;
    if (type == XCB_KEY_RELEASE) {
        m_heldAtGrab.reset(press->detail);
        return false;
    }
    if (m_heldAtGrab.test(press->detail))
        return false;
    if (!m_grabbed && qint16(quint16(press->sequence - m_ungrabSequence)) >= 0) {
        // Generated after the ungrab: the grab is over.
        m_listening = false;
        return false;
    }
    TypedKey typed;
    if (translate(press->detail, press->state, &typed) && onKeyPressed)
        onKeyPressed(typed);
    // Not consumed: Qt ignores keys reported to the root window anyway.
    return false;
}

bool X11KeyboardGrab::loadKeymap()
{
    if (m_keymap)
        return true;
    if (!m_context)
        m_context.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!m_context)
        return false;
    quint16 major = 0, minor = 0;
    quint8 base = 0, errorBase = 0;
    if (!xkb_x11_setup_xkb_extension(m_connection, XKB_X11_MIN_MAJOR_XKB_VERSION,
                                     XKB_X11_MIN_MINOR_XKB_VERSION, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS,
                                     &major, &minor, &base, &errorBase))
        return false;
    const int32_t device = xkb_x11_get_core_keyboard_device_id(m_connection);
    m_keymap.reset(
        xkb_x11_keymap_new_from_device(m_context.get(), m_connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!m_keymap)
        return false;
    m_state.reset(xkb_state_new(m_keymap.get()));
    if (!m_state) {
        m_keymap.reset();
        return false;
    }
    return true;
}

bool X11KeyboardGrab::translate(xcb_keycode_t keycode, quint16 coreState, TypedKey *typed) const
{
    if (!const_cast<X11KeyboardGrab *>(this)->loadKeymap())
        return false;
    xkb_state *state = m_state.get();
    // Core state: the modifier bits and, in bits 13-14, the group.
    xkb_state_update_mask(state, coreState & 0xff, 0, 0, 0, 0, (coreState >> 13) & 0x3);
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(state, keycode);
    if (sym == XKB_KEY_NoSymbol || isModifierKeysym(sym))
        return false;
    typed->nativeScanCode = keycode;
    typed->nativeVirtualKey = sym;
    typed->nativeModifiers = coreState;
    char buffer[64] = {};
    const int length = xkb_state_key_get_utf8(state, keycode, buffer, sizeof buffer);
    if (length > 0 && length < int(sizeof buffer))
        typed->text = QString::fromUtf8(buffer, length);
    const auto active = [state](const char *name) {
        return xkb_state_mod_name_is_active(state, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    typed->modifiers = {};
    if (active(XKB_MOD_NAME_SHIFT))
        typed->modifiers |= Qt::ShiftModifier;
    if (active(XKB_MOD_NAME_CTRL))
        typed->modifiers |= Qt::ControlModifier;
    if (active(XKB_MOD_NAME_ALT))
        typed->modifiers |= Qt::AltModifier;
    if (active(XKB_MOD_NAME_LOGO))
        typed->modifiers |= Qt::MetaModifier;
    bool keypad = false;
    typed->key = specialQtKey(sym, &keypad);
    if (keypad)
        typed->modifiers |= Qt::KeypadModifier;
    if (!typed->key) {
        // A character key: Qt names it by its upper-case character.
        const uint32_t ucs = xkb_keysym_to_utf32(sym);
        if (ucs == 0)
            return false;
        typed->key = int(QChar::toUpper(char32_t(ucs)));
    }
    return true;
}
